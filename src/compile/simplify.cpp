#include "compile/simplify.hpp"

#include <utility>

#include "compile/block_writer.hpp"
#include "compile/gate_writer.hpp"
#include "compile/rotation.hpp"

namespace qelto::compile {

FlatCircuit simplify(const FlatCircuit& circuit, const BasisGates& basis,
                     const SimplifyOptions& options) {
  FlatCircuit out = circuit.empty_like();
  // Writing runs in the basis can lengthen them a little.
  out.ops.reserve(circuit.ops.size() + circuit.ops.size() / 2);
  GateWriter writer(out, one_qubit_basis(basis), options.tolerance);
  BlockWriter blocks(writer, basis, circuit.num_qubits,
                     options.resynthesize_blocks, options.tolerance);
  for (const FlatOp& op : circuit.ops) {
    if (!is_standard(op.code)) {
      blocks.other(op, circuit.qubits(op));
      continue;
    }
    const auto kind = gate_kind(op.code);
    if (const auto rotation = rotation_of(kind, op.params)) {
      blocks.one_qubit(op, *rotation);
    } else if (op.num_qubits == 2) {
      blocks.two_qubit(op);
    } else {
      blocks.other(op, circuit.qubits(op));
    }
  }
  blocks.finish();
  writer.finish();
  return out;
}

CompileResult<ir::Circuit> simplify(const ir::Circuit& circuit,
                                    const BasisGates& basis,
                                    const SimplifyOptions& options) {
  return on_circuit(circuit, [&](const FlatCircuit& flat) {
    return CompileResult<FlatCircuit>(simplify(flat, basis, options));
  });
}

}  // namespace qelto::compile
