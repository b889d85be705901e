#pragma once

#include "compile/coupling_map.hpp"
#include "python/binding/object.hpp"

namespace qelto::python {

using PyCouplingMap = Instance<compile::CouplingMap>;

ClassDef& coupling_map_class();

// A new CouplingMap object owning `map`, or null with an error set.
PyObject* new_coupling_map(compile::CouplingMap&& map);

}  // namespace qelto::python
