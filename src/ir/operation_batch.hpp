#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ir/dag.hpp"
#include "ir/gate.hpp"
#include "ir/parameter.hpp"
#include "ir/qubit.hpp"

namespace qelto::ir {

// Operations gathered for one bulk append (CircuitDag::append): their
// kinds, operands and parameters in flat arrays, in the order they are to
// be applied. Gathering checks nothing: append checks every operation, as
// apply would, before it changes anything.
//
// Every add either adds its whole operation or, throwing std::bad_alloc,
// leaves the batch as it was. Move-only.
class OperationBatch {
 public:
  OperationBatch() noexcept = default;
  OperationBatch(OperationBatch&&) noexcept = default;
  OperationBatch& operator=(OperationBatch&&) noexcept = default;
  OperationBatch(const OperationBatch&) = delete;
  OperationBatch& operator=(const OperationBatch&) = delete;
  ~OperationBatch();

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

}  // namespace qelto::ir
