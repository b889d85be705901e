#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "qasm3/error.hpp"
#include "qasm3/syntax.hpp"

namespace qelto::qasm3 {

// Debug texts of the flat syntax form, for tests, tools and error messages:
// "Pow", "Bool(true)", "Neg(Int(1))", "Identifier(\"theta\")",
// "BinOp { left: Int(1), op: Eq, right: Int(2) }",
// "FnCall { name: \"f\", args: [Int(1), Pi] }". Floats show at least one
// fractional digit and switch to exponent form at magnitudes of 1e16 and
// above or below 1e-4. Optional fields print as "None" / "Some(..)".
// Expressions print without recursion, whatever their depth; statements
// recurse into their bodies, as deep as the parser nests them.
[[nodiscard]] std::string to_string(BinOp op);
[[nodiscard]] std::string expression_text(const SyntaxTree& tree,
                                          std::uint32_t expression);
[[nodiscard]] std::string statement_text(const SyntaxTree& tree,
                                         const SyntaxStmt& statement);

// The debug text of a whole program,
// "Program { version: \"3.0\", statements: [...] }", read statement by
// statement through the same parser as the reader; or the parse error.
[[nodiscard]] ParseResult<std::string> program_text(std::string_view source);

}  // namespace qelto::qasm3
