// The fixed topological order of a CircuitDag: a depth-first search over
// the edge lists that the operation store's wire links imply.
#include <algorithm>
#include <cassert>

#include "ir/dag.hpp"

namespace qelto::ir {

// One search. Nodes are numbered internally as operation j -> j, WireIn of
// wire k -> N + 2k, WireOut -> N + 2k + 1 (N operations), so that the
// marks and links are plain arrays; node numbers are only needed for the
// root order and the result.
class DagWalk {
 public:
  explicit DagWalk(const CircuitDag& dag)
      : dag_(dag),
        ops_(static_cast<std::uint32_t>(dag.tags_.size())),
        total_(static_cast<std::uint32_t>(dag.node_count())) {}

  // The reversed finishing order, in internal numbers.
  std::vector<std::uint32_t> run() {
    link_forward();
    state_.assign(total_, kNew);
    order_.reserve(total_);
    // Roots in node-number order: operations and runs of wire ends
    // interleaved as they were added.
    std::uint32_t op = 0;
    std::uint32_t wire = 0;
    auto ops_until = [&](std::uint32_t end) {
      for (; op < end; ++op) {
        search_from(op);
      }
    };
    for (std::size_t r = 0; r < dag_.runs_.size(); ++r) {
      ops_until(dag_.runs_[r].ops_before);
      for (; wire < dag_.runs_[r].wires; ++wire) {
        search_from(ops_ + 2 * wire);
        search_from(ops_ + 2 * wire + 1);
      }
    }
    ops_until(ops_);
    std::reverse(order_.begin(), order_.end());
    return std::move(order_);
  }

  // Node number of an internal number (after run).
  NodeIndex node_of(std::uint32_t x) const noexcept {
    if (x < ops_) {
      return dag_.operation_node(x);
    }
    const std::uint32_t wire = (x - ops_) / 2;
    return NodeIndex{dag_.wires_[wire].in + (x - ops_) % 2};
  }

  std::uint32_t ops() const noexcept { return ops_; }

 private:
  // first_[op]: the first slot of operation op (and the slot count at
  // first_[ops_]); next_[s]: the slot after slot s on its wire and its
  // operation, side by side so that following an edge touches one line;
  // first_op_[k]: the first operation on wire k.
  void link_forward() {
    const std::size_t slots = dag_.links_.size();
    first_.resize(std::size_t{ops_} + 1);
    next_.assign(slots, Next{WireMap::kNoSlot, 0});
    first_op_.assign(dag_.wires_.size(), kNoIndex);
    for (std::uint32_t op = 0; op < ops_; ++op) {
      first_[op] = dag_.first_slot(op);
    }
    first_[ops_] = static_cast<std::uint32_t>(slots);
    for (std::uint32_t op = 0; op < ops_; ++op) {
      for (std::uint32_t s = first_[op]; s < first_[op + 1]; ++s) {
        const std::uint32_t p = dag_.links_[s];
        if (p != WireMap::kNoSlot) {
          next_[p] = Next{s, op};
        } else {
          first_op_[dag_.wire_of(op, s - first_[op])] = op;
        }
      }
    }
  }

  // The far end of operand i (slot s) of operation `op`.
  std::uint32_t target(std::uint32_t op, std::uint32_t i,
                       std::uint32_t s) const noexcept {
    const Next& n = next_[s];
    return n.slot != WireMap::kNoSlot ? n.op
                                      : ops_ + 2 * dag_.wire_of(op, i) + 1;
  }

  void push_if_new(std::uint32_t x) {
    if (state_[x] == kNew) {
      stack_.push_back(x);
    }
  }

  // Pushes x's successors in list order (newest edge first), so the
  // oldest is explored first.
  void push_successors(std::uint32_t x) {
    if (x >= ops_) {
      const std::uint32_t wire = (x - ops_) / 2;
      if ((x - ops_) % 2 == 0) {
        const std::uint32_t first = first_op_[wire];
        push_if_new(first != kNoIndex ? first : x + 1);
      }
      return;
    }
    const std::uint32_t first = first_[x];
    const std::uint32_t k = first_[x + 1] - first;
    if (k == 1) {
      push_if_new(target(x, 0, first));
      return;
    }
    // An edge counts as made at the slot of its far operation, or at its
    // own slot for the edge into WireOut; newest = largest.
    edges_.clear();
    for (std::uint32_t i = 0; i < k; ++i) {
      const std::uint32_t s = first + i;
      const std::uint32_t n = next_[s].slot;
      edges_.emplace_back(n != WireMap::kNoSlot ? n : s, target(x, i, s));
    }
    std::sort(edges_.begin(), edges_.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& edge : edges_) {
      push_if_new(edge.second);
    }
  }

  void search_from(std::uint32_t root) {
    if (state_[root] != kNew) {
      return;
    }
    stack_.push_back(root);
    while (!stack_.empty()) {
      const std::uint32_t x = stack_.back();
      if (state_[x] == kNew) {
        state_[x] = kDiscovered;
        push_successors(x);
        continue;
      }
      stack_.pop_back();
      if (state_[x] == kDiscovered) {
        state_[x] = kFinished;
        order_.push_back(x);
      }
    }
  }

  const CircuitDag& dag_;
  std::uint32_t ops_;
  std::uint32_t total_;
  struct Next {
    std::uint32_t slot;
    std::uint32_t op;
  };
  std::vector<std::uint32_t> first_;
  std::vector<Next> next_;
  std::vector<std::uint32_t> first_op_;
  // Search marks, one byte per node (cheaper to test than bits).
  static constexpr std::uint8_t kNew = 0;
  static constexpr std::uint8_t kDiscovered = 1;
  static constexpr std::uint8_t kFinished = 2;
  std::vector<std::uint8_t> state_;
  std::vector<std::uint32_t> stack_;
  std::vector<std::uint32_t> order_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> edges_;
};

std::optional<std::vector<NodeIndex>> CircuitDag::topological_order() const {
  DagWalk walk(*this);
  const std::vector<std::uint32_t> order = walk.run();
  std::vector<NodeIndex> nodes;
  nodes.reserve(order.size());
  for (const std::uint32_t x : order) {
    nodes.push_back(walk.node_of(x));
  }
  return nodes;
}

std::vector<OpRef> CircuitDag::topological_ops() const {
  DagWalk walk(*this);
  const std::vector<std::uint32_t> order = walk.run();
  std::vector<OpRef> ops;
  ops.reserve(walk.ops());
  for (const std::uint32_t x : order) {
    if (x < walk.ops()) {
      ops.push_back(OpRef{walk.node_of(x), OperationRef(this, x)});
    }
  }
  return ops;
}

}  // namespace qelto::ir
