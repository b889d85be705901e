#pragma once

#include "compile/compile_error.hpp"
#include "compile/flat_circuit.hpp"
#include "ir/circuit.hpp"

namespace qelto::compile {

// Rewrites every gate on three or more qubits (ccx, cswap, ccz, rccx, c3x,
// c4x, ...) exactly, up to global phase, as cx and one-qubit gates on the
// same qubits; everything
// else is kept as it is, barriers over many qubits included. A gate on
// three or more qubits without such an expression (a custom gate) is
// refused with UnsupportedGate.
[[nodiscard]] CompileResult<FlatCircuit> unroll(const FlatCircuit& circuit);

// The same for a circuit: a new circuit, the input unchanged.
[[nodiscard]] CompileResult<ir::Circuit> unroll(const ir::Circuit& circuit);

}  // namespace qelto::compile
