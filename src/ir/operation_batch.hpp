#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ir/dag.hpp"
#include "ir/dag_tags.hpp"
#include "ir/gate.hpp"
#include "ir/parameter.hpp"
#include "ir/qubit.hpp"

namespace qelto::ir {

// Operations gathered for one bulk append (CircuitDag::append): their
// kinds, operands and parameters in flat arrays, in the order they are to
// be applied. Gathering checks nothing: append checks every operation, as
// apply would, before it changes anything.
//
// Every add either adds its whole operation or, throwing std::bad_alloc
// (or whatever making a parameter throws), leaves the batch as it was.
// Move-only.
class OperationBatch {
 public:
  OperationBatch() noexcept = default;
  OperationBatch(OperationBatch&&) noexcept = default;
  OperationBatch& operator=(OperationBatch&&) noexcept = default;
  OperationBatch(const OperationBatch&) = delete;
  OperationBatch& operator=(const OperationBatch&) = delete;
  ~OperationBatch();

  // Room for `ops` more operations with `qubits` qubit operands, `clbits`
  // classical-bit operands and `params` standard-gate parameters among
  // them. Only a hint.
  void reserve(std::size_t ops, std::size_t qubits, std::size_t clbits,
               std::size_t params);

  // Standard gate `kind`, taking its parameters from `params` (moved from;
  // the first num_params(kind) are used, and there must be that many).
  void add_gate(StandardGate::Kind kind, std::span<ParameterExpression> params,
                std::span<const QubitId> qubits,
                std::span<const ClbitId> clbits = {});
  void add_custom(CustomGate gate, std::span<const QubitId> qubits,
                  std::span<const ClbitId> clbits = {});
  // A measurement, reset or barrier (`kind` is neither Gate nor Delay).
  void add(OperationKind kind, std::span<const QubitId> qubits,
           std::span<const ClbitId> clbits = {});
  void add_delay(std::uint64_t duration, std::span<const QubitId> qubits,
                 std::span<const ClbitId> clbits = {});

  // A deep copy of a stored operation with its operands renamed: qubit q
  // becomes qubit_map[q.index], classical bit c becomes clbit_map[c.index];
  // an empty map keeps those operands as they are. A non-empty map must
  // cover every operand (which a map as long as the source circuit's bit
  // count does). Parameters are made by `parameter(p)` for each of the
  // operation's parameters `p`.
  template <class MakeParameter>
  void add_copy(OperationRef operation, std::span<const QubitId> qubit_map,
                std::span<const ClbitId> clbit_map,
                MakeParameter&& parameter);

  [[nodiscard]] std::size_t size() const noexcept { return tags_.size(); }
  [[nodiscard]] bool empty() const noexcept { return tags_.empty(); }
  // Drops every gathered operation (keeps the room).
  void clear() noexcept;

 private:
  friend class CircuitDag;

  // Makes room for one operation in every array it uses (`custom` and
  // `delay` say whether it needs a custom gate or a duration), so that
  // adding it cannot throw.
  void reserve_one(std::size_t qubits, std::size_t clbits, std::size_t params,
                   bool custom, bool delay);
  // Adds the operation's tag and operands; requires reserve_one.
  void push(std::uint8_t tag, std::span<const QubitId> qubits,
            std::span<const ClbitId> clbits) noexcept;
  // The same, renaming the operands through the maps (see add_copy).
  void push_mapped(std::uint8_t tag, std::span<const QubitId> qubits,
                   std::span<const ClbitId> clbits,
                   std::span<const QubitId> qubit_map,
                   std::span<const ClbitId> clbit_map) noexcept;

  // Per operation: its tag (as the store's, dag_tags.hpp) and where its
  // operands end in qubits_ / clbits_ (they start where the previous
  // operation's end).
  std::vector<std::uint8_t> tags_;
  std::vector<std::uint32_t> qubit_end_;
  std::vector<std::uint32_t> clbit_end_;
  std::vector<QubitId> qubits_;
  std::vector<ClbitId> clbits_;
  // Standard gates' parameters, custom gates and delays' durations, each in
  // the order of their operations.
  std::vector<ParameterExpression> params_;
  std::vector<std::unique_ptr<CustomGate>> customs_;
  std::vector<std::uint64_t> delays_;
};

template <class MakeParameter>
void OperationBatch::add_copy(OperationRef operation,
                              std::span<const QubitId> qubit_map,
                              std::span<const ClbitId> clbit_map,
                              MakeParameter&& parameter) {
  const std::span<const QubitId> qubits = operation.qubits();
  const std::span<const ClbitId> clbits = operation.clbits();
  const std::span<const ParameterExpression> params = operation.parameters();
  std::uint8_t tag = 0;
  if (const CustomGate* custom = operation.custom_gate()) {
    std::vector<ParameterExpression> made;
    made.reserve(params.size());
    for (const ParameterExpression& p : params) {
      made.push_back(parameter(p));
    }
    auto boxed = std::make_unique<CustomGate>(
        CustomGate{custom->name, custom->num_qubits, std::move(made)});
    reserve_one(qubits.size(), clbits.size(), 0, true, false);
    customs_.push_back(std::move(boxed));
    tag = kTagCustom;
  } else if (const auto standard = operation.standard_gate()) {
    ParameterExpression made[StandardGate::kMaxParams];
    for (std::size_t i = 0; i < params.size(); ++i) {
      made[i] = parameter(params[i]);
    }
    reserve_one(qubits.size(), clbits.size(), params.size(), false, false);
    for (std::size_t i = 0; i < params.size(); ++i) {
      params_.push_back(std::move(made[i]));
    }
    tag = static_cast<std::uint8_t>(*standard);
  } else {
    const bool delay = operation.kind() == OperationKind::Delay;
    reserve_one(qubits.size(), clbits.size(), 0, false, delay);
    if (delay) {
      delays_.push_back(operation.delay_duration());
    }
    tag = tag_of(operation.kind());
  }
  push_mapped(tag, qubits, clbits, qubit_map, clbit_map);
}

}  // namespace qelto::ir
