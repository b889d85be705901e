#pragma once

// Test helper: an Instruction added to an OperationBatch through the add
// that fits its kind (the batch's own way in), deep-copied.

#include <variant>

#include "ir/instruction.hpp"
#include "ir/operation_batch.hpp"

namespace qelto::ir::testing {

inline void add_to(OperationBatch& batch, const Instruction& instruction) {
  const std::span<const QubitId> qubits(instruction.qubits.data(),
                                        instruction.qubits.size());
  const std::span<const ClbitId> clbits(instruction.clbits.data(),
                                        instruction.clbits.size());
  if (const Gate* gate = instruction.gate()) {
    if (const CustomGate* custom = gate->custom()) {
      batch.add_custom(custom->clone(), qubits, clbits);
      return;
    }
    ParameterExpression params[StandardGate::kMaxParams];
    const auto source = gate->parameters();
    for (std::size_t i = 0; i < source.size(); ++i) {
      params[i] = source[i].clone();
    }
    batch.add_gate(gate->standard()->kind(), params, qubits, clbits);
    return;
  }
  if (const auto* delay = std::get_if<Delay>(&instruction.kind)) {
    batch.add_delay(delay->duration, qubits, clbits);
    return;
  }
  batch.add(static_cast<OperationKind>(instruction.kind.index()), qubits,
            clbits);
}

}  // namespace qelto::ir::testing
