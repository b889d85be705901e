#pragma once

#include <expected>
#include <string_view>

#include "ir/circuit.hpp"
#include "qasm3/error.hpp"

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
// (e.g. `qubit[4294967295] q;`) or memory otherwise runs out.
[[nodiscard]] ParseResult<ir::Circuit> parse(std::string_view source);

// `parse`, with the place of the error in the source.
[[nodiscard]] std::expected<ir::Circuit, SourceError> read(
    std::string_view source);

}  // namespace qelto::qasm3
