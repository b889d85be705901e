#pragma once

#include <compare>
#include <cstdint>

namespace qelto::ir {

// Number of a node of a CircuitDag: wire ends and operations are numbered
// 0, 1, 2, ... in the order they were added, never renumbered.
struct NodeIndex {
  std::uint32_t index = 0;

  friend bool operator==(NodeIndex, NodeIndex) = default;
  friend auto operator<=>(NodeIndex, NodeIndex) = default;
};

// Reserved value meaning "no node" (all 32 bits set); a DAG holds at most
// 4294967295 nodes and as many edges.
inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

}  // namespace qelto::ir
