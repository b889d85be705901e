#include "ir/transform.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <type_traits>
#include <vector>

#include "ir/circuit_ops.hpp"
#include "ir/dag_append.hpp"
#include "ir/dag_tags.hpp"
#include "ir/gate_catalogue.hpp"
#include "ir/parameter_eval.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;

// Rebuilds `source`'s bits in `target` in their creation order, without
// its operations.
void add_bits_like(const Circuit& source, Circuit& target) {
  for_each_creation_step(source, [&](const auto& step) {
    using S = std::decay_t<decltype(step)>;
    if constexpr (!std::is_same_v<S, OperationRef>) {
      add_bits(target, step);
    }
  });
}

// ---- compose ----

template <class Id>
IrResult<OperandList<Id>> check_mapping(
    std::optional<std::span<const Id>> mapping, std::uint64_t other_count,
    std::uint64_t target_count, std::string_view what) {
  const std::string plural = std::string(what) + "s";
  OperandList<Id> map;
  if (!mapping) {
    if (other_count > target_count) {
      return std::unexpected(InvalidBitMapping{
          "the circuit has " + std::to_string(target_count) + " " + plural +
          ", fewer than the " + std::to_string(other_count) +
          " of the circuit composed onto it"});
    }
    for (std::uint64_t i = 0; i < other_count; ++i) {
      map.push_back(Id{static_cast<std::uint32_t>(i)});
    }
    return map;
  }
  if (mapping->size() != other_count) {
    return std::unexpected(InvalidBitMapping{
        std::to_string(mapping->size()) + " " + plural +
        " given for a circuit with " + std::to_string(other_count)});
  }
  std::vector<bool> used(target_count);
  for (const Id id : *mapping) {
    if (id.index >= target_count) {
      return std::unexpected(InvalidBitMapping{
          std::string(what) + " " + std::to_string(id.index) +
          " is not in the circuit (it has " + std::to_string(target_count) +
          " " + plural + ")"});
    }
    if (used[id.index]) {
      return std::unexpected(InvalidBitMapping{
          std::string(what) + " " + std::to_string(id.index) +
          " is given twice"});
    }
    used[id.index] = true;
    map.push_back(id);
  }
  return map;
}

// ---- inverse ----

// The most catalogue gates one gate's inverse takes (c3sqrtx takes 27).
constexpr std::size_t kMostSteps = 32;

// Whether every inverse fits kMostSteps and each of its steps acts on
// distinct qubits of the gate it inverts: so the steps of a valid operation
// are valid wherever its qubits are (InverseSource::valid_in).
constexpr bool inverses_act_on_distinct_qubits() {
  for (std::size_t k = 0; k < StandardGate::kNumKinds; ++k) {
    const auto kind = static_cast<StandardGate::Kind>(k);
    const auto steps = inverse_steps(kind);
    if (steps.size() > kMostSteps) {
      return false;
    }
    for (const GateStep& step : steps) {
      const std::uint32_t width = gate_info(step.kind).num_qubits;
      for (std::uint32_t a = 0; a < width; ++a) {
        if (step.operands[a] >= gate_info(kind).num_qubits) {
          return false;
        }
        for (std::uint32_t b = 0; b < a; ++b) {
          if (step.operands[a] == step.operands[b]) {
            return false;
          }
        }
      }
    }
  }
  return true;
}

// The inverse's operations, read from the source circuit: its operations
// in reverse order, each gate replaced by the catalogue gates of its exact
// inverse as the gate table gives them (over the gate's own parameters and
// operands; its classical bits, if any, go to every step), barriers as they
// are. A SourceOperation's `at` is operation number * kMostSteps + step.
class InverseSource {
 public:
  explicit InverseSource(const Circuit& source) : source_(source) {}

  static std::span<const QubitId> qubit_map() { return {}; }
  static std::span<const ClbitId> clbit_map() { return {}; }

  // Each step acts on distinct qubits of a valid operation, so the steps
  // are valid wherever all of the source's bits are.
  bool valid_in(const CircuitDag& target) const {
    static_assert(inverses_act_on_distinct_qubits());
    for (std::uint32_t q = 0; q < source_.num_qubits(); ++q) {
      if (!target.qubit_input(QubitId{q})) {
        return false;
      }
    }
    for (std::uint32_t c = 0; c < source_.num_clbits(); ++c) {
      if (!target.clbit_input(ClbitId{c})) {
        return false;
      }
    }
    return true;
  }

