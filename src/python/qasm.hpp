#pragma once

#include "python/binding/python.hpp"

namespace qelto::python {

// The module functions `from_qasm` and `to_qasm`, in registration order.
PyMethodDef* from_qasm_def();
PyMethodDef* to_qasm_def();

}  // namespace qelto::python
