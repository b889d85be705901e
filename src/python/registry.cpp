#include "python/registry.hpp"

#include "python/basis_gates.hpp"
#include "python/circuit.hpp"
#include "python/circuit_data.hpp"
#include "python/coupling_map.hpp"
#include "python/layout.hpp"
#include "python/operation.hpp"
#include "python/property_set.hpp"
#include "python/qasm.hpp"
#include "python/qubits.hpp"

namespace qelto::python {

std::span<const Registration> registrations() {
  static const Registration table[] = {
      {&qubit_id_class, nullptr},
      {&clbit_id_class, nullptr},
      {&circuit_class, nullptr},
      {&layout_class, nullptr},
      {&coupling_map_class, nullptr},
      {&basis_gates_class, nullptr},
      {&property_set_class, nullptr},
      {nullptr, from_qasm_def()},
      {nullptr, to_qasm_def()},
      {&operation_class, nullptr},
      {nullptr, circuit_from_bytes_def()},
  };
  return table;
}

}  // namespace qelto::python
