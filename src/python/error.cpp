#include "python/error.hpp"

#include <atomic>
#include <string>

#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {
namespace {

// Created on first need; kept for the life of the process.
std::atomic<PyObject*> internal_fault_type{nullptr};

PyObject* get_internal_fault_type() {
  PyObject* type = internal_fault_type.load();
  if (type != nullptr) {
    return type;
  }
  PyObject* created = PyErr_NewExceptionWithDoc(
      "qelto.InternalFault",
      "A fault in qelto's own code. Report it: no input should cause it.",
      PyExc_BaseException, nullptr);
  if (created == nullptr) {
    return nullptr;
  }
  PyObject* expected = nullptr;
  if (!internal_fault_type.compare_exchange_strong(expected, created)) {
    Py_DecRef(created);
    return expected;
  }
  return created;
}

}  // namespace

void raise_internal_fault(const char* message) {
  PyObject* type = get_internal_fault_type();
  if (type == nullptr) {
    return;
  }
  PyErr_SetString(type, message);
}

PyObject* raise_runtime_error(const char* prefix, const std::string& text) {
  std::string message = prefix + text;
  PyRef value = PyRef::steal(PyUnicode_FromStringAndSize(
      message.data(), static_cast<Py_ssize_t>(message.size())));
  if (value) {
    // The exception object itself is only built when the error surfaces.
    PyErr_SetObject(PyExc_RuntimeError, value.get());
  }
  return nullptr;
}

namespace {

// The exception type of an IR error: the kinds that reject an argument's
// value map to the built-in types Python code expects for them; every other
// kind is a RuntimeError.
PyObject* exception_type(const ir::IrError& error) {
  if (std::holds_alternative<ir::UnknownParameters>(error)) {
    return PyExc_KeyError;
  }
  if (std::holds_alternative<ir::NonFiniteParameterValue>(error) ||
      std::holds_alternative<ir::InvalidBitMapping>(error) ||
      std::holds_alternative<ir::NotInvertible>(error) ||
      std::holds_alternative<ir::MalformedCircuitData>(error)) {
    return PyExc_ValueError;
  }
  return PyExc_RuntimeError;
}

}  // namespace

PyObject* ir_to_py_err(const ir::IrError& error) {
  PyObject* type = exception_type(error);
  if (type == PyExc_RuntimeError) {
    return raise_runtime_error("IR Error: ", ir::to_string(error));
  }
  const std::string message = "IR Error: " + ir::to_string(error);
  PyRef value = PyRef::steal(PyUnicode_FromStringAndSize(
      message.data(), static_cast<Py_ssize_t>(message.size())));
  if (value) {
    PyErr_SetObject(type, value.get());
  }
  return nullptr;
}

}  // namespace qelto::python
