#pragma once

#include <string>
#include <string_view>

#include "ir/circuit.hpp"
#include "ir/error.hpp"

namespace qelto::ir {

// A circuit as bytes and back, for pickling. The bytes hold the name and
// every creation step (registers, lone bits, operations with their
// parameter trees) in order, so that reading them back replays the same
// calls and gives a circuit equal in everything, down to its DAG's node
// numbering.
//
// Layout: the 7-byte tag "QELTO\x01\x00" (format version 1), then the name,
// then steps, each one byte of step kind and its fields, ending with step 0.
// Numbers are little-endian; a text is a u32 length and its bytes; a
// parameter is a u32 node count and the nodes in post-order (children
// first), each a one-byte kind and, for a constant its f64, for a symbol
// its text.

// Never fails; may throw std::bad_alloc.
[[nodiscard]] std::string to_bytes(const Circuit& circuit);

// Reads what to_bytes wrote. Bytes from anywhere are safe to pass: every
// count is checked against the bytes left before memory is reserved for
// it, parameter trees are rebuilt without recursion, each operation is
// validated by `Circuit::apply`, and a read creates at most 2^20 qubits and
// 2^20 classical bits (registers cost no bytes per bit, so this bounds what
// a few forged bytes can ask for). Fails with MalformedCircuitData.
[[nodiscard]] IrResult<Circuit> from_bytes(std::string_view bytes);

}  // namespace qelto::ir
