#pragma once

#include <vector>

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

}  // namespace qelto::compile
