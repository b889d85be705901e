#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ir/dag.hpp"
#include "ir/error.hpp"
#include "ir/gate_macros.hpp"
#include "ir/instruction.hpp"
#include "ir/parameter.hpp"
#include "ir/qubit.hpp"

namespace qelto::ir {

// Record of one qubit. `register_name` (`register` is a C++
// keyword) and `index` are both present for qubits made by add_qreg, both
// absent for qubits made singly.
struct QubitInfo {
  QubitId id;
  std::optional<std::string> register_name;
  std::optional<std::uint32_t> index;
};

// Record of one classical bit, the same with a ClbitId.
struct ClbitInfo {
  ClbitId id;
  std::optional<std::string> register_name;
  std::optional<std::uint32_t> index;
};

class Circuit;

// Result of every builder operation: the circuit itself, so that calls
// chain (`c.h(q)->get().cx(q, r)`), or the IrError of CircuitDag::apply.
// A failed call leaves the circuit exactly as it was.
using BuildResult = IrResult<std::reference_wrapper<Circuit>>;

// The user-facing circuit: a name, qubit and classical-bit
// records, and the CircuitDag of its operations. Hands out ids 0, 1, 2, ...
// in creation order and never reuses them; only grows.
//
// An empty circuit is made by the constructor `Circuit(name)` (alias
// `Circuit::empty(name)`).
//
// Every builder operation passes one operation to `CircuitDag::apply` (the
// gates through `apply_gate`, which checks them as apply does), so all
// validation and every IrError come from there. Angles are
// ParameterExpression values taken by value.
//
// Exceptions: bad input never throws (it is an IrError). std::bad_alloc
// may propagate from any operation that allocates; it is thrown before
// anything changes (add_qreg/add_creg roll back their records), so the
// circuit is left as it was. One exception: measure_all may keep the
// classical bits it added when its final apply runs out of memory, as it
// keeps them when that apply fails.
//
// Move-only; deep copies are explicit (`clone`).
class Circuit {
 public:
  // No qubits, no classical bits, empty DAG, counters 0.
  explicit Circuit(std::string_view name);
  [[nodiscard]] static Circuit empty(std::string_view name);
  // Qubits 0..num_qubits-1, then classical bits 0..num_clbits-1 (so in the
  // DAG all qubit wire nodes come before the classical ones).
  [[nodiscard]] static Circuit with_size(std::string_view name,
                                         std::uint32_t num_qubits,
                                         std::uint32_t num_clbits);

  Circuit(Circuit&&) noexcept = default;
  Circuit& operator=(Circuit&&) noexcept = default;
  Circuit(const Circuit&) = delete;
  Circuit& operator=(const Circuit&) = delete;
  // An independent deep copy: name, records, operations, node numbering and
  // orders all equal. May throw std::bad_alloc.
  [[nodiscard]] Circuit clone() const;
  // The same, named `name`.
  [[nodiscard]] Circuit clone(std::string_view name) const;
  // The same, named `name`, with every gate parameter replaced by
  // `map(parameter)` (CircuitDag::clone).
  [[nodiscard]] Circuit clone(std::string_view name,
                              const ParameterMap& map) const;

  // ---- Inspection ----
  [[nodiscard]] const std::string& name() const noexcept { return name_; }
  [[nodiscard]] std::uint64_t num_qubits() const noexcept {
    return qubits_.size();
  }
  [[nodiscard]] std::uint64_t num_clbits() const noexcept {
    return clbits_.size();
  }
  [[nodiscard]] std::uint64_t depth() const { return dag_.depth(); }
  // Records in creation order (record k has id k).
  [[nodiscard]] std::span<const QubitInfo> qubits() const noexcept {
    return qubits_;
  }
  [[nodiscard]] std::span<const ClbitInfo> clbits() const noexcept {
    return clbits_;
  }
  // Read access for the emitter: topological_ops(), node(), ...
  [[nodiscard]] const CircuitDag& dag() const noexcept { return dag_; }

  // ---- Bits ----
  QubitId add_qubit();
  ClbitId add_clbit();
  // `size` new qubits recording register `name` and positions 0..size-1;
  // returns their ids in order. Size 0 returns {} and changes nothing.
  std::vector<QubitId> add_qreg(std::string_view name, std::uint32_t size);
  std::vector<ClbitId> add_creg(std::string_view name, std::uint32_t size);

  // Capacity for `ops` more operations with `operands` operands in all
  // (see CircuitDag::reserve_operations). Only a hint.
  void reserve_operations(std::size_t ops, std::size_t operands) {
    dag_.reserve_operations(ops, operands);
  }

