#include "compile/basis_gates.hpp"

#include <algorithm>

namespace qelto::compile {

BasisGates BasisGates::ibm() {
  return BasisGates({"rz", "sx", "x", "cx", "measure", "barrier", "id"});
}

BasisGates BasisGates::iqm() {
  return BasisGates({"prx", "cz", "measure", "barrier"});
}

BasisGates BasisGates::universal() {
  return BasisGates({"id",    "x",   "y",       "z",     "h",      "s",
                     "sdg",   "t",   "tdg",     "sx",    "sxdg",   "rx",
                     "ry",    "rz",  "p",       "u",     "cx",     "cy",
                     "cz",    "ch",  "swap",    "iswap", "crx",    "cry",
                     "crz",   "cp",  "rxx",     "ryy",   "rzz",    "ccx",
                     "cswap", "prx", "measure", "reset", "barrier"});
}

bool BasisGates::contains(std::string_view gate) const {
  return std::ranges::find(gates_, gate) != gates_.end();
}

}  // namespace qelto::compile
