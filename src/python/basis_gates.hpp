#pragma once

#include "compile/basis_gates.hpp"
#include "python/binding/object.hpp"
#include "python/binding/text.hpp"

namespace qelto::python {

template <>
struct ClassOf<compile::BasisGates> {
  static constexpr Text name{"BasisGates"};
  static ClassDef& def();
};

}  // namespace qelto::python
