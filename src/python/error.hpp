#pragma once

#include <cstddef>
#include <string>

#include "ir/error.hpp"
#include "python/binding/python.hpp"

namespace qelto::python {

// Sets RuntimeError "IR Error: {display text}" and returns null, so a method
// can `return ir_to_py_err(error);`.
PyObject* ir_to_py_err(const ir::IrError& error);

// Sets RuntimeError with `prefix` followed by `text`; returns null.
PyObject* raise_runtime_error(const char* prefix, const std::string& text);

// The exception class qelto.QasmError, a RuntimeError subclass; created on
// first need and kept for the life of the process. Null on failure.
PyObject* qasm_error_type();

// Where a reading error was found, for QasmError's attributes.
struct QasmErrorPlace {
  std::size_t line = 1;
  std::size_t column = 1;
  std::size_t pos = 0;
};

// Raises QasmError with str() "Parse Error: {msg}", the attributes msg,
// line, column and pos, and, where exceptions take notes (3.11 and later),
// `note`. Returns null.
PyObject* raise_qasm_error(const std::string& msg, QasmErrorPlace place,
                           const std::string& note);

}  // namespace qelto::python
