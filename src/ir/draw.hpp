#pragma once

#include <cstdint>
#include <string>

#include "ir/circuit.hpp"

namespace qelto::ir {

// The circuit as a text diagram, the way circuit toolkits show circuits in
// a terminal:
//
//          ┌───┐     ┌─┐
//     q_0: ┤ H ├──■──┤M├───
//          └───┘┌─┴─┐└╥┘┌─┐
//     q_1: ─────┤ X ├─╫─┤M├
//               └───┘ ║ └╥┘
//     c_0: ═══════════╩══╬═
//                        ║
//     c_1: ══════════════╩═
//
// One row per qubit, then one per classical bit, named "reg_i" for bit i of
// register "reg" and "q_k" / "c_k" for a lone bit with id k. Operations sit
// in columns by layer, a layer being what `depth` counts (an operation is
// one layer after the latest operation on any of its bits); operations of
// one layer whose drawings would overlap take neighbouring columns. Gates
// with controls join their control dots to the target box; other
// multi-qubit gates are one box over their rows, each row marked with its
// operand position; a measurement joins its qubit to its classical bit with
// a double line. Parameters are shown compactly (see compact_param).
//
// Lines longer than `fold` cells are folded: each part but the last ends
// its wire lines in "»", each part but the first starts them with "«", and
// parts are separated by an empty line. `fold` <= 0 never folds. Lines end
// without trailing blanks; the text has no final line feed; a circuit
// without bits draws as "". Linear in the size of the drawing.
[[nodiscard]] std::string draw(const Circuit& circuit, std::int64_t fold = 80);

}  // namespace qelto::ir
