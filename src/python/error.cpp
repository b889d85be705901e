#include "python/error.hpp"

#include <atomic>
#include <string>
#include <variant>

#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {
namespace {

// Created on first need; kept for the life of the process.
std::atomic<PyObject*> internal_fault_type{nullptr};
std::atomic<PyObject*> qasm_error{nullptr};

PyObject* exception_type(std::atomic<PyObject*>& slot, const char* name,
                         const char* doc, PyObject* base) {
  PyObject* type = slot.load();
  if (type != nullptr) {
    return type;
  }
  PyObject* created = PyErr_NewExceptionWithDoc(name, doc, base, nullptr);
  if (created == nullptr) {
    return nullptr;
  }
  PyObject* expected = nullptr;
  if (!slot.compare_exchange_strong(expected, created)) {
    Py_DecRef(created);
    return expected;
  }
  return created;
}

PyObject* get_internal_fault_type() {
  return exception_type(
      internal_fault_type, "qelto.InternalFault",
      "A fault in qelto's own code. Report it: no input should cause it.",
      PyExc_BaseException);
}

bool set_size(PyObject* object, const char* name, std::size_t value) {
  PyRef number = PyRef::steal(PyLong_FromSize_t(value));
  return number && PyObject_SetAttrString(object, name, number.get()) == 0;
}

PyRef text(const std::string& value) {
  return PyRef::steal(PyUnicode_FromStringAndSize(
      value.data(), static_cast<Py_ssize_t>(value.size())));
}

}  // namespace

void raise_internal_fault(const char* message) {
  PyObject* type = get_internal_fault_type();
  if (type == nullptr) {
    return;
  }
  PyErr_SetString(type, message);
}

namespace {

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

}  // namespace

PyObject* qasm_error_type() {
  return exception_type(
      qasm_error, "qelto.QasmError",
      "An OpenQASM text that could not be read.\n\n"
      "A RuntimeError, with the place of the fault, in the manner of\n"
      "json.JSONDecodeError:\n\n"
      "Attributes:\n"
      "    msg: The error's text, without the 'Parse Error: ' prefix.\n"
      "    line: The 1-based line where it was found.\n"
      "    column: The 1-based column, counted in characters.\n"
      "    pos: The offset in the UTF-8 encoded text, in bytes.",
      PyExc_RuntimeError);
}

PyObject* LibraryError<ReadFailure>::raise(const ReadFailure& failure) {
  const std::string msg = qasm3::to_string(failure.error.error);
  PyObject* type = qasm_error_type();
  if (type == nullptr) {
    return nullptr;
  }
  PyRef message = text("Parse Error: " + msg);
  PyRef detail = text(msg);
  if (!message || !detail) {
    return nullptr;
  }
  PyRef error = PyRef::steal(
      PyObject_CallFunctionObjArgs(type, message.get(), nullptr));
  if (!error || PyObject_SetAttrString(error.get(), "msg", detail.get()) != 0 ||
      !set_size(error.get(), "line", failure.error.line) ||
      !set_size(error.get(), "column", failure.error.column) ||
      !set_size(error.get(), "pos", failure.error.offset)) {
    return nullptr;
  }
  if (PyObject_HasAttrString(error.get(), "add_note")) {
    PyRef note_text = text(failure.note);
    if (!note_text) {
      return nullptr;
    }
    PyRef added = PyRef::steal(PyObject_CallMethod(error.get(), "add_note",
                                                   "O", note_text.get()));
    if (!added) {
      return nullptr;
    }
  }
  PyErr_SetObject(type, error.get());
  return nullptr;
}

namespace {

// The exception type of an IR error: the kinds that reject an argument's
// value map to the built-in types Python code expects for them; every other
// kind is a RuntimeError.
PyObject* ir_exception_type(const ir::IrError& error) {
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

PyObject* LibraryError<ir::IrError>::raise(const ir::IrError& error) {
  PyObject* type = ir_exception_type(error);
  if (type == PyExc_RuntimeError) {
    return raise_runtime_error("IR Error: ", ir::to_string(error));
  }
  PyRef value = text("IR Error: " + ir::to_string(error));
  if (value) {
    PyErr_SetObject(type, value.get());
  }
  return nullptr;
}

PyObject* LibraryError<compile::CompileError>::raise(
    const compile::CompileError& error) {
  return raise_runtime_error("Compile Error: ", compile::to_string(error));
}

PyObject* LibraryError<qasm3::ParseError>::raise(
    const qasm3::ParseError& error) {
  return raise_runtime_error("Parse Error: ", qasm3::to_string(error));
}

}  // namespace qelto::python
