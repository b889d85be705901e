#include "ir/instruction.hpp"

#include <utility>

namespace qelto::ir {

Instruction Instruction::single_qubit_gate(StandardGate gate, QubitId qubit) {
  return Instruction{{qubit}, {}, Gate(std::move(gate))};
}

Instruction Instruction::clone() const {
  InstructionKind copied = std::visit(
      [](const auto& k) -> InstructionKind {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, Gate>) {
          return k.clone();
        } else {
          return k;
        }
      },
      kind);
  return Instruction{qubits, clbits, std::move(copied)};
}

}  // namespace qelto::ir