  // ---- Applying an instruction directly ----
  // `dag.apply`, for operations without a builder (custom gates,
  // multi-qubit reset/barrier...).
  [[nodiscard]] IrResult<NodeIndex> apply(Instruction instruction);
  // `dag.append`: many operations at once, as if applied one by one; all
  // or nothing.
  [[nodiscard]] IrResult<void> append(OperationBatch& batch);
  // `dag.append_copies`: the operations of `other` (this circuit allowed)
  // with their bits renamed and their parameters made by `map`.
  [[nodiscard]] IrResult<void> append_copies(
      const Circuit& other, std::span<const QubitId> qubit_map,
      std::span<const ClbitId> clbit_map, const ParameterMap& map);
  // `dag.append_from` (include ir/dag_append.hpp to use it).
  template <class Source>
  [[nodiscard]] IrResult<void> append_from(Source& source) {
    return dag_.append_from(source);
  }

  // `dag.apply_gate`: a catalogue gate by its kind, for callers that hold
  // the kind as a value (the reader).
  [[nodiscard]] IrResult<NodeIndex> apply_gate(
      StandardGate::Kind kind, std::span<const QubitId> qubits,
      std::span<ParameterExpression> params) {
    return dag_.apply_gate(kind, qubits, params);
  }

  // ---- Builder operations ----
  // One per catalogue gate (src/ir/gates.def), named like the gate: the
  // angle parameters first, then the qubits, in the order the table lists
  // them, e.g. `rx(ParameterExpression theta, QubitId qubit)` and
  // `cu(theta, phi, lam, gamma, QubitId control, QubitId target)`.
#define QELTO_GATE(Enum, name, params, qubits, ...)                 \
  BuildResult name(QELTO_PP_LIST_DECLS(ParameterExpression, params) \
                       QELTO_PP_LIST_COMMA_IF(params)               \
                           QELTO_PP_LIST_DECLS(QubitId, qubits));
#include "ir/gates.def"
  // Kind Measure, qubits (qubit), clbits (clbit).
  BuildResult measure(QubitId qubit, ClbitId clbit);
  // Kind Reset, qubits (qubit).
  BuildResult reset(QubitId qubit);
  // Kind Delay{duration}, qubits (qubit).
  BuildResult delay(QubitId qubit, std::uint64_t duration);
  // Kind Barrier over every qubit in record order (none for a circuit
  // without qubits: still one operation, one layer of depth).
  BuildResult barrier_all();
  // Adds classical bits (as add_clbit) until there are as many as qubits,
  // then applies ONE Measure of all qubits into the first num_qubits
  // classical bits, in record order. The added bits stay if apply fails.
  // A circuit without qubits gets a Measure with no operands.
  BuildResult measure_all();

  // ---- Ready-made circuits (no error can occur with their own ids) ----
  // "bell": 2 qubits, 2 clbits; h(0), cx(0,1), measure(0,0), measure(1,1).
  [[nodiscard]] static IrResult<Circuit> bell();
  // n = 0: empty "ghz_0". Else "ghz", n qubits, n clbits; h(0);
  // cx(i-1, i) for i = 1..n-1; measure(j, j) for j = 0..n-1.
  [[nodiscard]] static IrResult<Circuit> ghz(std::uint32_t n);
  // n = 0: empty "qft_0". Else "qft", n qubits, no clbits; for each i:
  // h(i), then cp(pi / 2^j; i + j, i) for j = 1..n-1-i; then
  // swap(i, n-1-i) for i < n/2. Angles are Constants.
  [[nodiscard]] static IrResult<Circuit> qft(std::uint32_t n);

 private:
  // The builder operations' common body: the gate of `kind` with the given
  // angles (moved from) on the given qubits, appended without building an
  // Instruction (CircuitDag::apply_gate).
  template <std::size_t N>
  struct GateCall {
    StandardGate::Kind kind;
    std::array<ParameterExpression, N> params;
  };
  template <class... Angles>
  static GateCall<sizeof...(Angles)> gate_of(StandardGate::Kind kind,
                                             Angles&... angles) {
    return {kind, {std::move(angles)...}};
  }
  template <std::size_t N, class... Qubits>
  BuildResult gate_on_qubits(GateCall<N> call, Qubits... qubits) {
    const std::array<QubitId, sizeof...(Qubits)> ids{qubits...};
    return finish(dag_.apply_gate(call.kind, ids, call.params));
  }
  BuildResult finish(IrResult<NodeIndex> applied);

  std::string name_;
  std::vector<QubitInfo> qubits_;
  std::vector<ClbitInfo> clbits_;
  CircuitDag dag_;
  std::uint32_t next_qubit_ = 0;
  std::uint32_t next_clbit_ = 0;
};

}  // namespace qelto::ir
