#include "compile/simplify.hpp"

#include <utility>

#include "compile/gate_writer.hpp"
#include "compile/rotation.hpp"

namespace qelto::compile {

FlatCircuit simplify(const FlatCircuit& circuit, const BasisGates& basis) {
  FlatCircuit out = circuit.empty_like();
  out.ops.reserve(circuit.ops.size());
  GateWriter writer(out, one_qubit_basis(basis));
  for (const FlatOp& op : circuit.ops) {
    if (!is_standard(op.code)) {
      writer.other(op, circuit.qubits(op));
      continue;
    }
    const auto kind = gate_kind(op.code);
    if (const auto rotation = rotation_of(kind, op.params)) {
      writer.one_qubit(op, *rotation,
                       basis.contains(ir::StandardGate::name(kind)));
    } else if (op.num_qubits == 2) {
      writer.two_qubit(op);
    } else {
      writer.other(op);
    }
  }
  writer.finish();
  return out;
}

CompileResult<ir::Circuit> simplify(const ir::Circuit& circuit,
                                    const BasisGates& basis) {
  return on_circuit(circuit, [&](const FlatCircuit& flat) {
    return CompileResult<FlatCircuit>(simplify(flat, basis));
  });
}

}  // namespace qelto::compile
