#include "ir/dag.hpp"

#include <algorithm>
#include <cassert>
#include <string>
#include <unordered_set>
#include <utility>

namespace qelto::ir {
namespace {

constexpr int kOut = DagGraph::kOut;
constexpr int kIn = DagGraph::kIn;

// Operand counts up to this are checked for repeats pairwise (no
// allocation); longer lists (measure_all, wide barriers) use a hash set.
constexpr std::size_t kPairwiseLimit = 16;

std::optional<std::string> gate_name_of(const Instruction& instruction) {
  if (const Gate* gate = instruction.gate()) {
    return std::string(gate->name());
  }
  return std::nullopt;
}

// Position of the first operand that repeats an earlier one, or nullopt.
template <class Id>
std::optional<std::size_t> first_repeat(const OperandList<Id>& ids) {
  const std::size_t n = ids.size();
  if (n <= kPairwiseLimit) {
    for (std::size_t i = 1; i < n; ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (ids[j] == ids[i]) {
          return i;
        }
      }
    }
    return std::nullopt;
  }
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!seen.insert(ids[i].index).second) {
      return i;
    }
  }
  return std::nullopt;
}

// The wire-map entries of an instruction's operands, found while
// validating and used while splicing, so that each operand costs one hash
// lookup. Inline for small operand counts.
class EndsBuffer {
 public:
  explicit EndsBuffer(std::size_t n) : size_(n) {
    if (n > kInline) {
      heap_.resize(n);
    }
  }
  WireMap::Ends*& operator[](std::size_t i) noexcept {
    return size_ > kInline ? heap_[i] : inline_[i];
  }

 private:
  static constexpr std::size_t kInline = 8;
  std::size_t size_;
  WireMap::Ends* inline_[kInline] = {};
  std::vector<WireMap::Ends*> heap_;
};

}  // namespace

CircuitDag::CircuitDag(CircuitDag&& other) noexcept
    : graph_(std::move(other.graph_)),
      qubit_wires_(std::move(other.qubit_wires_)),
      clbit_wires_(std::move(other.clbit_wires_)),
      depth_(std::exchange(other.depth_, 0)) {
  other.graph_ = DagGraph();
}

CircuitDag& CircuitDag::operator=(CircuitDag&& other) noexcept {
  if (this != &other) {
    graph_ = std::exchange(other.graph_, DagGraph());
    qubit_wires_ = std::move(other.qubit_wires_);
    clbit_wires_ = std::move(other.clbit_wires_);
    depth_ = std::exchange(other.depth_, 0);
  }
  return *this;
}

void CircuitDag::add_qubit(QubitId qubit) {
  add_wire(QubitWire{qubit}, qubit_wires_, qubit.index);
}

void CircuitDag::add_clbit(ClbitId clbit) {
  add_wire(ClbitWire{clbit}, clbit_wires_, clbit.index);
}

void CircuitDag::add_wire(Wire wire, WireMap& map, std::uint32_t key) {
  if (map.find(key) != nullptr) {
    return;
  }
  // Everything that can throw comes first; the additions below cannot.
  graph_.reserve_nodes(2);
  graph_.reserve_edges(1);
  map.reserve(map.size() + 1);
  const NodeIndex in = graph_.add_node(WireIn{wire});
  const NodeIndex out = graph_.add_node(WireOut{wire});
  graph_.add_edge(in, out, wire);
  map.insert(key, WireMap::Ends{in.index, out.index, 0});
}

void CircuitDag::reserve_wires(std::size_t qubits, std::size_t clbits) {
  graph_.reserve_nodes(2 * (qubits + clbits));
  graph_.reserve_edges(qubits + clbits);
  qubit_wires_.reserve(qubit_wires_.size() + qubits);
  clbit_wires_.reserve(clbit_wires_.size() + clbits);
}

// Each operation adds one node and, net, one edge per operand.
void CircuitDag::reserve_operations(std::size_t ops, std::size_t operands) {
  graph_.reserve_nodes(ops);
  graph_.reserve_edges(operands);
}

