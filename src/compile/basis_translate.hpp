#pragma once

#include "compile/basis_gates.hpp"
#include "compile/compile_error.hpp"
#include "compile/flat_circuit.hpp"
#include "ir/circuit.hpp"

namespace qelto::compile {

// Rewrites every gate into the basis, exactly up to global phase, and
// simplifies on the way (see GateWriter): one-qubit runs become the fewest
// basis gates, adjacent inverse two-qubit gates cancel.
//
// A gate named in the basis is kept. Other two-qubit (and wider) gates are
// written with cx and one-qubit gates, and cx with the basis's two-qubit
// gate (the first of cx, cz, cp, crz, rzz, cy, rxx it holds). One-qubit
// gates are written with the basis's one-qubit gates (see OneQubitBasis).
// Measurements, resets, barriers and delays are not gates and pass
// unchanged. A gate the basis cannot express is refused (UnsupportedGate)
// with a message naming the gate and the basis.
[[nodiscard]] CompileResult<FlatCircuit> translate_to_basis(
    const FlatCircuit& circuit, const BasisGates& basis);

// The same for a circuit: a new circuit, the input unchanged.
[[nodiscard]] CompileResult<ir::Circuit> translate_to_basis(
    const ir::Circuit& circuit, const BasisGates& basis);

}  // namespace qelto::compile
