#pragma once

#include <optional>
#include <vector>

#include "compile/basis_gates.hpp"
#include "compile/flat_circuit.hpp"

namespace qelto::compile {

// Appends an exact expression (up to global phase) of the standard gate `op`
// on two or more qubits in cx and one-qubit catalogue gates, in the order
// they act, on the same qubits: from this unit's own table where it lists
// the gate, else from the gate table's definition, expanded until only cx
// and one-qubit gates remain. Returns false, appending nothing, for a gate
// it has no expression for (one-qubit gates, custom gates, non-gates).
bool decompose_to_cx(const FlatOp& op, std::vector<FlatOp>& out);

// Appends cx(control, target) written with the two-qubit gate `entangler`
// and one-qubit catalogue gates, in the order they act. Returns false,
// appending nothing, when `entangler` cannot make a cx this way.
bool cx_from(ir::StandardGate::Kind entangler, std::uint32_t control,
             std::uint32_t target, std::vector<FlatOp>& out);

// The two-qubit gate of `basis` that cx is written with: the first of cx,
// cz, cp, crz, rzz, cy, rxx it holds (cx itself, then those needing the
// fewest extra gates), or nullopt when it holds none.
[[nodiscard]] std::optional<ir::StandardGate::Kind> cx_entangler(
    const BasisGates& basis);

}  // namespace qelto::compile