IrResult<NodeIndex> CircuitDag::apply(Instruction instruction) {
  const QubitList& qubits = instruction.qubits;
  const ClbitList& clbits = instruction.clbits;
  const std::size_t nq = qubits.size();
  const std::size_t nc = clbits.size();

  // 1. Operand count of a gate.
  if (const Gate* gate = instruction.gate()) {
    if (gate->num_qubits() != nq) {
      return std::unexpected(QubitCountMismatch{
          std::string(gate->name()), gate->num_qubits(),
          static_cast<std::uint32_t>(std::min<std::size_t>(nq, UINT32_MAX))});
    }
  }
  EndsBuffer ends(nq + nc);
  // 2. Known qubits.
  for (std::size_t i = 0; i < nq; ++i) {
    ends[i] = qubit_wires_.find(qubits[i].index);
    if (ends[i] == nullptr) {
      return std::unexpected(
          QubitNotFound{qubits[i], gate_name_of(instruction)});
    }
  }
  // 3. Known classical bits.
  for (std::size_t i = 0; i < nc; ++i) {
    ends[nq + i] = clbit_wires_.find(clbits[i].index);
    if (ends[nq + i] == nullptr) {
      return std::unexpected(
          ClbitNotFound{clbits[i], gate_name_of(instruction)});
    }
  }
  // 4. Distinct qubits.
  if (auto repeat = first_repeat(qubits)) {
    return std::unexpected(
        DuplicateQubit{qubits[*repeat], gate_name_of(instruction)});
  }
  // 5. Distinct classical bits (qelto's rule, see the header): a repeat
  // would splice the node onto itself and make the graph cyclic.
  if (auto repeat = first_repeat(clbits)) {
    return std::unexpected(
        InvalidDag{"Duplicate classical bit " + to_string(clbits[*repeat]) +
                   " in operation"});
  }

  // All allocation happens here, before the first change: one node, and
  // at the peak one extra edge per operand (each splice removes one edge,
  // then adds two).
  graph_.reserve_nodes(1);
  graph_.reserve_edges(nq + nc);

  // The new node's predecessors are exactly the last operations (or
  // WireIn nodes) of its wires, so its depth is one more than the deepest
  // of them; nodes never gain predecessors later (new edges only ever
  // enter the new node and WireOut nodes). Keeping the depth of each
  // wire's last operation therefore yields the longest-path depth over
  // the topological order.
  std::uint32_t node_depth = 0;
  for (std::size_t i = 0; i < nq + nc; ++i) {
    node_depth = std::max(node_depth, ends[i]->depth);
  }
  ++node_depth;

  const NodeIndex n = graph_.add_node(Op{std::move(instruction)});
  // `instruction` is moved from; read the operands from the node.
  const Instruction& placed = std::get<Op>(graph_.node(n)).instruction;
  for (std::size_t i = 0; i < nq; ++i) {
    splice(n, NodeIndex{ends[i]->out}, QubitWire{placed.qubits[i]});
    ends[i]->depth = node_depth;
  }
  for (std::size_t i = 0; i < nc; ++i) {
    splice(n, NodeIndex{ends[nq + i]->out}, ClbitWire{placed.clbits[i]});
    ends[nq + i]->depth = node_depth;
  }
  depth_ = std::max(depth_, node_depth);
  return n;
}

// Moves `n` onto the end of `wire`, just before its WireOut node `out`:
// the edge p -> out of that wire becomes p -> n -> out (removed, then the
// two new edges added, so both land at the front of their lists).
void CircuitDag::splice(NodeIndex n, NodeIndex out, const Wire& wire) noexcept {
  std::uint32_t e = graph_.first_edge(out, kIn);
  while (e != kNoIndex && !(graph_.edge(EdgeIndex{e}).weight == wire)) {
    e = graph_.next_edge(e, kIn);
  }
  assert(e != kNoIndex && "wire output without its incoming edge");
  const NodeIndex p{graph_.edge(EdgeIndex{e}).node[kOut]};
  graph_.remove_edge(EdgeIndex{e});
  graph_.add_edge(p, n, wire);
  graph_.add_edge(n, out, wire);
}

