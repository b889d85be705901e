#include "ir/transform.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <type_traits>
#include <vector>

#include "ir/circuit_ops.hpp"
#include "ir/gate_catalogue.hpp"
#include "ir/operation_batch.hpp"
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

void append_valid(Circuit& target, OperationBatch& batch) {
  [[maybe_unused]] auto appended = target.append(batch);
  assert(appended && "operations valid in their source are valid here");
}

PE clone_of(const PE& p) { return p.clone(); }

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

// Adds to `batch` the exact inverse of stored gate `gate`, as the gate
// table gives it: catalogue gates over the gate's own parameters and
// operands (its classical bits, if any, go to every step).
void add_inverse(OperationRef gate, OperationBatch& batch) {
  const std::span<const PE> params = gate.parameters();
  const std::span<const QubitId> qubits = gate.qubits();
  for (const GateStep& step : inverse_steps(*gate.standard_gate())) {
    PE args[StandardGate::kMaxParams];
    const std::uint32_t count = StandardGate::num_params(step.kind);
    for (std::uint32_t i = 0; i < count; ++i) {
      args[i] = step.args[i].make(params);
    }
    QubitId operands[StandardGate::kMaxQubits];
    const std::uint32_t width = StandardGate::num_qubits(step.kind);
    for (std::uint32_t i = 0; i < width; ++i) {
      operands[i] = qubits[step.operands[i]];
    }
    batch.add_gate(step.kind, args, std::span(operands, width),
                   gate.clbits());
  }
}

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
  // Everything is gathered before the target changes, so composing a
  // circuit onto itself reads its operations as they were, and the append
  // changes nothing when memory runs out.
  const CircuitDag& dag = other.dag();
  const std::size_t wires = dag.num_qubit_wires() + dag.num_clbit_wires();
  OperationBatch batch;
  batch.reserve(dag.num_operations(), dag.edge_count() - wires, 0, 0);
  for_each_operation(other, [&](OperationRef operation) {
    batch.add_copy(operation, *qubit_map, *clbit_map, clone_of);
  });
  append_valid(target, batch);
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
  const CircuitDag& dag = source.dag();
  OperationBatch batch;
  batch.reserve(dag.num_operations(), dag.num_operations(), 0, 0);
  for (std::size_t i = dag.num_operations(); i-- > 0;) {
    const OperationRef operation = dag.operation(i);
    if (operation.kind() == OperationKind::Barrier) {
      batch.add_copy(operation, {}, {}, clone_of);
    } else {
      add_inverse(operation, batch);
    }
  }
  append_valid(target, batch);
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
