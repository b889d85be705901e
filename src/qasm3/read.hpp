#pragma once

#include <expected>
#include <string_view>

#include "ir/circuit.hpp"
#include "qasm3/error.hpp"
#include "qasm3/read_options.hpp"

namespace qelto::qasm3 {

// Reads an OpenQASM 3 or 2 program into a new circuit named "qasm_circuit";
// the version line is optional. The
// outcome is that of tokenizing the whole text, parsing it, then lowering
// it: the first error of the first stage that fails (lexer, then parser,
// then lowering), and no partial circuit escapes. The stages actually run
// statement by statement, without holding the program (see read.cpp).
// Keeps no state between calls.
//
// Any byte string gives a circuit or an error. The one exception is
// std::bad_alloc, thrown when the declared registers cannot be allocated
// (e.g. `qubit[4294967295] q;` without a limit on qubits) or memory
// otherwise runs out.
//
// `options` bound what the program may ask for and say how `id` reads (see
// read_options.hpp). With the default limits, reading a text of N bytes
// uses at most about 200 N bytes plus 5 GiB: up to 1.6 GiB for each kind of
// register and 1.7 GiB for the operations the limits allow, and in
// proportion to the text the statement being parsed, the gate definitions
// kept and the names of registers. The worst measured is about 160 N, for
// an angle of one negation per byte: a node of the statement's syntax
// (whose array grows by doubling) and a node of the angle per byte. Lifting
// a limit (giving it no value) lifts the bound.
[[nodiscard]] ParseResult<ir::Circuit> parse(std::string_view source,
                                             const ReadOptions& options = {});

// `parse`, with the place of the error in the source.
[[nodiscard]] std::expected<ir::Circuit, SourceError> read(
    std::string_view source, const ReadOptions& options = {});

}  // namespace qelto::qasm3
