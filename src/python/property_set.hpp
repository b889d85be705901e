#pragma once

#include "compile/property_set.hpp"
#include "python/binding/object.hpp"
#include "python/binding/text.hpp"

namespace qelto::python {

template <>
struct ClassOf<compile::PropertySet> {
  static constexpr Text name{"PropertySet"};
  static ClassDef& def();
};

}  // namespace qelto::python
