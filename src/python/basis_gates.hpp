#pragma once

#include "compile/basis_gates.hpp"
#include "python/binding/object.hpp"

namespace qelto::python {

using PyBasisGates = Instance<compile::BasisGates>;

ClassDef& basis_gates_class();

// A new BasisGates object owning `gates`, or null with an error set.
PyObject* new_basis_gates(compile::BasisGates&& gates);

}  // namespace qelto::python
