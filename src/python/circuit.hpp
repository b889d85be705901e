#pragma once

#include <span>

#include "python/binding/python.hpp"

namespace qelto::python {

// The gate-family methods, one per catalogue gate in catalogue order, without
// a sentinel.
std::span<const PyMethodDef> circuit_gate_methods();

}  // namespace qelto::python
