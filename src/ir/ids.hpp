#pragma once

// The identifier types that every library shares. A leaf header: it includes
// only the standard library, so the compile library can name the circuit's
// bits without depending on the rest of the IR.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qelto::ir {

// Index of a qubit within one circuit. Handed out from 0 in creation order;
// never converts to or from a ClbitId.
struct QubitId {
  std::uint32_t index = 0;

  friend bool operator==(QubitId, QubitId) = default;
  friend auto operator<=>(QubitId, QubitId) = default;
};

// Index of a classical bit within one circuit.
struct ClbitId {
  std::uint32_t index = 0;

  friend bool operator==(ClbitId, ClbitId) = default;
  friend auto operator<=>(ClbitId, ClbitId) = default;
};

}  // namespace qelto::ir

template <>
struct std::hash<qelto::ir::QubitId> {
  std::size_t operator()(qelto::ir::QubitId q) const noexcept { return q.index; }
};

template <>
struct std::hash<qelto::ir::ClbitId> {
  std::size_t operator()(qelto::ir::ClbitId c) const noexcept { return c.index; }
};
