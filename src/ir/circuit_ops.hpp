#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "ir/circuit.hpp"
#include "ir/dag.hpp"
#include "ir/instruction.hpp"

namespace qelto::ir {

// Reading a circuit's operations in the order they were added (not the
// writer's topological order): the store keeps them in that order.

// The name an operation goes by: the gate's OpenQASM name, or "measure",
// "reset", "barrier", "delay". Valid while the instruction lives.
[[nodiscard]] std::string_view operation_name(const Instruction& instruction);
// The same for a stored operation; valid until the circuit is next changed.
[[nodiscard]] std::string_view operation_name(OperationRef operation);

// Calls `visit(OperationRef)` for every operation in insertion order.
template <class Visit>
void for_each_operation(const Circuit& circuit, Visit&& visit) {
  const CircuitDag& dag = circuit.dag();
  const std::size_t count = dag.num_operations();
  for (std::size_t i = 0; i < count; ++i) {
    visit(dag.operation(i));
  }
}

// One step of creating a circuit's bits: a whole register (`register_name`
// set, `size` bits at positions 0..size-1) or one lone bit (`register_name`
// null, `size` 1). The name points into the circuit's records.
struct QubitStep {
  const std::string* register_name;
  std::uint32_t size;
};
struct ClbitStep {
  const std::string* register_name;
  std::uint32_t size;
};

// Calls `visit` with a QubitStep, a ClbitStep or an OperationRef for
// every step that made the circuit, in the order they happened (bits and
// operations interleaved as they were added). Replaying the steps through
// add_qreg/add_qubit/add_creg/add_clbit/apply makes a circuit whose DAG
// numbers its nodes exactly as this one's.
template <class Visit>
void for_each_creation_step(const Circuit& circuit, Visit&& visit) {
  const CircuitDag& dag = circuit.dag();
  // The step that adds the bit with id `first`, or nullopt when the bit
  // belongs to a register whose first bit made the step.
  auto step_of = [](const auto& records,
                    std::uint32_t first) -> std::optional<std::pair<const std::string*, std::uint32_t>> {
    const auto& record = records[first];
    if (!record.register_name) {
      return std::pair{nullptr, 1u};
    }
    if (*record.index != 0) {
      return std::nullopt;
    }
    std::uint32_t size = 1;
    while (first + size < records.size() &&
           records[first + size].register_name == record.register_name &&
           records[first + size].index == size) {
      ++size;
    }
    return std::pair{&*record.register_name, size};
  };
  // Bits are numbered in creation order, so the qubits' wire nodes, the
  // classical bits' and the operations' each rise: the steps are the three
  // merged by node number. Every bit passed so far was added before the
  // next operation, so that operation's node number is its position plus
  // two for each of those bits (a wire takes two numbers).
  constexpr std::uint64_t kNone = UINT64_MAX;
  const std::span<const QubitInfo> qubits = circuit.qubits();
  const std::span<const ClbitInfo> clbits = circuit.clbits();
  std::uint32_t q = 0;
  std::uint32_t c = 0;
  auto qubit_node = [&]() -> std::uint64_t {
    return q < qubits.size() ? dag.qubit_input(qubits[q].id)->index : kNone;
  };
  auto clbit_node = [&]() -> std::uint64_t {
    return c < clbits.size() ? dag.clbit_input(clbits[c].id)->index : kNone;
  };
  std::uint64_t next_qubit = qubit_node();
  std::uint64_t next_clbit = clbit_node();
  const std::size_t count = dag.num_operations();
  for (std::size_t op = 0;;) {
    const std::uint64_t next_bit = std::min(next_qubit, next_clbit);
    while (op < count && op + 2 * (std::uint64_t{q} + c) < next_bit) {
      visit(dag.operation(op++));
    }
    if (next_bit == kNone) {
      return;
    }
    if (next_qubit < next_clbit) {
      if (auto step = step_of(qubits, q)) {
        visit(QubitStep{step->first, step->second});
      }
      ++q;
      next_qubit = qubit_node();
    } else {
      if (auto step = step_of(clbits, c)) {
        visit(ClbitStep{step->first, step->second});
      }
      ++c;
      next_clbit = clbit_node();
    }
  }
}

// Carries out a bit step on `target`.
void add_bits(Circuit& target, QubitStep step);
void add_bits(Circuit& target, ClbitStep step);

// The number of operations. O(1).
[[nodiscard]] std::size_t num_operations(const Circuit& circuit) noexcept;

// A position in a stepwise walk over the operations in insertion order (a
// Python iterator keeps one). A circuit only grows, so a cursor stays
// valid across later additions and then also reaches the new operations.
struct OperationCursor {
  std::size_t next = 0;
};

// The next operation after `cursor` (advancing it), or nullopt at the end.
// The view is valid until the circuit is next changed.
[[nodiscard]] std::optional<OperationRef> next_operation(
    const Circuit& circuit, OperationCursor& cursor);

// The operation at `position` (0-based, insertion order), or nullopt when
// out of range. O(1).
[[nodiscard]] std::optional<OperationRef> operation_at(const Circuit& circuit,
                                                       std::size_t position);

// Operation names and how often each occurs, in order of first appearance.
// The names are views into the circuit, valid until it is next changed.
[[nodiscard]] std::vector<std::pair<std::string_view, std::uint64_t>>
count_ops(const Circuit& circuit);

// The names of the free symbols of every parameter, sorted, each once.
[[nodiscard]] std::vector<std::string> parameters(const Circuit& circuit);

}  // namespace qelto::ir
