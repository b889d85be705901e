#pragma once

#include <optional>

#include "ir/ids.hpp"
#include "python/binding/python.hpp"

namespace qelto::python {

// The conversion behind every parameter documented as "QubitId or int": a
// QubitId object, or an int / __index__ object in 0 .. 4294967295. When the
// value is not one of those, or its integer is out of range, it raises
// TypeError "Expected QubitId or int"; an exception raised by the object's
// own __index__ passes through unchanged. Does not check that the qubit
// exists anywhere.
std::optional<ir::QubitId> to_qubit_id(PyObject* value);
// The twin for classical bits: "Expected ClbitId or int".
std::optional<ir::ClbitId> to_clbit_id(PyObject* value);

// Converters for circuit qubit and bit parameters. They run after the
// method's plain values (its angles and durations).
struct Qubit {
  using Value = ir::QubitId;
  static constexpr bool kAfterValues = true;
  static std::optional<Value> convert(PyObject* v, const char*) {
    return to_qubit_id(v);
  }
};
struct Clbit {
  using Value = ir::ClbitId;
  static constexpr bool kAfterValues = true;
  static std::optional<Value> convert(PyObject* v, const char*) {
    return to_clbit_id(v);
  }
};

}  // namespace qelto::python
