#pragma once

// The parsed form of one expression, as text, for the parser's tests.

#include <string>

#include "qasm3/parser.hpp"
#include "qasm3/syntax_text.hpp"

namespace qelto::qasm3::testing_support {

// The debug text of the value assigned in `x = {expression};`, or the
// error's display text.
inline std::string assigned_text(const std::string& expression) {
  const std::string source = "OPENQASM 3.0; x = " + expression + ";";
  Parser parser(source);
  if (auto header = parser.parse_header(); !header) {
    return to_string(header.error());
  }
  auto statement = parser.next_statement();
  if (!statement) {
    return to_string(statement.error());
  }
  const SyntaxTree& tree = parser.syntax();
  return expression_text(tree, tree.details[(*statement)->detail].expr[0]);
}

}  // namespace qelto::qasm3::testing_support
