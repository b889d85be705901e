#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
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
//
// Queries work on a flat adjacency (one array of neighbours, one of
// offsets) built on the first query after the edges changed. The first
// distance query from a source searches only until it reaches the target
// (with search buffers kept between calls); the second from the same
// source computes and keeps that source's whole breadth-first distance
// row, so repeated queries from one qubit cost O(1). The rows are dropped when
// an edge is added; together they hold at most kRowCacheEntries distances
// (64 MiB: when a new row would pass that, the cached rows are dropped
// first; a single row larger than that is still kept alone). The caches sit behind a mutex, so const
// calls may run concurrently like on any value; copies start without them.
class CouplingMap {
 public:
  explicit CouplingMap(std::uint32_t num_qubits) : num_qubits_(num_qubits) {}
  CouplingMap(const CouplingMap& other);
  CouplingMap& operator=(const CouplingMap& other);
  CouplingMap(CouplingMap&& other) noexcept;
  CouplingMap& operator=(CouplingMap&& other) noexcept;
  ~CouplingMap() = default;

  // Bound on the distances all cached rows hold together.
  static constexpr std::size_t kRowCacheEntries = std::size_t{1} << 24;

  // The constructions reserve all their memory before adding the first edge,
  // so a size the machine cannot hold throws std::bad_alloc at once.
  //
  // A chain 0-1-2-...-(n-1); no edges for n < 2.
  [[nodiscard]] static CouplingMap linear(std::uint32_t n);
  // Every pair (i, j) with i < j, in lexicographic order: n(n-1)/2 edges.
  [[nodiscard]] static CouplingMap full(std::uint32_t n);
  // Qubit 0 joined to each of 1 .. n-1; no edges for n < 2.
  [[nodiscard]] static CouplingMap star(std::uint32_t n);

  // Device shapes. They add their edges through add_edge, in the order
  // stated, so edges() lists them in that order.
  //
  // A cycle: (0, 1), (1, 2), ..., (n-2, n-1), then the closing (n-1, 0) for
  // n >= 3. ring(2) is the single edge (0, 1); no edges for n < 2.
  [[nodiscard]] static CouplingMap ring(std::uint32_t n);
  // rows x cols qubits, qubit (r, c) numbered r * cols + c. For each qubit in
  // increasing order: its edge to the right (r, c+1), then its edge down
  // (r+1, c), each when that neighbour exists. nullopt when rows * cols does
  // not fit in 32 bits.
  [[nodiscard]] static std::optional<CouplingMap> grid(std::uint32_t rows,
                                                       std::uint32_t cols);
  // The heavy-hexagon lattice of the distance-d heavy-hex code, for odd d:
  // (5d^2 - 2d - 1) / 2 qubits of degree at most 3. d rows of 2d-1 qubits
  // each form chains; between rows r and r+1 sit (d+1)/2 bridge qubits, each
  // joined to the qubit directly above and directly below it. The bridges
  // below an even row stand under columns 1, 5, 9, ... and the last column
  // 2d-2; those below an odd row under column 0 and columns 3, 7, 11, ...
  // So every chain qubit has degree at most 3, and each face between two
  // neighbouring bridges in odd columns is a heavy hexagon of 12 qubits
  // (faces closed by a bridge in the first or last column are the shorter
  // faces of the boundary). Numbering and edge order run top to bottom:
  // row 0's chain (its qubits numbered left to right, edges (i, i+1) left
  // to right), then the bridges below it numbered left to right with edges
  // (above, bridge), (bridge, below) per bridge, then row 1, and so on.
  // nullopt for even d, and for a d whose qubit count does not fit in 32
  // bits.
  [[nodiscard]] static std::optional<CouplingMap> heavy_hex(std::uint32_t d);

  // Records (q1, q2) as given. Repeats and self-loops are stored like any
  // other pair.
  void add_edge(PhysicalQubit q1, PhysicalQubit q2);

  // Whether an edge joins q1 and q2, in either order. True for (q, q) only
  // after a self-loop on q was added.
  [[nodiscard]] bool is_connected(PhysicalQubit q1, PhysicalQubit q2) const;

  // Number of edges on a shortest path from `from` to `to`, or nullopt when
  // `to` cannot be reached. Always 0 when from == to, whatever the map holds.
  // The first query from a source searches the whole component (scratch
  // space and a cached row proportional to the number of touched qubits, so
  // it may throw std::bad_alloc); later ones from that source read the row.
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
  // The slot of q, created if q has none yet.
  std::uint32_t slot_for(std::uint32_t q);
  [[nodiscard]] std::optional<std::uint32_t> find_slot(std::uint32_t q) const;
  [[nodiscard]] std::uint32_t slot_count() const noexcept {
    return identity_slots_ + static_cast<std::uint32_t>(slot_of_.size());
  }
  // Caller holds cache_mutex_. Builds the adjacency if the edges changed.
  void build_adjacency() const;
  // Caller holds cache_mutex_ and has built the adjacency. The distance row
  // of `source` (kUnreachable where nothing leads).
  const std::vector<std::uint32_t>& row_for(std::uint32_t source) const;
  // Caller holds cache_mutex_ and has built the adjacency. Searches from
  // `source` until `goal` is reached.
  std::optional<std::uint32_t> search(std::uint32_t source,
                                      std::uint32_t goal) const;

  static constexpr std::uint32_t kUnreachable = 0xFFFFFFFFu;
  static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;

  std::uint32_t num_qubits_;
  std::vector<Edge> edges_;
  // Each touched qubit gets a dense slot, so that searches can keep their
  // bookkeeping in plain arrays. The constructions give qubit q the slot q
  // for every q < identity_slots_ without storing anything; other qubits
  // get slots identity_slots_, identity_slots_ + 1, ... through slot_of_.
  // A qubit that no edge touches has no slot, or (after an add_edge that
  // ran out of memory) one without neighbours.
  std::uint32_t identity_slots_ = 0;
  std::unordered_map<std::uint32_t, std::uint32_t> slot_of_;

  // ---- Caches, derived from the above (guarded by cache_mutex_) ----
  mutable std::mutex cache_mutex_;
  // Number of edges the adjacency was built from (it is stale when fewer
  // than edges_.size()).
  mutable std::size_t adjacency_edges_ = 0;
  mutable bool adjacency_built_ = false;
  // Neighbours of slot s: neighbours_[offsets_[s] .. offsets_[s + 1]), in
  // the order the edges were added; a self-loop lists its qubit twice.
  mutable std::vector<std::uint32_t> offsets_;
  mutable std::vector<std::uint32_t> neighbours_;
  // Cached rows; row_of_source_[s] is the position of s's row in rows_,
  // or kNoRow.
  mutable std::vector<std::vector<std::uint32_t>> rows_;
  mutable std::vector<std::uint32_t> row_of_source_;
  mutable std::size_t cached_entries_ = 0;
  // Search queue and visit marks (slot visited iff seen_[slot] == epoch_),
  // reused between searches; asked_[s] != 0 once s was a source.
  mutable std::vector<std::uint32_t> queue_;
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t epoch_ = 0;
  mutable std::vector<std::uint8_t> asked_;
};

}  // namespace qelto::compile
