#pragma once

#include "compile/layout.hpp"
#include "python/binding/object.hpp"

namespace qelto::python {

using PyLayout = Instance<compile::Layout>;

ClassDef& layout_class();

// A new Layout object owning `layout`, or null with an error set.
PyObject* new_layout(compile::Layout&& layout);

}  // namespace qelto::python
