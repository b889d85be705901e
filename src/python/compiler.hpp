#pragma once

#include "python/binding/python.hpp"

namespace qelto::python {

// The module function `compile(circuit, target, *, seed=None)`.
PyMethodDef* compile_def();

}  // namespace qelto::python
