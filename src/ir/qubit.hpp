#pragma once

#include <string>

#include "ir/ids.hpp"

namespace qelto::ir {

// Diagnostic forms used inside error messages: "QubitId(3)", "ClbitId(0)".
std::string to_string(QubitId qubit);
std::string to_string(ClbitId clbit);

}  // namespace qelto::ir
