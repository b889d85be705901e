// Node numbering, wire ends, edge lists and operation views of a
// CircuitDag, all derived from the flat operation store.
#include <algorithm>
#include <cassert>

#include "ir/dag.hpp"
#include "ir/dag_tags.hpp"

namespace qelto::ir {

// ---- Operations ----

// The last operation whose first slot is at or before `slot`: operations
// without operands share their first slot with the next one and come
// before it, so this is the operation that holds the slot.
std::uint32_t CircuitDag::op_of_slot(std::uint32_t slot) const noexcept {
  std::uint32_t low = 0;
  auto high = static_cast<std::uint32_t>(tags_.size());
  while (high - low > 1) {
    const std::uint32_t mid = low + (high - low) / 2;
    if (first_slot(mid) <= slot) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return low;
}

std::uint32_t CircuitDag::wire_of(std::uint32_t op,
                                  std::uint32_t i) const noexcept {
  const std::uint32_t nq = qubit_count(op);
  const WireMap::Ends* ends =
      i < nq ? qubit_wires_.find(qubits_[qubit_begin_[op] + i].index)
             : clbit_wires_.find(clbits_[clbit_begin_[op] + i - nq].index);
  assert(ends != nullptr && "operand on an unregistered wire");
  return ends->wire;
}

// ---- Numbering ----
//
// Node numbers follow the order of additions: the operations applied
// before the first run of wire registrations, that run's wire ends (two
// per wire), the operations up to the next run, and so on.

NodeIndex CircuitDag::operation_node(std::size_t i) const noexcept {
  // The last run registered at or before operation i.
  const WireRun* end = runs_.data() + runs_.size();
  const WireRun* after = std::upper_bound(
      runs_.data(), end, i,
      [](std::size_t op, const WireRun& run) { return op < run.ops_before; });
  const std::size_t wires = after == runs_.data() ? 0 : (after - 1)->wires;
  return NodeIndex{static_cast<std::uint32_t>(i + 2 * wires)};
}

CircuitDag::Decoded CircuitDag::decode(std::uint32_t node) const noexcept {
  // Node number where run r's wire ends start.
  auto block_start = [this](std::size_t r) {
    const std::size_t before = r == 0 ? 0 : runs_[r - 1].wires;
    return runs_[r].ops_before + 2 * before;
  };
  std::size_t low = 0;
  std::size_t high = runs_.size();
  if (high == 0 || block_start(0) > node) {
    return Decoded{true, node, false};
  }
  while (high - low > 1) {
    const std::size_t mid = low + (high - low) / 2;
    if (block_start(mid) <= node) {
      low = mid;
    } else {
      high = mid;
    }
  }
  const WireRun& run = runs_[low];
  const std::size_t start = block_start(low);
  if (node < run.ops_before + 2 * std::size_t{run.wires}) {
    const std::size_t offset = node - start;
    const std::size_t before = low == 0 ? 0 : runs_[low - 1].wires;
    return Decoded{false, static_cast<std::uint32_t>(before + offset / 2),
                   offset % 2 == 1};
  }
  return Decoded{true, node - 2 * run.wires, false};
}

Wire CircuitDag::wire_value(std::uint32_t wire) const noexcept {
  const WireRecord& record = wires_[wire];
  if (record.clbit) {
    return ClbitWire{ClbitId{record.id}};
  }
  return QubitWire{QubitId{record.id}};
}

std::optional<DagNode> CircuitDag::node(NodeIndex node) const noexcept {
  if (node.index >= node_count()) {
    return std::nullopt;
  }
  const Decoded d = decode(node.index);
  if (d.is_op) {
    return DagNode(OperationRef(this, d.index));
  }
  if (d.out) {
    return DagNode(WireOut{wire_value(d.index)});
  }
  return DagNode(WireIn{wire_value(d.index)});
}

// ---- Wire ends ----

std::optional<NodeIndex> CircuitDag::wire_end(const WireMap& map,
                                              std::uint32_t key,
                                              bool out) const noexcept {
  const WireMap::Ends* ends = map.find(key);
  if (ends == nullptr) {
    return std::nullopt;
  }
  return NodeIndex{wires_[ends->wire].in + (out ? 1u : 0u)};
}

std::optional<NodeIndex> CircuitDag::qubit_input(QubitId q) const noexcept {
  return wire_end(qubit_wires_, q.index, false);
}

std::optional<NodeIndex> CircuitDag::qubit_output(QubitId q) const noexcept {
  return wire_end(qubit_wires_, q.index, true);
}

std::optional<NodeIndex> CircuitDag::clbit_input(ClbitId c) const noexcept {
  return wire_end(clbit_wires_, c.index, false);
}

std::optional<NodeIndex> CircuitDag::clbit_output(ClbitId c) const noexcept {
  return wire_end(clbit_wires_, c.index, true);
}

// ---- Edge lists ----

std::vector<NodeIndex> CircuitDag::successors(NodeIndex node) const {
  if (node.index >= node_count()) {
    return {};
  }
  const Decoded d = decode(node.index);
  if (!d.is_op) {
    if (d.out) {
      return {};
    }
    // A WireIn node's one edge leads to the wire's first operation.
    const WireRecord& record = wires_[d.index];
    for (std::uint32_t op = 0; op < tags_.size(); ++op) {
      const std::uint32_t nq = qubit_count(op);
      const std::uint32_t k = nq + clbit_count(op);
      for (std::uint32_t i = 0; i < k; ++i) {
        const bool clbit = i >= nq;
        const std::uint32_t id =
            clbit ? clbits_[clbit_begin_[op] + i - nq].index
                  : qubits_[qubit_begin_[op] + i].index;
        if (clbit == record.clbit && id == record.id) {
          return {operation_node(op)};
        }
      }
    }
    return {NodeIndex{record.in + 1}};
  }
  // An operation's edges: per operand, to the next operation on its wire
  // (made when that one was applied) or to the WireOut node (made with
  // the operation itself); newest first.
  const std::uint32_t op = d.index;
  const std::uint32_t first = first_slot(op);
  const std::uint32_t k = qubit_count(op) + clbit_count(op);
  std::vector<std::uint32_t> next(k, WireMap::kNoSlot);
  for (std::size_t s = first + k; s < links_.size(); ++s) {
    const std::uint32_t p = links_[s];
    if (p != WireMap::kNoSlot && p >= first && p < first + k) {
      next[p - first] = static_cast<std::uint32_t>(s);
    }
  }
  std::vector<std::pair<std::uint32_t, NodeIndex>> edges;
  edges.reserve(k);
  for (std::uint32_t i = 0; i < k; ++i) {
    if (next[i] != WireMap::kNoSlot) {
      edges.emplace_back(next[i], operation_node(op_of_slot(next[i])));
    } else {
      edges.emplace_back(first + i, NodeIndex{wires_[wire_of(op, i)].in + 1});
    }
  }
  std::sort(edges.begin(), edges.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<NodeIndex> out;
  out.reserve(k);
  for (const auto& edge : edges) {
    out.push_back(edge.second);
  }
  return out;
}

std::vector<NodeIndex> CircuitDag::predecessors(NodeIndex node) const {
  if (node.index >= node_count()) {
    return {};
  }
  const Decoded d = decode(node.index);
  if (!d.is_op) {
    if (!d.out) {
      return {};
    }
    const WireRecord& record = wires_[d.index];
    const WireMap& map = record.clbit ? clbit_wires_ : qubit_wires_;
    const std::uint32_t last = map.find(record.id)->last;
    if (last == WireMap::kNoSlot) {
      return {NodeIndex{record.in}};
    }
    return {operation_node(op_of_slot(last))};
  }
  // An operation's incoming edges were all made when it was applied, in
  // operand order, so the list runs from the last operand to the first.
  const std::uint32_t op = d.index;
  const std::uint32_t first = first_slot(op);
  const std::uint32_t k = qubit_count(op) + clbit_count(op);
  std::vector<NodeIndex> in;
  in.reserve(k);
  for (std::uint32_t i = k; i-- > 0;) {
    const std::uint32_t p = links_[first + i];
    in.push_back(p == WireMap::kNoSlot ? NodeIndex{wires_[wire_of(op, i)].in}
                                       : operation_node(op_of_slot(p)));
  }
  return in;
}

// ---- Operation views ----

const CustomGate* OperationRef::custom_gate() const noexcept {
  if (dag_->tags_[op_] != kTagCustom) {
    return nullptr;
  }
  return dag_->customs_[dag_->extra_[op_]].get();
}

std::string_view OperationRef::gate_name() const noexcept {
  return fields().gate_name;
}

std::span<const ParameterExpression> OperationRef::parameters()
    const noexcept {
  return fields().parameters;
}

std::uint64_t OperationRef::delay_duration() const noexcept {
  return fields().delay_duration;
}

Instruction OperationRef::to_instruction() const {
  const std::span<const QubitId> q = qubits();
  const std::span<const ClbitId> c = clbits();
  switch (kind()) {
    case OperationKind::Gate:
      break;
    case OperationKind::Measure:
      return Instruction{q, c, Measure{}};
    case OperationKind::Reset:
      return Instruction{q, c, Reset{}};
    case OperationKind::Barrier:
      return Instruction{q, c, Barrier{}};
    case OperationKind::Delay:
      return Instruction{q, c, Delay{delay_duration()}};
  }
  if (const CustomGate* custom = custom_gate()) {
    return Instruction{q, c, Gate(custom->clone())};
  }
  std::vector<ParameterExpression> params;
  params.reserve(parameters().size());
  for (const ParameterExpression& p : parameters()) {
    params.push_back(p.clone());
  }
  auto gate = StandardGate::make(*standard_gate(), std::move(params));
  assert(gate && "stored parameter count differs from the catalogue");
  return Instruction{q, c, Gate(std::move(*gate))};
}

}  // namespace qelto::ir
