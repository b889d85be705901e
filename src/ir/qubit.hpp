#pragma once

#include <cstdint>
#include <functional>
#include <string>

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

// Diagnostic forms used inside error messages: "QubitId(3)", "ClbitId(0)".
std::string to_string(QubitId qubit);
std::string to_string(ClbitId clbit);

}  // namespace qelto::ir

template <>
struct std::hash<qelto::ir::QubitId> {
  std::size_t operator()(qelto::ir::QubitId q) const noexcept { return q.index; }
};

template <>
struct std::hash<qelto::ir::ClbitId> {
  std::size_t operator()(qelto::ir::ClbitId c) const noexcept { return c.index; }
};
