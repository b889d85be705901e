#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qelto::compile {

// Index of a qubit of a device. Distinct from ir::QubitId, the index of a
// qubit within a circuit: a layout maps one onto the other, and the types
// keep the two sides from being swapped silently.
struct PhysicalQubit {
  std::uint32_t index = 0;

  friend bool operator==(PhysicalQubit, PhysicalQubit) = default;
  friend auto operator<=>(PhysicalQubit, PhysicalQubit) = default;
};

}  // namespace qelto::compile

template <>
struct std::hash<qelto::compile::PhysicalQubit> {
  std::size_t operator()(qelto::compile::PhysicalQubit q) const noexcept {
    return q.index;
  }
};