// The fixed depth-first search: returns the reversed finishing
// order, or nullopt when an edge leads from a node to itself.
std::optional<std::vector<NodeIndex>> CircuitDag::search() const {
  const std::size_t count = graph_.node_count();
  std::vector<bool> discovered(count);
  std::vector<bool> finished(count);
  std::vector<std::uint32_t> stack;
  std::vector<NodeIndex> order;
  order.reserve(count);
  for (std::uint32_t root = 0; root < count; ++root) {
    if (discovered[root]) {
      continue;
    }
    stack.push_back(root);
    while (!stack.empty()) {
      const std::uint32_t x = stack.back();
      if (!discovered[x]) {
        discovered[x] = true;
        for (std::uint32_t e = graph_.first_edge(NodeIndex{x}, kOut);
             e != kNoIndex; e = graph_.next_edge(e, kOut)) {
          const std::uint32_t target = graph_.edge(EdgeIndex{e}).node[kIn];
          if (target == x) {
            return std::nullopt;
          }
          if (!discovered[target]) {
            stack.push_back(target);
          }
        }
        continue;
      }
      stack.pop_back();
      if (!finished[x]) {
        finished[x] = true;
        order.push_back(NodeIndex{x});
      }
    }
  }
  std::reverse(order.begin(), order.end());
  return order;
}

// The cycle check behind the debug assertion below: the order is
// topological iff every node's predecessors come before it.
bool CircuitDag::is_acyclic_order(const std::vector<NodeIndex>& order) const {
  std::vector<bool> placed(graph_.node_count());
  for (const NodeIndex x : order) {
    for (std::uint32_t e = graph_.first_edge(x, kIn); e != kNoIndex;
         e = graph_.next_edge(e, kIn)) {
      if (!placed[graph_.edge(EdgeIndex{e}).node[kOut]]) {
        return false;
      }
    }
    placed[x.index] = true;
  }
  return true;
}

// The full cycle check costs a second pass over all edges, and apply
// never lets a cycle form: edges into Op nodes come from older nodes,
// WireOut nodes have no successors, and a repeated classical operand (the
// only way a splice could make a self-loop) is rejected. So the check
// runs in debug builds only, as an assertion of that invariant; the
// search's own self-loop test stays.
std::optional<std::vector<NodeIndex>> CircuitDag::topological_order() const {
  auto order = search();
  assert(!order || is_acyclic_order(*order));
  return order;
}

std::vector<OpRef> CircuitDag::topological_ops() const {
  std::vector<OpRef> ops;
  const auto order = topological_order();
  if (!order) {
    return ops;
  }
  ops.reserve(graph_.node_count() -
              2 * (qubit_wires_.size() + clbit_wires_.size()));
  for (const NodeIndex x : *order) {
    if (const Op* op = std::get_if<Op>(&graph_.node(x))) {
      ops.push_back(OpRef{x, &op->instruction});
    }
  }
  return ops;
}

const DagNode* CircuitDag::node(NodeIndex node) const noexcept {
  if (node.index >= graph_.node_count()) {
    return nullptr;
  }
  return &graph_.node(node);
}

std::vector<NodeIndex> CircuitDag::successors(NodeIndex node) const {
  if (node.index >= graph_.node_count()) {
    return {};
  }
  return graph_.neighbors(node, kOut);
}

std::vector<NodeIndex> CircuitDag::predecessors(NodeIndex node) const {
  if (node.index >= graph_.node_count()) {
    return {};
  }
  return graph_.neighbors(node, kIn);
}

namespace {

std::optional<NodeIndex> end_of(const WireMap& map, std::uint32_t key,
                                 bool input) noexcept {
  const WireMap::Ends* ends = map.find(key);
  if (ends == nullptr) {
    return std::nullopt;
  }
  return NodeIndex{input ? ends->in : ends->out};
}

}  // namespace

std::optional<NodeIndex> CircuitDag::qubit_input(QubitId q) const noexcept {
  return end_of(qubit_wires_, q.index, true);
}

std::optional<NodeIndex> CircuitDag::qubit_output(QubitId q) const noexcept {
  return end_of(qubit_wires_, q.index, false);
}

std::optional<NodeIndex> CircuitDag::clbit_input(ClbitId c) const noexcept {
  return end_of(clbit_wires_, c.index, true);
}

std::optional<NodeIndex> CircuitDag::clbit_output(ClbitId c) const noexcept {
  return end_of(clbit_wires_, c.index, false);
}

}  // namespace qelto::ir
