#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "compile/physical_qubit.hpp"

namespace qelto::compile {

// One undirected connection, kept exactly as it was added (first argument
// first).
struct Edge {
  PhysicalQubit q1;
  PhysicalQubit q2;

  friend bool operator==(Edge, Edge) = default;
};

// Which pairs of physical qubits of a device can interact. A plain value:
// copies are deep and independent. Edges are only ever added, never removed.
//
// Qubit indices are not checked against num_qubits anywhere: an edge may name
// any index, and queries about a qubit that no edge touches simply find no
// neighbours. No operation reports an error; the only exception that can
// leave an operation is std::bad_alloc, and an add_edge that throws it leaves
// the map as it was.
class CouplingMap {
 public:
  explicit CouplingMap(std::uint32_t num_qubits) : num_qubits_(num_qubits) {}

  // The constructions reserve all their memory before adding the first edge,
  // so a size the machine cannot hold throws std::bad_alloc at once.
  //
  // A chain 0-1-2-...-(n-1); no edges for n < 2.
  [[nodiscard]] static CouplingMap linear(std::uint32_t n);
  // Every pair (i, j) with i < j, in lexicographic order: n(n-1)/2 edges.
  [[nodiscard]] static CouplingMap full(std::uint32_t n);
  // Qubit 0 joined to each of 1 .. n-1; no edges for n < 2.
  [[nodiscard]] static CouplingMap star(std::uint32_t n);

  // Records (q1, q2) as given. Repeats and self-loops are stored like any
  // other pair.
  void add_edge(PhysicalQubit q1, PhysicalQubit q2);

  // Whether an edge joins q1 and q2, in either order. True for (q, q) only
  // after a self-loop on q was added.
  [[nodiscard]] bool is_connected(PhysicalQubit q1, PhysicalQubit q2) const;

  // Number of edges on a shortest path from `from` to `to`, or nullopt when
  // `to` cannot be reached. Always 0 when from == to, whatever the map holds.
  // Searches afresh on every call, with scratch space proportional to the
  // number of touched qubits (so it too may throw std::bad_alloc).
  [[nodiscard]] std::optional<std::uint32_t> distance(PhysicalQubit from,
                                                      PhysicalQubit to) const;

  // Every edge in the order it was added. The span stays valid until the
  // next add_edge.
  [[nodiscard]] std::span<const Edge> edges() const { return edges_; }

  [[nodiscard]] std::uint32_t num_qubits() const { return num_qubits_; }

 private:
  // Makes room for `count` edges up front, so that an impossible size fails
  // before anything is filled in.
  void reserve_edges(std::uint64_t count);
  // Gives qubit q the slot q for every q < n; the constructions touch every
  // qubit in that order, so slot and qubit coincide for them.
  void add_identity_slots(std::uint32_t n);
  // Appends an edge between two such qubits into room reserved beforehand.
  void link(std::uint32_t q1, std::uint32_t q2);
  // The slot of q, created with an empty neighbour list if q has none yet.
  std::uint32_t slot_for(std::uint32_t q);
  [[nodiscard]] std::optional<std::uint32_t> find_slot(std::uint32_t q) const;

  std::uint32_t num_qubits_;
  std::vector<Edge> edges_;
  // Each touched qubit gets a dense slot, so that searches can keep their
  // bookkeeping in plain arrays. A qubit that no edge touches has no slot, or
  // (after an add_edge that ran out of memory) one with an empty list.
  std::unordered_map<std::uint32_t, std::uint32_t> slot_of_;
  // Neighbour slots of each slot, in the order the edges were added. A
  // self-loop lists its qubit twice.
  std::vector<std::vector<std::uint32_t>> neighbours_;
};

}  // namespace qelto::compile
