#pragma once

#include <string>

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
  static PyObject* raise(const ir::IrError& error);  // "IR Error: ..."
};

template <>
struct LibraryError<qasm3::ParseError> {
  static PyObject* raise(const qasm3::ParseError& error);  // "Parse Error: ..."
};

}  // namespace qelto::python
