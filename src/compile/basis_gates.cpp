#include "compile/basis_gates.hpp"

#include <algorithm>
#include <utility>

#include "ir/gate_catalogue.hpp"

namespace qelto::compile {

BasisGates BasisGates::ibm() {
  return BasisGates({"rz", "sx", "x", "cx", "measure", "barrier", "id"});
}

BasisGates BasisGates::iqm() {
  return BasisGates({"prx", "cz", "measure", "barrier"});
}

BasisGates BasisGates::universal() {
  std::vector<std::string> names;
  names.reserve(ir::kGateInfos.size() + 3);
  for (const ir::GateInfo& gate : ir::kGateInfos) {
    names.emplace_back(gate.name);
  }
  for (const char* other : {"measure", "reset", "barrier"}) {
    names.emplace_back(other);
  }
  return BasisGates(std::move(names));
}

bool BasisGates::contains(std::string_view gate) const {
  return std::ranges::find(gates_, gate) != gates_.end();
}

}  // namespace qelto::compile
