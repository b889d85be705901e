#pragma once

#include <span>

#include "ir/circuit.hpp"
#include "python/binding/object.hpp"
#include "python/binding/text.hpp"

namespace qelto::python {

template <>
struct ClassOf<ir::Circuit> {
  static constexpr Text name{"Circuit"};
  static ClassDef& def();
};

// The gate-family methods ("h" ... "cswap") in method-table order, without
// a sentinel.
std::span<const PyMethodDef> circuit_gate_methods();

}  // namespace qelto::python
