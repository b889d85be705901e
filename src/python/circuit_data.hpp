#pragma once

#include <span>

#include "python/binding/python.hpp"

namespace qelto::python {

// The Circuit's reading and transforming surface (circuit_data.cpp).

// Methods count_ops, assign_parameters, copy, __copy__, __deepcopy__,
// __reduce__, compose, inverse, draw, _repr_pretty_, in method-table order
// without a sentinel.
std::span<const PyMethodDef> circuit_data_methods();
// The `parameters` property.
PyGetSetDef circuit_parameters_def();
// The slots for len(), indexing and iteration in insertion order.
Py_ssize_t circuit_length(PyObject* self);
PyObject* circuit_subscript(PyObject* self, PyObject* key);
PyObject* circuit_iter(PyObject* self);

// `_circuit_from_bytes(data)`: the Circuit that `Circuit.__reduce__` stored
// as bytes. Module-level so that pickling finds it by the module's name,
// whatever the classes' `__module__`.
PyMethodDef* circuit_from_bytes_def();

}  // namespace qelto::python
