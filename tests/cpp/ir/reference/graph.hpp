// The graph store the operation store replaced, kept as the reference the
// randomised order comparison runs against.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace qelto::ir::reference {

// Number of a node in a graph store: its position in the node array,
// handed out 0, 1, 2, ... in creation order.
struct NodeIndex {
  std::uint32_t index = 0;

  friend bool operator==(NodeIndex, NodeIndex) = default;
  friend auto operator<=>(NodeIndex, NodeIndex) = default;
};

// Position of an edge in the edge array. Not stable: removing an edge moves
// the last edge into its slot.
struct EdgeIndex {
  std::uint32_t index = 0;

  friend bool operator==(EdgeIndex, EdgeIndex) = default;
};

// Reserved value meaning "no node" / "no edge" (all 32 bits set); a store
// holds at most 4294967295 nodes and as many edges.
inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

// The directed multigraph store (its numbering and list orders are
// external behaviour, since they fix the topological order):
// - nodes in one array, never removed; each node has its payload and the
//   heads of two singly linked edge lists, outgoing and incoming (stored as
//   two parallel arrays, payloads and heads);
// - edges in one array; each edge has its weight, source, target and the
//   next edge in the source's outgoing and the target's incoming list;
// - add_edge appends to the array and links the edge at the FRONT of both
//   lists (lists run newest to oldest);
// - remove_edge unlinks from both lists (others keep their order), then
//   moves the last edge of the array into the freed slot and rewrites the
//   links that pointed at it.
//
// Capacity: add_node / add_edge may throw std::bad_alloc (strong guarantee:
// nothing changes). After reserve_nodes(k) / reserve_edges(k) the next k
// additions cannot throw (provided moving a payload cannot throw).
// Exceeding 4294967295 nodes or edges throws std::bad_alloc (memory runs
// out long before in practice).
template <class N, class E>
class Graph {
 public:
  static constexpr int kOut = 0;
  static constexpr int kIn = 1;

  // List heads of one node: outgoing (kOut) and incoming (kIn), or kNoIndex.
  // Kept apart from the payloads so that graph walks touch 8 bytes per node.
  struct Links {
    std::uint32_t first[2] = {kNoIndex, kNoIndex};
  };
  struct Edge {
    E weight;
    // Source (kOut) and target (kIn) node.
    std::uint32_t node[2] = {kNoIndex, kNoIndex};
    // Next edge in the source's outgoing (kOut) and target's incoming (kIn)
    // list, or kNoIndex.
    std::uint32_t next[2] = {kNoIndex, kNoIndex};
  };

  [[nodiscard]] std::size_t node_count() const noexcept {
    return links_.size();
  }
  [[nodiscard]] std::size_t edge_count() const noexcept {
    return edges_.size();
  }

  // Ensure that `extra` more nodes / edges fit without reallocation. Grows
  // geometrically, so calling it before every addition stays amortised O(1).
  void reserve_nodes(std::size_t extra) {
    reserve(weights_, extra);
    reserve(links_, extra);
  }
  void reserve_edges(std::size_t extra) { reserve(edges_, extra); }

  NodeIndex add_node(N weight) {
    reserve_nodes(1);
    weights_.push_back(std::move(weight));
    links_.emplace_back();
    return NodeIndex{static_cast<std::uint32_t>(links_.size() - 1)};
  }

  EdgeIndex add_edge(NodeIndex source, NodeIndex target, E weight) {
    assert(source.index < links_.size() && target.index < links_.size());
    reserve_edges(1);
    const auto e = static_cast<std::uint32_t>(edges_.size());
    Edge edge{std::move(weight)};
    edge.node[kOut] = source.index;
    edge.node[kIn] = target.index;
    edge.next[kOut] = links_[source.index].first[kOut];
    edge.next[kIn] = links_[target.index].first[kIn];
    edges_.push_back(std::move(edge));
    links_[source.index].first[kOut] = e;
    links_[target.index].first[kIn] = e;
    return EdgeIndex{e};
  }

  // Removes edge `e` and returns its weight. Never throws.
  E remove_edge(EdgeIndex e) noexcept {
    assert(e.index < edges_.size());
    Edge& edge = edges_[e.index];
    change_links(edge.node, e.index, edge.next);
    E weight = std::move(edge.weight);
    const auto last = static_cast<std::uint32_t>(edges_.size() - 1);
    if (e.index != last) {
      edges_[e.index] = std::move(edges_[last]);
      edges_.pop_back();
      const std::uint32_t to_new[2] = {e.index, e.index};
      change_links(edges_[e.index].node, last, to_new);
    } else {
      edges_.pop_back();
    }
    return weight;
  }

  [[nodiscard]] const N& node(NodeIndex n) const noexcept {
    return weights_[n.index];
  }
  [[nodiscard]] N& node(NodeIndex n) noexcept { return weights_[n.index]; }
  [[nodiscard]] const Edge& edge(EdgeIndex e) const noexcept {
    return edges_[e.index];
  }

  // List walking: first_edge(n, kOut) then next_edge(e, kOut) until kNoIndex
  // gives n's outgoing edges newest first; likewise with kIn.
  [[nodiscard]] std::uint32_t first_edge(NodeIndex n, int dir) const noexcept {
    return links_[n.index].first[dir];
  }
  [[nodiscard]] std::uint32_t next_edge(std::uint32_t e,
                                        int dir) const noexcept {
    return edges_[e].next[dir];
  }

  // Convenience (allocates): the far ends of n's outgoing / incoming edges,
  // in list order (newest edge first).
  [[nodiscard]] std::vector<NodeIndex> neighbors(NodeIndex n, int dir) const {
    std::vector<NodeIndex> out;
    const int far = dir == kOut ? kIn : kOut;
    for (std::uint32_t e = first_edge(n, dir); e != kNoIndex;
         e = next_edge(e, dir)) {
      out.push_back(NodeIndex{edges_[e].node[far]});
    }
    return out;
  }

 private:
  template <class V>
  static void reserve(V& v, std::size_t extra) {
    const std::size_t need = v.size() + extra;
    if (need <= v.capacity()) {
      return;
    }
    if (need > kNoIndex) {
      throw std::bad_alloc();
    }
    v.reserve(std::max(need, v.capacity() * 2));
  }

  // In the lists of nodes[kOut] (outgoing) and nodes[kIn] (incoming), make
  // the link that points at edge `from` point at replacement[dir] instead.
  void change_links(const std::uint32_t (&ends)[2], std::uint32_t from,
                    const std::uint32_t (&replacement)[2]) noexcept {
    for (int dir = 0; dir < 2; ++dir) {
      Links& n = links_[ends[dir]];
      if (n.first[dir] == from) {
        n.first[dir] = replacement[dir];
        continue;
      }
      for (std::uint32_t cur = n.first[dir]; cur != kNoIndex;
           cur = edges_[cur].next[dir]) {
        if (edges_[cur].next[dir] == from) {
          edges_[cur].next[dir] = replacement[dir];
          break;
        }
      }
    }
  }

  // Node payloads and list heads, both indexed by NodeIndex.
  std::vector<N> weights_;
  std::vector<Links> links_;
  std::vector<Edge> edges_;
};

}  // namespace qelto::ir::reference
