#pragma once

#include <optional>

#include "ir/qubit.hpp"
#include "python/binding/object.hpp"

namespace qelto::python {

using PyQubitId = Instance<ir::QubitId>;
using PyClbitId = Instance<ir::ClbitId>;

ClassDef& qubit_id_class();
ClassDef& clbit_id_class();

// The conversion behind every parameter documented as "QubitId or int": a
// QubitId object, or an int / __index__ object in 0 .. 4294967295. Anything
// else raises TypeError "Expected QubitId or int". Does not check that the
// qubit exists anywhere.
std::optional<ir::QubitId> to_qubit_id(PyObject* value);
// The twin for classical bits: "Expected ClbitId or int".
std::optional<ir::ClbitId> to_clbit_id(PyObject* value);

// New QubitId / ClbitId objects, or null with an error set.
PyObject* new_qubit_id(ir::QubitId qubit);
PyObject* new_clbit_id(ir::ClbitId clbit);

}  // namespace qelto::python
