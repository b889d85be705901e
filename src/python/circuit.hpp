#pragma once

#include <span>

#include "ir/circuit.hpp"
#include "python/binding/object.hpp"
#include "python/binding/ref.hpp"
#include "python/error.hpp"

namespace qelto::python {

using PyCircuit = Instance<ir::Circuit>;

ClassDef& circuit_class();

// A new Circuit object owning `circuit`, or null with an error set.
PyObject* new_circuit(ir::Circuit&& circuit);

// Runs `body` on a Circuit receiver's value under a shared borrow.
template <class Body>
PyObject* read_circuit(PyObject* self, Body&& body) {
  return read_value<ir::Circuit>(self, circuit_class(), body);
}

// The Circuit passed as argument `name`, or null with TypeError
// "argument '{name}': '{type}' object cannot be converted to 'Circuit'".
PyCircuit* circuit_argument(PyObject* value, const char* name);

// The gate-family methods, one per catalogue gate in catalogue order, without
// a sentinel.
std::span<const PyMethodDef> circuit_gate_methods();

// Runs one builder operation under the circuit's exclusive borrow, taken only
// now that every argument is converted. Returns a new reference to `self`,
// or null with the IR error raised as RuntimeError.
template <class Operation>
PyObject* apply_to_circuit(PyObject* self, PyCircuit& circuit,
                           Operation&& operation) {
  ExclusiveBorrow borrow(circuit.borrow, OnConflict::kInternalFault);
  if (!borrow.held()) {
    return nullptr;
  }
  ir::BuildResult result = operation(circuit.value);
  if (!result) {
    return ir_to_py_err(result.error());
  }
  return PyRef::borrow(self).release();
}

}  // namespace qelto::python
