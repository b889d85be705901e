#pragma once

#include <string>
#include <string_view>

#include "ir/parameter.hpp"

namespace qelto::ir {

// Short display texts for the circuit diagram.

// A parameter as the diagram shows it: a value without free symbols as a
// multiple of π when it is one within 1e-9 ("π/2", "-3π/4", "2π"), else in
// at most five significant digits ("0.5", "1.2346", "1e-06"); an expression
// with symbols in infix form with only the parentheses it needs, π for pi
// ("2*theta + π/4"). At most kMaxParamWidth characters: a longer text ends
// in "…". Iterative, so any nesting depth is safe.
inline constexpr std::size_t kMaxParamWidth = 24;
[[nodiscard]] std::string compact_param(const ParameterExpression& expression);

// The diagram name of an operation named `name`: the first letter upper
// case ("h" -> "H", "rzz" -> "Rzz", "sdg" -> "Sdg").
[[nodiscard]] std::string display_name(std::string_view name);

}  // namespace qelto::ir
