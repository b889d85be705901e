#pragma once

#include <string>

#include "compile/compile_error.hpp"
#include "ir/error.hpp"
#include "python/binding/python.hpp"
#include "python/binding/to_python.hpp"
#include "qasm3/error.hpp"

namespace qelto::python {

// The one translation of each library's errors: RuntimeError with the
// library's prefix and the error's display text. Each sets the exception and
// returns null.
template <>
struct LibraryError<ir::IrError> {
  // "IR Error: ...": KeyError for UnknownParameters; ValueError for
  // NonFiniteParameterValue, InvalidBitMapping, NotInvertible and
  // MalformedCircuitData; RuntimeError for every other kind.
  static PyObject* raise(const ir::IrError& error);
};

template <>
struct LibraryError<qasm3::ParseError> {
  static PyObject* raise(const qasm3::ParseError& error);  // "Parse Error: ..."
};

template <>
struct LibraryError<compile::CompileError> {
  // "Compile Error: ..."
  static PyObject* raise(const compile::CompileError& error);
};

// A reading error with the source line it was found on and a caret under its
// column (the note QasmError carries where exceptions take notes).
struct ReadFailure {
  qasm3::SourceError error;
  std::string note;
};

// Raises qelto.QasmError: str() "Parse Error: {text}", the attributes msg,
// line, column and pos, and, where exceptions take notes (3.11 and later),
// the note.
template <>
struct LibraryError<ReadFailure> {
  static PyObject* raise(const ReadFailure& failure);
};

// The exception class qelto.QasmError, a RuntimeError subclass; created on
// first need and kept for the life of the process. Null on failure.
PyObject* qasm_error_type();

}  // namespace qelto::python
