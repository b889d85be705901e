#include "python/registry.hpp"

#include "python/circuit.hpp"
#include "python/qubits.hpp"

namespace qelto::python {

std::span<const Registration> registrations() {
  static const Registration table[] = {
      {&qubit_id_class, nullptr},
      {&clbit_id_class, nullptr},
      {&circuit_class, nullptr},
  };
  return table;
}

}  // namespace qelto::python
