#include "python/registry.hpp"

#include "python/circuit_data.hpp"
#include "python/classes.hpp"
#include "python/compiler.hpp"
#include "python/error.hpp"
#include "python/passes.hpp"
#include "python/qasm.hpp"

namespace qelto::python {

std::span<const Registration> registrations() {
  static const Registration table[] = {
      {&class_def<ir::QubitId>, nullptr},
      {&class_def<ir::ClbitId>, nullptr},
      {&class_def<ir::Circuit>, nullptr},
      {&class_def<compile::Layout>, nullptr},
      {&class_def<compile::CouplingMap>, nullptr},
      {&class_def<compile::BasisGates>, nullptr},
      {&class_def<compile::PropertySet>, nullptr},
      {nullptr, from_qasm_def()},
      {nullptr, to_qasm_def()},
      {nullptr, nullptr, qasm_error_type},
      {nullptr, compile_def()},
      {&class_def<OperationValue>, nullptr},
      {nullptr, circuit_from_bytes_def()},
      {nullptr, unroll_def()},
      {nullptr, layout_def()},
      {nullptr, route_def()},
      {nullptr, translate_def()},
      {nullptr, simplify_def()},
  };
  return table;
}

}  // namespace qelto::python
