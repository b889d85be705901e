#include "ir/qubit.hpp"

namespace qelto::ir {

std::string to_string(QubitId qubit) {
  return "QubitId(" + std::to_string(qubit.index) + ")";
}

std::string to_string(ClbitId clbit) {
  return "ClbitId(" + std::to_string(clbit.index) + ")";
}

}  // namespace qelto::ir