  template <class Visit>
  void each(Visit&& visit) const {
    const CircuitDag& dag = source_.dag();
    for (std::size_t i = dag.num_operations(); i-- > 0;) {
      const OperationRef op = dag.operation(i);
      const auto standard = op.standard_gate();
      if (!standard) {
        // A barrier (inverse refuses the other kinds first).
        if (!visit(SourceOperation{kTagBarrier, op.qubits(), op.clbits(),
                                   nullptr, 0, 0})) {
          return;
        }
        continue;
      }
      const std::span<const QubitId> qubits = op.qubits();
      const std::span<const GateStep> steps = inverse_steps(*standard);
      for (std::size_t s = 0; s < steps.size(); ++s) {
        QubitId operands[StandardGate::kMaxQubits];
        const std::uint32_t width = StandardGate::num_qubits(steps[s].kind);
        for (std::uint32_t k = 0; k < width; ++k) {
          operands[k] = qubits[steps[s].operands[k]];
        }
        if (!visit(SourceOperation{static_cast<std::uint8_t>(steps[s].kind),
                                   std::span(operands, width), op.clbits(),
                                   nullptr, 0, i * kMostSteps + s})) {
          return;
        }
      }
    }
  }

  void make_params(const SourceOperation& step, std::span<PE> out) const {
    const OperationRef op = source_.dag().operation(step.at / kMostSteps);
    const GateStep& made =
        inverse_steps(*op.standard_gate())[step.at % kMostSteps];
    const std::span<const PE> params = op.parameters();
    for (std::size_t k = 0; k < out.size(); ++k) {
      out[k] = made.args[k].make(params);
    }
  }
  std::unique_ptr<CustomGate> make_custom(const SourceOperation&) const {
    assert(false && "an inverse has no custom gates");
    return nullptr;
  }

 private:
  const Circuit& source_;
};

}  // namespace

Circuit copy(const Circuit& source, std::string_view name) {
  // The store copies itself in one reservation.
  return source.clone(name);
}

IrResult<std::reference_wrapper<Circuit>> compose(
    Circuit& target, const Circuit& other,
    std::optional<std::span<const QubitId>> qubits,
    std::optional<std::span<const ClbitId>> clbits) {
  auto qubit_map = check_mapping<QubitId>(qubits, other.num_qubits(),
                                          target.num_qubits(), "qubit");
  if (!qubit_map) {
    return std::unexpected(std::move(qubit_map.error()));
  }
  auto clbit_map = check_mapping<ClbitId>(clbits, other.num_clbits(),
                                          target.num_clbits(), "clbit");
  if (!clbit_map) {
    return std::unexpected(std::move(clbit_map.error()));
  }
  // The mappings were checked: the renamed operations are valid in the
  // target. The append reads a circuit composed onto itself as it was, and
  // changes nothing when memory runs out.
  [[maybe_unused]] auto appended =
      target.append_copies(other, *qubit_map, *clbit_map, {});
  assert(appended && "operations valid in their source are valid here");
  return std::ref(target);
}

IrResult<Circuit> inverse(const Circuit& source) {
  std::uint64_t position = 0;
  std::optional<NotInvertible> refused;
  for_each_operation(source, [&](OperationRef operation) {
    const bool invertible = operation.kind() == OperationKind::Gate
                                ? operation.standard_gate().has_value()
                                : operation.kind() == OperationKind::Barrier;
    if (!invertible && !refused) {
      refused = NotInvertible{std::string(operation_name(operation)),
                              position};
    }
    ++position;
  });
  if (refused) {
    return std::unexpected(std::move(*refused));
  }
  Circuit target(source.name() + "_dg");
  add_bits_like(source, target);
  InverseSource steps(source);
  [[maybe_unused]] auto appended = target.append_from(steps);
  assert(appended && "the steps of valid operations are valid");
  return target;
}

IrResult<Circuit> assign_parameters(
    const Circuit& source,
    std::span<const std::pair<std::string, double>> values) {
  const std::vector<std::string> used = parameters(source);
  UnknownParameters unknown;
  for (const auto& [name, value] : values) {
    if (!std::binary_search(used.begin(), used.end(), name) &&
        std::find(unknown.names.begin(), unknown.names.end(), name) ==
            unknown.names.end()) {
      unknown.names.push_back(name);
    }
  }
  if (!unknown.names.empty()) {
    return std::unexpected(std::move(unknown));
  }
  ParameterValues table;
  table.reserve(values.size());
  for (const auto& [name, value] : values) {
    if (!std::isfinite(value)) {
      return std::unexpected(NonFiniteParameterValue{name, value});
    }
    table.insert_or_assign(name, value);
  }
  // Only the parameters change: the copy keeps everything else, node
  // numbering included.
  return source.clone(source.name(),
                      [&table](const PE& p) { return substitute(p, table); });
}

}  // namespace qelto::ir
