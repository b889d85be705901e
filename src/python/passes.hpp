#pragma once

#include "python/binding/python.hpp"

namespace qelto::python {

// The module functions that run one compilation pass each: unroll, layout,
// route, translate and simplify, in registration order.
PyMethodDef* unroll_def();
PyMethodDef* layout_def();
PyMethodDef* route_def();
PyMethodDef* translate_def();
PyMethodDef* simplify_def();

}  // namespace qelto::python
