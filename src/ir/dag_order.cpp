// The fixed topological order of a CircuitDag: a depth-first search over
// the edge lists that the operation store's wire links imply.
//
// The search runs over the operations alone. The wire ends change nothing
// in the order of the operations: a WireIn node only leads on to the first
// operation of its wire, and a WireOut node is a sink that an operation's
// list names before its other successors (its edge was made with the
// operation itself, before any later operation's), so it is finished as
// soon as that operation is discovered. Where the whole order is asked
// for, the wire ends are placed by exactly those two rules.
#include <algorithm>
#include <cassert>
#include <functional>

#include "ir/dag.hpp"

namespace qelto::ir {

// One search. Nodes are numbered internally as operation j -> j, WireIn of
// wire k -> N + 2k, WireOut -> N + 2k + 1 (N operations), so that the
// marks and links are plain arrays; node numbers are only needed for the
// result.
class DagWalk {
 public:
  explicit DagWalk(const CircuitDag& dag)
      : dag_(dag), ops_(static_cast<std::uint32_t>(dag.tags_.size())) {}

  // The reversed finishing order, in internal numbers: the operations
  // only, or (with `kWireEnds`) every node.
  template <bool kWireEnds>
  std::vector<std::uint32_t> run() {
    link_forward<kWireEnds>();
    state_.assign(ops_, kNew);
    const std::size_t total = kWireEnds ? dag_.node_count() : ops_;
    // Filled from the back: the last node to finish comes first.
    order_.resize(total);
    left_ = total;
    // Roots in node-number order: operations and runs of wire ends
    // interleaved as they were added.
    std::uint32_t op = 0;
    std::uint32_t wire = 0;
    auto ops_until = [&](std::uint32_t end) {
      for (; op < end; ++op) {
        search_from<kWireEnds>(op);
      }
    };
    for (std::size_t r = 0; r < dag_.runs_.size(); ++r) {
      ops_until(dag_.runs_[r].ops_before);
      for (; wire < dag_.runs_[r].wires; ++wire) {
        search_from_wire<kWireEnds>(wire);
      }
    }
    ops_until(ops_);
    assert(left_ == 0 && "every node finishes once");
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

 private:
  // first_[op]: the first slot of operation op (and the slot count at
  // first_[ops_]); next_op_[s]: the operation after slot s's on its wire,
  // or kNoIndex for the last one; first_op_[k]: the first operation on
  // wire k; with the wire ends, last_of_[s]: the wire whose last operand
  // slot s is, or kNoIndex.
  template <bool kWireEnds>
  void link_forward() {
    const std::size_t slots = dag_.links_.size();
    first_.resize(std::size_t{ops_} + 1);
    next_op_.assign(slots, kNoIndex);
    first_op_.assign(dag_.wires_.size(), kNoIndex);
    for (std::uint32_t op = 0; op < ops_; ++op) {
      first_[op] = dag_.first_slot(op);
    }
    first_[ops_] = static_cast<std::uint32_t>(slots);
    for (std::uint32_t op = 0; op < ops_; ++op) {
      for (std::uint32_t s = first_[op]; s < first_[op + 1]; ++s) {
        const std::uint32_t p = dag_.links_[s];
        if (p != WireMap::kNoSlot) {
          next_op_[p] = op;
        } else {
          first_op_[dag_.wire_of(op, s - first_[op])] = op;
        }
      }
    }
    if constexpr (kWireEnds) {
      last_of_.assign(slots, kNoIndex);
      for (std::uint32_t op = 0; op < ops_; ++op) {
        for (std::uint32_t s = first_[op]; s < first_[op + 1]; ++s) {
          if (next_op_[s] == kNoIndex) {
            last_of_[s] = dag_.wire_of(op, s - first_[op]);
          }
        }
      }
    }
  }

  void finish(std::uint32_t x) noexcept { order_[--left_] = x; }

  void push_if_new(std::uint32_t op) {
    if (op != kNoIndex && state_[op] == kNew) {
      stack_.push_back(op);
    }
  }

  // Marks `x` discovered: finishes the WireOut nodes it leads to, oldest
  // edge (lowest slot) first, and pushes its successor operations so that
  // the oldest edge, the lowest operation number, comes off first.
  template <bool kWireEnds>
  void discover(std::uint32_t x) {
    state_[x] = kDiscovered;
    const std::uint32_t first = first_[x];
    const std::uint32_t end = first_[x + 1];
    if constexpr (kWireEnds) {
      for (std::uint32_t s = first; s < end; ++s) {
        if (last_of_[s] != kNoIndex) {
          finish(ops_ + 2 * last_of_[s] + 1);
        }
      }
    }
    switch (end - first) {
      case 0:
        return;
      case 1:
        return push_if_new(next_op_[first]);
      case 2: {
        const std::uint32_t a = next_op_[first];
        const std::uint32_t b = next_op_[first + 1];
        // kNoIndex is the largest number, so a missing successor sorts
        // first and push_if_new drops it.
        push_if_new(std::max(a, b));
        if (a != b) {
          push_if_new(std::min(a, b));
        }
        return;
      }
      default:
        scratch_.assign(next_op_.begin() + first, next_op_.begin() + end);
        std::sort(scratch_.begin(), scratch_.end(), std::greater<>());
        for (const std::uint32_t next : scratch_) {
          push_if_new(next);
        }
    }
  }

  template <bool kWireEnds>
  void search_from(std::uint32_t root) {
    if (state_[root] != kNew) {
      return;
    }
    stack_.push_back(root);
    while (!stack_.empty()) {
      const std::uint32_t x = stack_.back();
      if (state_[x] == kNew) {
        discover<kWireEnds>(x);
        continue;
      }
      stack_.pop_back();
      if (state_[x] == kDiscovered) {
        state_[x] = kFinished;
        finish(x);
      }
    }
  }

  // The root WireIn of wire k: its one successor is the wire's first
  // operation, or its WireOut when the wire has none. The root WireOut
  // that follows it in node order has been reached through the wire.
  template <bool kWireEnds>
  void search_from_wire(std::uint32_t wire) {
    const std::uint32_t first = first_op_[wire];
    if (first != kNoIndex) {
      search_from<kWireEnds>(first);
    } else if constexpr (kWireEnds) {
      finish(ops_ + 2 * wire + 1);
    }
    if constexpr (kWireEnds) {
      finish(ops_ + 2 * wire);
    }
  }

  const CircuitDag& dag_;
  std::uint32_t ops_;
  std::vector<std::uint32_t> first_;
  std::vector<std::uint32_t> next_op_;
  std::vector<std::uint32_t> first_op_;
  std::vector<std::uint32_t> last_of_;
  // Search marks, one byte per operation (cheaper to test than bits).
  static constexpr std::uint8_t kNew = 0;
  static constexpr std::uint8_t kDiscovered = 1;
  static constexpr std::uint8_t kFinished = 2;
  std::vector<std::uint8_t> state_;
  std::vector<std::uint32_t> stack_;
  std::vector<std::uint32_t> scratch_;
  std::vector<std::uint32_t> order_;
  std::size_t left_ = 0;
};

std::optional<std::vector<NodeIndex>> CircuitDag::topological_order() const {
  DagWalk walk(*this);
  const std::vector<std::uint32_t> order = walk.run<true>();
  std::vector<NodeIndex> nodes;
  nodes.reserve(order.size());
  for (const std::uint32_t x : order) {
    nodes.push_back(walk.node_of(x));
  }
  return nodes;
}

std::vector<std::uint32_t> CircuitDag::operation_order() const {
  return DagWalk(*this).run<false>();
}

std::vector<OpRef> CircuitDag::topological_ops() const {
  const std::vector<std::uint32_t> order = operation_order();
  std::vector<OpRef> ops;
  ops.reserve(order.size());
  for (const std::uint32_t op : order) {
    ops.push_back(OpRef{operation_node(op), OperationRef(this, op)});
  }
  return ops;
}

}  // namespace qelto::ir
