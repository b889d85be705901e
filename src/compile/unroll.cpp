#include "compile/unroll.hpp"

#include <string>
#include <utility>

#include "compile/decompose.hpp"

namespace qelto::compile {

CompileResult<FlatCircuit> unroll(const FlatCircuit& circuit) {
  FlatCircuit out = circuit.empty_like();
  out.wide_qubits = circuit.wide_qubits;
  out.ops.reserve(circuit.ops.size());
  for (const FlatOp& op : circuit.ops) {
    if (!op.is_gate() || op.num_qubits < 3) {
      out.ops.push_back(op);
      continue;
    }
    if (!decompose_to_cx(op, out.ops)) {
      return std::unexpected(CompileError{
          CompileError::Kind::UnsupportedGate,
          "gate '" + std::string(circuit.op_name(op)) + "' on " +
              std::to_string(op.num_qubits) +
              " qubits cannot be unrolled into one- and two-qubit gates"});
    }
  }
  return out;
}

CompileResult<ir::Circuit> unroll(const ir::Circuit& circuit) {
  return on_circuit(circuit,
                    [](const FlatCircuit& flat) { return unroll(flat); });
}

}  // namespace qelto::compile
