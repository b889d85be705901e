#include "ir/circuit_ops.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <type_traits>
#include <unordered_set>

#include "ir/parameter_eval.hpp"

namespace qelto::ir {
namespace {

// count_ops's slots: one per standard gate kind, then the four other kinds.
constexpr std::size_t kMeasureSlot = StandardGate::kNumKinds;
constexpr std::size_t kNumSlots = StandardGate::kNumKinds + 4;
constexpr std::uint32_t kUnseen = UINT32_MAX;

// count_ops's slot for an instruction, or kNumSlots for a custom gate
// (counted by name instead).
std::size_t slot_of(const Instruction& instruction) {
  return std::visit(
      [](const auto& kind) -> std::size_t {
        using K = std::decay_t<decltype(kind)>;
        if constexpr (std::is_same_v<K, Gate>) {
          const StandardGate* standard = kind.standard();
          return standard == nullptr
                     ? kNumSlots
                     : static_cast<std::size_t>(standard->kind());
        } else if constexpr (std::is_same_v<K, Measure>) {
          return kMeasureSlot;
        } else if constexpr (std::is_same_v<K, Reset>) {
          return kMeasureSlot + 1;
        } else if constexpr (std::is_same_v<K, Barrier>) {
          return kMeasureSlot + 2;
        } else {
          static_assert(std::is_same_v<K, Delay>);
          return kMeasureSlot + 3;
        }
      },
      instruction.kind);
}

}  // namespace

std::string_view operation_name(const Instruction& instruction) {
  return std::visit(
      [](const auto& kind) -> std::string_view {
        using K = std::decay_t<decltype(kind)>;
        if constexpr (std::is_same_v<K, Gate>) {
          return kind.name();
        } else if constexpr (std::is_same_v<K, Measure>) {
          return "measure";
        } else if constexpr (std::is_same_v<K, Reset>) {
          return "reset";
        } else if constexpr (std::is_same_v<K, Barrier>) {
          return "barrier";
        } else {
          static_assert(std::is_same_v<K, Delay>);
          return "delay";
        }
      },
      instruction.kind);
}

void add_bits(Circuit& target, QubitStep step) {
  if (step.register_name == nullptr) {
    target.add_qubit();
  } else {
    target.add_qreg(*step.register_name, step.size);
  }
}

void add_bits(Circuit& target, ClbitStep step) {
  if (step.register_name == nullptr) {
    target.add_clbit();
  } else {
    target.add_creg(*step.register_name, step.size);
  }
}

std::size_t num_operations(const Circuit& circuit) noexcept {
  const CircuitDag& dag = circuit.dag();
  return dag.node_count() -
         2 * (dag.num_qubit_wires() + dag.num_clbit_wires());
}

const Instruction* next_operation(const Circuit& circuit,
                                  OperationCursor& cursor) {
  const DagGraph& graph = circuit.dag().graph();
  const std::size_t count = graph.node_count();
  while (cursor.next_node < count) {
    const DagNode& node = graph.node(NodeIndex{cursor.next_node++});
    if (const Op* op = std::get_if<Op>(&node)) {
      return &op->instruction;
    }
  }
  return nullptr;
}

const Instruction* operation_at(const Circuit& circuit, std::size_t position) {
  if (position >= num_operations(circuit)) {
    return nullptr;
  }
  // Every node that is not an operation starts or ends a wire, and a wire's
  // two nodes are created together. So the operation is node position + 2k,
  // k being the number of wires created before it: walk the wires in
  // creation order, shifting by two for each that starts at or before the
  // candidate node.
  const CircuitDag& dag = circuit.dag();
  std::vector<std::uint32_t> starts;
  starts.reserve(circuit.num_qubits() + circuit.num_clbits());
  for (const QubitInfo& q : circuit.qubits()) {
    starts.push_back(dag.qubit_input(q.id)->index);
  }
  for (const ClbitInfo& c : circuit.clbits()) {
    starts.push_back(dag.clbit_input(c.id)->index);
  }
  std::sort(starts.begin(), starts.end());
  std::size_t node = position;
  for (const std::uint32_t start : starts) {
    if (start > node) {
      break;
    }
    node += 2;
  }
  const Op* op = std::get_if<Op>(&dag.graph().node(
      NodeIndex{static_cast<std::uint32_t>(node)}));
  assert(op != nullptr && "wire nodes come in pairs around the operations");
  return &op->instruction;
}

std::vector<std::pair<std::string_view, std::uint64_t>> count_ops(
    const Circuit& circuit) {
  std::vector<std::pair<std::string_view, std::uint64_t>> counts;
  // Where each fixed slot's entry sits in `counts`.
  std::array<std::uint32_t, kNumSlots> entry;
  entry.fill(kUnseen);
  for_each_operation(circuit, [&](const Instruction& instruction) {
    const std::size_t slot = slot_of(instruction);
    if (slot < kNumSlots && entry[slot] != kUnseen) {
      ++counts[entry[slot]].second;
      return;
    }
    // First sight of a kind, or a custom gate (rare): a linear search by
    // name, so that a custom gate named like a standard one shares its entry.
    const std::string_view name = operation_name(instruction);
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&](const auto& c) { return c.first == name; });
    if (found == counts.end()) {
      found = counts.emplace(counts.end(), name, 0);
    }
    ++found->second;
    if (slot < kNumSlots) {
      entry[slot] = static_cast<std::uint32_t>(found - counts.begin());
    }
  });
  return counts;
}

std::vector<std::string> parameters(const Circuit& circuit) {
  // Circuits repeat a few symbols many times: keep each once as it comes,
  // and sort only the distinct names.
  std::unordered_set<std::string_view> distinct;
  std::vector<std::string_view> found;
  for_each_operation(circuit, [&](const Instruction& instruction) {
    const Gate* gate = instruction.gate();
    if (gate == nullptr) {
      return;
    }
    for (const ParameterExpression& p : gate->parameters()) {
      found.clear();
      collect_symbols(p, found);
      distinct.insert(found.begin(), found.end());
    }
  });
  std::vector<std::string> names(distinct.begin(), distinct.end());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qelto::ir
