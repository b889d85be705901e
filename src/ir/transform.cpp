#include "ir/transform.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <type_traits>
#include <vector>

#include "ir/circuit_ops.hpp"
#include "ir/gate_catalogue.hpp"
#include "ir/parameter_eval.hpp"

namespace qelto::ir {
namespace {

using Kind = StandardGate::Kind;
using PE = ParameterExpression;

// The most operands CircuitDag::apply places without allocating once room
// for the operation is reserved (its inline scratch space in the current
// DAG store).
constexpr std::size_t kScratchFreeOperands = 8;

// Rebuilds `source`'s bits in `target` in their creation order, handing
// each operation to `on_operation(OperationRef)` at its place among them.
template <class OnOperation>
void replay(const Circuit& source, Circuit& target,
            OnOperation&& on_operation) {
  for_each_creation_step(source, [&](const auto& step) {
    using S = std::decay_t<decltype(step)>;
    if constexpr (std::is_same_v<S, OperationRef>) {
      on_operation(step);
    } else {
      add_bits(target, step);
    }
  });
}

// Room in `target` for all of `source`'s operations.
void reserve_like(Circuit& target, const Circuit& source) {
  const CircuitDag& dag = source.dag();
  const std::size_t wires = dag.num_qubit_wires() + dag.num_clbit_wires();
  target.reserve_operations(num_operations(source), dag.edge_count() - wires);
}

void apply_valid(Circuit& target, Instruction instruction) {
  [[maybe_unused]] auto applied = target.apply(std::move(instruction));
  assert(applied && "an operation valid in its source is valid in the copy");
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

template <class Id>
OperandList<Id> mapped(std::span<const Id> operands,
                       const OperandList<Id>& map) {
  OperandList<Id> out;
  for (const Id id : operands) {
    out.push_back(map[id.index]);
  }
  return out;
}

// ---- inverse ----

// Appends to `out` the exact inverse of `gate` on `qubits`, as the gate
// table gives it: catalogue gates over the gate's own parameters and
// operands.
void append_inverse(const StandardGate& gate, const QubitList& qubits,
                    const ClbitList& clbits, std::vector<Instruction>& out) {
  const std::span<const PE> params = gate.parameters();
  for (const GateStep& step : inverse_steps(gate.kind())) {
    std::vector<PE> args;
    const std::uint32_t count = StandardGate::num_params(step.kind);
    args.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      args.push_back(step.args[i].make(params));
    }
    QubitList operands;
    for (std::uint32_t i = 0; i < StandardGate::num_qubits(step.kind); ++i) {
      operands.push_back(qubits[step.operands[i]]);
    }
    auto made = StandardGate::make(step.kind, std::move(args));
    assert(made && "the gate table's steps take their gates' parameters");
    out.push_back(
        Instruction{std::move(operands), clbits, Gate(std::move(*made))});
  }
}

// ---- assign_parameters ----

Instruction with_values(const Instruction& source,
                        const ParameterValues& values) {
  const Gate* gate = source.gate();
  if (gate == nullptr || gate->parameters().empty()) {
    return source.clone();
  }
  std::vector<PE> params;
  params.reserve(gate->parameters().size());
  for (const PE& p : gate->parameters()) {
    params.push_back(substitute(p, values));
  }
  if (const StandardGate* standard = gate->standard()) {
    auto made = StandardGate::make(standard->kind(), std::move(params));
    assert(made && "the parameter count is the gate's own");
    return Instruction{source.qubits, source.clbits, Gate(std::move(*made))};
  }
  const CustomGate* custom = gate->custom();
  return Instruction{source.qubits, source.clbits,
                     Gate(CustomGate{custom->name, custom->num_qubits,
                                     std::move(params)})};
}

}  // namespace

Circuit copy(const Circuit& source, std::string_view name) {
  if (name == source.name()) {
    // The store copies itself in one reservation.
    return source.clone();
  }
  Circuit target(name);
  reserve_like(target, source);
  replay(source, target, [&target](OperationRef operation) {
    apply_valid(target, operation.to_instruction());
  });
  return target;
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
  // Everything is built before the target changes, so running out of memory
  // leaves it as it was, and composing a circuit onto itself reads a
  // finished snapshot.
  std::vector<Instruction> built;
  built.reserve(num_operations(other));
  for_each_operation(other, [&](OperationRef operation) {
    Instruction instruction = operation.to_instruction();
    instruction.qubits = mapped(operation.qubits(), *qubit_map);
    instruction.clbits = mapped(operation.clbits(), *clbit_map);
    built.push_back(std::move(instruction));
  });
  // After the reserve, apply allocates only scratch space for an operation
  // with many operands (see kScratchFreeOperands), and that could fail after
  // earlier operations were appended. Such a compose is built on a copy
  // that replaces the target once complete.
  const bool wide = std::any_of(built.begin(), built.end(), [](const auto& i) {
    return i.qubits.size() + i.clbits.size() > kScratchFreeOperands;
  });
  if (wide) {
    Circuit result = copy(target, target.name());
    reserve_like(result, other);
    for (Instruction& instruction : built) {
      apply_valid(result, std::move(instruction));
    }
    target = std::move(result);
    return std::ref(target);
  }
  reserve_like(target, other);
  for (Instruction& instruction : built) {
    apply_valid(target, std::move(instruction));
  }
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
  replay(source, target, [](OperationRef) {});
  reserve_like(target, source);
  std::vector<Instruction> steps;
  const CircuitDag& dag = source.dag();
  for (std::size_t i = dag.num_operations(); i-- > 0;) {
    const Instruction instruction = dag.operation(i).to_instruction();
    const Gate* gate = instruction.gate();
    if (gate == nullptr) {
      apply_valid(target, instruction.clone());
      continue;
    }
    steps.clear();
    append_inverse(*gate->standard(), instruction.qubits, instruction.clbits,
                   steps);
    for (Instruction& step : steps) {
      apply_valid(target, std::move(step));
    }
  }
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
  Circuit target(source.name());
  reserve_like(target, source);
  replay(source, target, [&](OperationRef operation) {
    apply_valid(target, with_values(operation.to_instruction(), table));
  });
  return target;
}

}  // namespace qelto::ir
