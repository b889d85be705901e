#include "qasm3/error.hpp"

#include <gtest/gtest.h>

#include <string>

namespace qelto::qasm3 {
namespace {

struct ErrorCase {
  ParseError error;
  std::string text;
};

class ParseErrorDisplay : public testing::TestWithParam<ErrorCase> {};

TEST_P(ParseErrorDisplay, matches_fixed_text) {
  EXPECT_EQ(to_string(GetParam().error), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    ParseError, ParseErrorDisplay,
    testing::Values(
        ErrorCase{LexerError{"Invalid token: '#'", 9},
                  "Lexer error at position 9: Invalid token: '#'"},
        ErrorCase{UnexpectedToken{";", "qubit", 3},
                  "Unexpected token at line 3: expected ;, found qubit"},
        ErrorCase{UnexpectedEof{"expected OPENQASM"},
                  "Unexpected end of input: expected OPENQASM"},
        ErrorCase{InvalidVersion{";"}, "Invalid OPENQASM version: ;"},
        ErrorCase{UndefinedIdentifier{"r"}, "Undefined identifier: r"},
        ErrorCase{DuplicateDeclaration{"q"}, "Duplicate declaration: q"},
        ErrorCase{UnknownGate{"foo"}, "Unknown gate: foo"},
        ErrorCase{WrongQubitCount{"cx", 2, 1},
                  "Gate 'cx' expects 2 qubits, got 1"},
        ErrorCase{WrongParamCount{"rz", 1, 0},
                  "Gate 'rz' expects 1 parameters, got 0"},
        ErrorCase{IndexOutOfBounds{4294967296u, "q", 2},
                  "Index 4294967296 out of bounds for register 'q' of size 2"},
        ErrorCase{CircuitError{ir::InvalidNodeIndex{}},
                  "Circuit error: Invalid node index"},
        ErrorCase{Other{"If statements not yet supported"},
                  "Parse error: If statements not yet supported"}));

TEST(ParseError, ir_error_converts_unchanged) {
  const ir::IrError source =
      ir::QubitNotFound{ir::QubitId{5}, std::string("h")};
  const ParseError converted = to_parse_error(source);
  ASSERT_TRUE(std::holds_alternative<CircuitError>(converted));
  EXPECT_EQ(to_string(converted), "Circuit error: " + ir::to_string(source));
  EXPECT_EQ(converted.index(), 10u);
}

}  // namespace
}  // namespace qelto::qasm3
