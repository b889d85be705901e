#include "python/registry.hpp"

#include "python/basis_gates.hpp"
#include "python/circuit.hpp"
#include "python/coupling_map.hpp"
#include "python/layout.hpp"
#include "python/property_set.hpp"
#include "python/qasm.hpp"
#include "python/qubits.hpp"

namespace qelto::python {

std::span<const Registration> registrations() {
  static const Registration table[] = {
      {&ClassOf<ir::QubitId>::def, nullptr},
      {&ClassOf<ir::ClbitId>::def, nullptr},
      {&ClassOf<ir::Circuit>::def, nullptr},
      {&ClassOf<compile::Layout>::def, nullptr},
      {&ClassOf<compile::CouplingMap>::def, nullptr},
      {&ClassOf<compile::BasisGates>::def, nullptr},
      {&ClassOf<compile::PropertySet>::def, nullptr},
      {nullptr, from_qasm_def()},
      {nullptr, to_qasm_def()},
  };
  return table;
}

}  // namespace qelto::python
