// The gate family of the Circuit class: one method per catalogue gate (the
// gate table, src/ir/gates.def), all bound, converted and applied the same
// way.

#include <array>
#include <cstddef>
#include <utility>

#include "ir/gate_macros.hpp"

#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/circuit.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;
using ir::ParameterExpression;
using ir::QubitId;

ParameterExpression angle(double value) {
  return ParameterExpression::constant(value);
}

// A gate method whose signature lists `Angles` float parameters, then
// `Qubits` qubit parameters. Floats convert while binding, qubits after, and
// the circuit is borrowed only once every conversion has succeeded.
template <const Signature& Sig, std::size_t Angles, std::size_t Qubits,
          auto Build>
PyObject* gate_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) {
  static_assert(Angles + Qubits == Sig.count);
  BoundArgs bound;
  if (!bind(Sig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  PyCircuit* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return nullptr;
  }
  std::array<double, Angles> angles{};
  for (std::size_t i = 0; i < Angles; ++i) {
    auto value = to_f64(bound[i], Sig.names[i]);
    if (!value) {
      return nullptr;
    }
    angles[i] = *value;
  }
  std::array<QubitId, Qubits> qubits{};
  for (std::size_t i = 0; i < Qubits; ++i) {
    auto qubit = to_qubit_id(bound[Angles + i]);
    if (!qubit) {
      return nullptr;
    }
    qubits[i] = *qubit;
  }
  return apply_to_circuit(self, *circuit, [&](Circuit& c) {
    return Build(c, angles, qubits);
  });
}

template <const Signature& Sig, std::size_t Angles, std::size_t Qubits,
          auto Build>
PyMethodDef gate_def(const char* doc) {
  return {Sig.method_name(),
          fastcall<&gate_method<Sig, Angles, Qubits, Build>>(), kFastCall,
          doc};
}

// The builder `Method` of ir::Circuit called with the converted arguments:
// the angles as constants, then the qubits.
template <auto Method, std::size_t Angles, std::size_t Qubits>
ir::BuildResult build(Circuit& c, const std::array<double, Angles>& angles,
                      const std::array<QubitId, Qubits>& qubits) {
  return [&]<std::size_t... A, std::size_t... Q>(std::index_sequence<A...>,
                                                 std::index_sequence<Q...>) {
    return (c.*Method)(angle(angles[A])..., qubits[Q]...);
  }(std::make_index_sequence<Angles>{}, std::make_index_sequence<Qubits>{});
}

// One signature per catalogue gate: its angle names, then its qubit names.
#define QELTO_GATE(Enum, name, params, qubits, ...)               \
  constexpr Signature k##Enum{"Circuit." #name,                   \
                              {QELTO_PP_LIST_STRINGS(params)      \
                                   QELTO_PP_LIST_COMMA_IF(params) \
                                       QELTO_PP_LIST_STRINGS(qubits)}};
#include "ir/gates.def"

// One method per catalogue gate, in catalogue order; the docstring starts
// with the text signature made from the same names as the signature above.
const PyMethodDef gate_methods[] = {
#define QELTO_GATE(Enum, name, params, qubits, in_stdgates, definition,    \
                   inverse, doc)                                          \
  gate_def<k##Enum, QELTO_PP_LIST_COUNT(params),                          \
           QELTO_PP_LIST_COUNT(qubits),                                   \
           &build<&Circuit::name, QELTO_PP_LIST_COUNT(params),            \
                  QELTO_PP_LIST_COUNT(qubits)>>(                          \
      #name "($self, " QELTO_PP_LISTS_JOINED(params, qubits) ")\n--\n\n" doc),
#include "ir/gates.def"
};

}  // namespace

std::span<const PyMethodDef> circuit_gate_methods() { return gate_methods; }

}  // namespace qelto::python
