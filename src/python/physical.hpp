#pragma once

#include "compile/physical_qubit.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/to_python.hpp"

namespace qelto::python {

// A physical qubit goes both ways as a plain int (0 .. 4294967295).
using Physical = As<U32, compile::PhysicalQubit>;

template <>
struct ToPython<compile::PhysicalQubit> {
  static PyObject* convert(compile::PhysicalQubit qubit) {
    return PyLong_FromUnsignedLong(qubit.index);
  }
};

}  // namespace qelto::python
