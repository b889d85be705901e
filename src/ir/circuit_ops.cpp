#include "ir/circuit_ops.hpp"

#include <algorithm>
#include <array>
#include <type_traits>
#include <unordered_set>

#include "ir/parameter_eval.hpp"

namespace qelto::ir {
namespace {

// count_ops's slots: one per standard gate kind, then the four other kinds.
constexpr std::size_t kMeasureSlot = StandardGate::kNumKinds;
constexpr std::size_t kNumSlots = StandardGate::kNumKinds + 4;
constexpr std::uint32_t kUnseen = UINT32_MAX;

// count_ops's slot for an operation, or kNumSlots for a custom gate
// (counted by name instead).
std::size_t slot_of(OperationRef operation) {
  if (operation.kind() == OperationKind::Gate) {
    const auto standard = operation.standard_gate();
    return standard ? static_cast<std::size_t>(*standard) : kNumSlots;
  }
  return kMeasureSlot + static_cast<std::size_t>(operation.kind()) - 1;
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

std::string_view operation_name(OperationRef operation) {
  switch (operation.kind()) {
    case OperationKind::Gate:
      return operation.gate_name();
    case OperationKind::Measure:
      return "measure";
    case OperationKind::Reset:
      return "reset";
    case OperationKind::Barrier:
      return "barrier";
    case OperationKind::Delay:
      return "delay";
  }
  return {};
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
  return circuit.dag().num_operations();
}

std::optional<OperationRef> next_operation(const Circuit& circuit,
                                           OperationCursor& cursor) {
  if (cursor.next >= circuit.dag().num_operations()) {
    return std::nullopt;
  }
  return circuit.dag().operation(cursor.next++);
}

std::optional<OperationRef> operation_at(const Circuit& circuit,
                                         std::size_t position) {
  if (position >= circuit.dag().num_operations()) {
    return std::nullopt;
  }
  return circuit.dag().operation(position);
}

std::vector<std::pair<std::string_view, std::uint64_t>> count_ops(
    const Circuit& circuit) {
  std::vector<std::pair<std::string_view, std::uint64_t>> counts;
  // Where each fixed slot's entry sits in `counts`.
  std::array<std::uint32_t, kNumSlots> entry;
  entry.fill(kUnseen);
  for_each_operation(circuit, [&](OperationRef operation) {
    const std::size_t slot = slot_of(operation);
    if (slot < kNumSlots && entry[slot] != kUnseen) {
      ++counts[entry[slot]].second;
      return;
    }
    // First sight of a kind, or a custom gate (rare): a linear search by
    // name, so that a custom gate named like a standard one shares its entry.
    const std::string_view name = operation_name(operation);
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
  for_each_operation(circuit, [&](OperationRef operation) {
    for (const ParameterExpression& p : operation.parameters()) {
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
