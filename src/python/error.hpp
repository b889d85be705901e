#pragma once

#include "ir/error.hpp"
#include "python/binding/python.hpp"

namespace qelto::python {

// Sets "IR Error: {display text}" and returns null, so a method can
// `return ir_to_py_err(error);`. The exception is KeyError for
// UnknownParameters; ValueError for NonFiniteParameterValue,
// InvalidBitMapping, NotInvertible and MalformedCircuitData; RuntimeError
// for every other kind.
PyObject* ir_to_py_err(const ir::IrError& error);

// Sets RuntimeError with `prefix` followed by `text`; returns null.
PyObject* raise_runtime_error(const char* prefix, const std::string& text);

}  // namespace qelto::python
