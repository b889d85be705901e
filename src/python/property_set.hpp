#pragma once

#include "compile/property_set.hpp"
#include "python/binding/object.hpp"

namespace qelto::python {

using PyPropertySet = Instance<compile::PropertySet>;

ClassDef& property_set_class();

}  // namespace qelto::python
