#pragma once

#include "compile/layout.hpp"
#include "python/binding/object.hpp"
#include "python/binding/text.hpp"

namespace qelto::python {

template <>
struct ClassOf<compile::Layout> {
  static constexpr Text name{"Layout"};
  static ClassDef& def();
};

}  // namespace qelto::python
