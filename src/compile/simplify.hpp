#pragma once

#include "compile/basis_gates.hpp"
#include "compile/compile_error.hpp"
#include "compile/flat_circuit.hpp"
#include "ir/circuit.hpp"

namespace qelto::compile {

struct SimplifyOptions {
  // Whether runs of gates on one pair of qubits are re-synthesised with
  // fewer two-qubit gates where that is possible (see BlockWriter).
  bool resynthesize_blocks = true;
  // How far (operator norm, up to global phase) each dropped or rewritten
  // piece may move the action: a run of one-qubit gates, a two-qubit
  // rotation, a run of gates on a pair. Zero keeps the action exact (up to
  // rounding). Must be finite and not negative.
  double tolerance = 0;
};

// Simplifies without changing the unitary (up to global phase): cancels
// adjacent inverse two-qubit pairs and merges adjacent rotations of one kind,
// merges each run of one-qubit gates on a wire into one rotation, drops it
// when it is the identity, and otherwise writes it as the fewest gates of
// the basis's one-qubit gates (see OneQubitBasis) when that is shorter or
// the run holds gates outside the basis. With a basis that has no such
// family, runs are kept as given unless they are the identity. With
// `resynthesize_blocks`, a run of gates on one pair of qubits that the
// basis can write with fewer two-qubit gates is written so (see
// BlockWriter). Everything else passes unchanged. With a tolerance, pieces
// within it of the identity or of a cheaper circuit are dropped or written
// so (see SimplifyOptions::tolerance); since such distances add along a
// circuit, the result is within tolerance times the number of pieces
// replaced.
[[nodiscard]] FlatCircuit simplify(const FlatCircuit& circuit,
                                   const BasisGates& basis,
                                   const SimplifyOptions& options = {});

// The same for a circuit: a new circuit, the input unchanged. Refused only
// for a gate angle without a value (UnboundParameter).
[[nodiscard]] CompileResult<ir::Circuit> simplify(
    const ir::Circuit& circuit, const BasisGates& basis,
    const SimplifyOptions& options = {});

}  // namespace qelto::compile
