#pragma once

#include "compile/coupling_map.hpp"
#include "compile/physical_qubit.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/object.hpp"
#include "python/binding/text.hpp"
#include "python/binding/to_python.hpp"

namespace qelto::python {

template <>
struct ClassOf<compile::CouplingMap> {
  static constexpr Text name{"CouplingMap"};
  static ClassDef& def();
};

// A physical qubit goes both ways as a plain int (0 .. 4294967295).
using Physical = As<U32, compile::PhysicalQubit>;

template <>
struct ToPython<compile::PhysicalQubit> {
  static PyObject* convert(compile::PhysicalQubit qubit) {
    return PyLong_FromUnsignedLong(qubit.index);
  }
};

}  // namespace qelto::python
