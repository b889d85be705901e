#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "compile/coupling_map.hpp"

namespace qelto::compile {

// The coupling map as the passes read it: physical qubits 0 .. size-1 with
// sorted, repeat-free neighbour lists. Self-loops and edges naming a qubit
// beyond the map's qubit count are left out (such qubits do not exist on
// the device).
//
// Distances come from breadth-first searches, one row per source qubit.
// While the whole table fits in kDistanceBudget bytes (devices up to 4096
// qubits) every row is computed up front; larger devices compute rows on
// first use and keep as many as fit in the budget, each in the slot of its
// source modulo the row count, so memory stays bounded whatever the size.
class Device {
 public:
  static constexpr std::size_t kDistanceBudget = std::size_t{64} << 20;
  // The distance between qubits of different connected parts.
  static constexpr std::uint32_t kUnreachable = 0x3FFFFFFF;

  explicit Device(const CouplingMap& map);

  [[nodiscard]] std::uint32_t size() const { return size_; }
  [[nodiscard]] std::span<const std::uint32_t> neighbours(
      std::uint32_t p) const {
    return {adjacency_.data() + offsets_[p], offsets_[p + 1] - offsets_[p]};
  }
  // Each undirected edge's number (0 .. num_edges - 1), per entry of
  // neighbours(p) in the same order.
  [[nodiscard]] std::span<const std::uint32_t> edge_ids(std::uint32_t p) const {
    return {edge_of_.data() + offsets_[p], offsets_[p + 1] - offsets_[p]};
  }
  [[nodiscard]] std::uint32_t num_edges() const { return num_edges_; }
  [[nodiscard]] bool adjacent(std::uint32_t a, std::uint32_t b) const;
  // Edges on a shortest path, kUnreachable across parts. Not thread-safe
  // (fills the row cache).
  [[nodiscard]] std::uint32_t distance(std::uint32_t a,
                                       std::uint32_t b) const {
    // Inline: routing asks for distances millions of times. Rows hold
    // kUnreachable for qubits of other parts.
    if (all_rows_) {
      return rows_[std::size_t{b} * size_ + a];
    }
    return row(b)[a];
  }
  // A shortest path from a to b, both ends included; empty across parts.
  [[nodiscard]] std::vector<std::uint32_t> shortest_path(std::uint32_t a,
                                                         std::uint32_t b) const;
  // Connected part of each qubit, numbered 0, 1, ... in order of their
  // smallest qubit; and each part's qubits in breadth-first order from it.
  [[nodiscard]] std::uint32_t part_of(std::uint32_t p) const {
    return part_[p];
  }
  [[nodiscard]] const std::vector<std::vector<std::uint32_t>>& parts() const {
    return parts_;
  }

 private:
  const std::uint32_t* row(std::uint32_t source) const;

  std::uint32_t size_;
  std::vector<std::uint32_t> offsets_;
  std::vector<std::uint32_t> adjacency_;
  std::vector<std::uint32_t> edge_of_;
  std::uint32_t num_edges_ = 0;
  std::vector<std::uint32_t> part_;
  std::vector<std::vector<std::uint32_t>> parts_;
  // Row cache: slot s holds the distances from row_source_[s].
  std::uint32_t row_slots_ = 0;
  // Whether every row was computed up front (the table fits the budget).
  bool all_rows_ = false;
  mutable std::vector<std::uint32_t> rows_;
  mutable std::vector<std::uint32_t> row_source_;
};

}  // namespace qelto::compile
