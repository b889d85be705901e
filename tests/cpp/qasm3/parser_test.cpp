#include "qasm3/parser.hpp"

#include "qasm3/syntax_text.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "assigned_text.hpp"
#include "text_case.hpp"

namespace qelto::qasm3 {
namespace {

// The program's debug text, or the error's display text.
std::string outcome(std::string_view source) {
  auto program = program_text(source);
  return program ? *program : to_string(program.error());
}

// Parses `body` after a header line; gives each statement's debug text on a
// line of its own, or the error's display text.
std::string statements(const std::string& body) {
  std::string source = "OPENQASM 3.0;\n" + body;
  Parser reader(source);
  if (auto header = reader.parse_header(); !header) {
    return to_string(header.error());
  }
  std::string out;
  for (;;) {
    auto statement = reader.next_statement();
    if (!statement) {
      return to_string(statement.error());
    }
    if (*statement == nullptr) {
      return out;
    }
    out += statement_text(reader.syntax(), **statement) + "\n";
  }
}

using testing_support::Case;
using testing_support::case_name;

class Header : public testing::TestWithParam<Case> {};

TEST_P(Header, parses_or_fails_as_expected) {
  EXPECT_EQ(outcome(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, Header,
    testing::Values(
        Case{"integer_version_gains_point_zero", "OPENQASM 3;",
             R"(Program { version: "3.0", statements: [] })"},
        Case{"float_version_in_float_display", "OPENQASM 3.0;",
             R"(Program { version: "3", statements: [] })"},
        Case{"any_version_accepted", "OPENQASM 2.5;",
             R"(Program { version: "2.5", statements: [] })"},
        Case{"empty_input", "", R"(Program { version: "", statements: [] })"},
        Case{"version_line_is_optional", "qubit q;",
             R"(Program { version: "", statements: [QubitDecl { name: "q", )"
             R"(size: None }] })"},
        Case{"version_line_only_first", "qubit q; OPENQASM 3;",
             "Unexpected token at line 1: expected statement, found OPENQASM"},
        Case{"missing_version", "OPENQASM",
             "Unexpected end of input: version number"},
        Case{"semicolon_as_version", "OPENQASM;",
             "Invalid OPENQASM version: ;"},
        Case{"three_part_version", "OPENQASM 3.0.1;",
             "Unexpected token at line 1: expected ;, found ."},
        Case{"missing_header_semicolon", "OPENQASM 3.0",
             "Unexpected end of input: expected ;"},
        Case{"lexer_failure_beats_earlier_syntax_error",
             "OPENQASM 3.0; qubit; #",
             "Lexer error at position 21: Invalid token: '#'"},
        Case{"failure_where_semicolon_expected", "OPENQASM 3.0 $",
             "Lexer error at position 13: Invalid token: '$'"},
        Case{"failure_as_version", "OPENQASM \xc3\xa9;",
             "Lexer error at position 9: Invalid token: '\xc3\xa9': characters "
             "outside ASCII are not supported outside comments and strings"},
        Case{"physical_qubit", "OPENQASM 3.0; x $0;",
             "Lexer error at position 16: Invalid token: '$': physical qubits "
             "($0, $1, ...) are not supported"},
        Case{"pragma", "OPENQASM 3.0;\n#pragma x",
             "Lexer error at position 14: Invalid token: '#': directives "
             "(#pragma, #dim) are not supported"},
        Case{"oversized_integer_after_syntax_error",
             "OPENQASM 3.0; x = ; y = 18446744073709551616;",
             "Lexer error at position 24: Invalid token: "
             "'18446744073709551616'"},
        Case{"unterminated_comment_after_syntax_error",
             "OPENQASM 3.0; x = ; /* open",
             "Lexer error at position 20: Invalid token: '/* open'"},
        Case{"first_of_several_failures", "OPENQASM 3.0; # $",
             "Lexer error at position 14: Invalid token: '#'"}),
    case_name);

class Statements : public testing::TestWithParam<Case> {};

TEST_P(Statements, parse_into_tree) {
  EXPECT_EQ(statements(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, Statements,
    testing::Values(
        Case{"include", R"(include "stdgates.inc";)",
             "Include { path: \"stdgates.inc\" }\n"},
        Case{"sized_qubit_declaration", "qubit[2] q;",
             "QubitDecl { name: \"q\", size: Some(2) }\n"},
        Case{"single_qubit_declaration", "qubit q;",
             "QubitDecl { name: \"q\", size: None }\n"},
        Case{"bit_declaration", "bit[3] c; bit d;",
             "BitDecl { name: \"c\", size: Some(3) }\n"
             "BitDecl { name: \"d\", size: None }\n"},
        Case{"size_beyond_32_bits_is_kept", "qubit[4294967296] q;",
             "QubitDecl { name: \"q\", size: Some(4294967296) }\n"},
        Case{"index_beyond_32_bits_is_kept", "h q[4294967296];",
             "GateCall { name: \"h\", params: [], qubits: [BitRef { name: "
             "\"q\", index: Some(4294967296) }], modifiers: [] }\n"},
        Case{"measure_without_target", "measure q;",
             "Measure { qubits: [BitRef { name: \"q\", index: None }], "
             "bits: [] }\n"},
        Case{"measure_with_arrow", "measure q[0], q[1] -> c[1], c[0];",
             "Measure { qubits: [BitRef { name: \"q\", index: Some(0) }, "
             "BitRef { name: \"q\", index: Some(1) }], bits: [BitRef { name: "
             "\"c\", index: Some(1) }, BitRef { name: \"c\", index: Some(0) "
             "}] }\n"},
        Case{"measure_assignment", "c = measure q;",
             "Measure { qubits: [BitRef { name: \"q\", index: None }], "
             "bits: [BitRef { name: \"c\", index: None }] }\n"},
        Case{"indexed_measure_assignment", "c[0] = measure q[0];",
             "Measure { qubits: [BitRef { name: \"q\", index: Some(0) }], "
             "bits: [BitRef { name: \"c\", index: Some(0) }] }\n"},
        Case{"reset", "reset q;",
             "Reset { qubits: [BitRef { name: \"q\", index: None }] }\n"},
        Case{"bare_barrier", "barrier;", "Barrier { qubits: [] }\n"},
        Case{"barrier_over_references", "barrier q, r[1];",
             "Barrier { qubits: [BitRef { name: \"q\", index: None }, "
             "BitRef { name: \"r\", index: Some(1) }] }\n"},
        Case{"gate_call_with_parameter", "rx(pi/2) q[0];",
             "GateCall { name: \"rx\", params: [BinOp { left: Pi, op: Div, "
             "right: Int(2) }], qubits: [BitRef { name: \"q\", index: Some(0) "
             "}], modifiers: [] }\n"},
        Case{"empty_parameter_list", "h() q;",
             "GateCall { name: \"h\", params: [], qubits: [BitRef { name: "
             "\"q\", index: None }], modifiers: [] }\n"},
        Case{"qreg_and_creg_declare", "qreg q[2]; creg c[3]; qreg r;",
             "QubitDecl { name: \"q\", size: Some(2) }\n"
             "BitDecl { name: \"c\", size: Some(3) }\n"
             "QubitDecl { name: \"r\", size: None }\n"},
        Case{"qreg_as_register_name", "qreg[0] = measure q;",
             "Measure { qubits: [BitRef { name: \"q\", index: None }], bits: "
             "[BitRef { name: \"qreg\", index: Some(0) }] }\n"},
        Case{"builtin_gates_are_calls", "U(0, 0, pi) q; CX q[0], q[1];",
             "GateCall { name: \"U\", params: [Int(0), Int(0), Pi], qubits: "
             "[BitRef { name: \"q\", index: None }], modifiers: [] }\n"
             "GateCall { name: \"CX\", params: [], qubits: [BitRef { name: "
             "\"q\", index: Some(0) }, BitRef { name: \"q\", index: Some(1) "
             "}], modifiers: [] }\n"},
        Case{"delay_in_dt_or_without_unit", "delay[10] q; delay[20dt] q[1];",
             "Delay { duration: Some(10), qubits: [BitRef { name: \"q\", index: "
             "None }] }\nDelay { duration: Some(20), qubits: [BitRef { name: "
             "\"q\", index: Some(1) }] }\n"},
        Case{"assignment", "x = 5; y[1] = a;",
             "Assign { name: \"x\", index: None, value: Int(5) }\n"
             "Assign { name: \"y\", index: Some(1), value: Identifier(\"a\") "
             "}\n"},
        Case{"gate_definition", "gate g(a, b) q, r { h q; }",
             "GateDef { name: \"g\", params: [\"a\", \"b\"], qubits: [\"q\", "
             "\"r\"], body: [GateCall { name: \"h\", params: [], qubits: "
             "[BitRef { name: \"q\", index: None }], modifiers: [] }] }\n"},
        Case{
            "gate_definition_without_parameters", "gate g q {}",
            "GateDef { name: \"g\", params: [], qubits: [\"q\"], body: [] }\n"},
        Case{"if_else", "if (c == 1) x q; else { y q; }",
             "If { condition: BinOp { left: Identifier(\"c\"), op: Eq, right: "
             "Int(1) }, then_body: [GateCall { name: \"x\", params: [], "
             "qubits: [BitRef { name: \"q\", index: None }], modifiers: [] }], "
             "else_body: Some([GateCall { name: \"y\", params: [], qubits: "
             "[BitRef { name: \"q\", index: None }], modifiers: [] }]) }\n"},
        Case{"if_with_empty_block", "if (true) {}",
             "If { condition: Bool(true), then_body: [], else_body: None }\n"},
        Case{"for_with_step", "for i in [0:2:10] {}",
             "For { variable: \"i\", start: Int(0), end: Int(2), step: "
             "Some(Int(10)), body: [] }\n"},
        Case{"for_without_step", "for i in [0:3] reset q;",
             "For { variable: \"i\", start: Int(0), end: Int(3), step: None, "
             "body: [Reset { qubits: [BitRef { name: \"q\", index: None }] "
             "}] }\n"}),
    case_name);

class SyntaxErrors : public testing::TestWithParam<Case> {};

TEST_P(SyntaxErrors, are_reported_with_exact_text) {
  EXPECT_EQ(statements(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, SyntaxErrors,
    testing::Values(
        Case{"empty_argument", "h(,) q;",
             "Unexpected token at line 2: expected expression, found ,"},
        Case{"shift_ends_expression", "x = 1 << 2;",
             "Unexpected token at line 2: expected ;, found <<"},
        Case{"delay_in_other_units", "delay[10ns] q;",
             "Parse error: delay unit 'ns' is not supported: durations are "
             "read in dt"},
        Case{"delay_of_a_fraction", "delay[1.5] q;",
             "Parse error: delay durations must be a whole number of dt"},
        Case{"brace_statement", "{ x q; }",
             "Unexpected token at line 2: expected statement, found {"},
        Case{"include_identifier", "include x;",
             "Unexpected token at line 2: expected string literal, found x"},
        Case{"include_at_end", "include",
             "Unexpected end of input: include path"},
        Case{"empty_gate_parameters", "gate g() q {}",
             "Unexpected token at line 2: expected identifier, found )"},
        Case{"typed_loop_variable", "for int i in [0:1] x q;",
             "Unexpected token at line 2: expected identifier, found int"},
        Case{"missing_semicolon", "h q", "Unexpected end of input: expected ;"},
        Case{"gate_without_operands", "h",
             "Unexpected end of input: identifier"},
        Case{"symbolic_size", "qubit[n] q;",
             "Unexpected token at line 2: expected integer, found n"},
        Case{"float_index", "h q[1.5];",
             "Unexpected token at line 2: expected integer, found 1.5"},
        Case{"tilde", "x = ~a;",
             "Unexpected token at line 2: expected expression, found ~"},
        Case{"string_in_expression", "x = \"s\";",
             "Unexpected token at line 2: expected expression, found \"s\""},
        Case{"missing_value", "x = ;",
             "Unexpected token at line 2: expected expression, found ;"},
        Case{"value_at_end", "x =", "Unexpected end of input: expression"},
        Case{"unclosed_block", "if (c) { x q;",
             "Unexpected end of input: statement"},
        Case{"unclosed_gate_body", "gate g q { h q;",
             "Unexpected end of input: statement"},
        Case{"measure_arrow_without_target", "measure q -> ;",
             "Unexpected token at line 2: expected identifier, found ;"},
        Case{"compound_assignment", "x += 1;",
             "Unexpected token at line 2: expected identifier, found +="},
        Case{"unclosed_call", "x = f(1;",
             "Unexpected token at line 2: expected ), found ;"},
        Case{"line_counts_comments_and_strings",
             "include \"a\nb\";\n/* c\nd */ h q[0]\nx q;",
             "Unexpected token at line 6: expected ;, found x"},
        Case{"line_counts_crlf_as_one", "qubit q;\r\n\r\nh q q;",
             "Unexpected token at line 4: expected ;, found q"}),
    case_name);

class UnsupportedFeatures : public testing::TestWithParam<Case> {};

TEST_P(UnsupportedFeatures, are_refused_by_name) {
  EXPECT_EQ(statements(GetParam().input),
            "Parse error: " + GetParam().expected + " are not supported");
}

INSTANTIATE_TEST_SUITE_P(
    Parser, UnsupportedFeatures,
    testing::Values(
        Case{"control_modifier", "ctrl @ x q[0], q[1];", "gate modifiers"},
        Case{"counted_control_modifier", "ctrl(2) @ x a, b, c;",
             "gate modifiers"},
        Case{"negative_control", "negctrl @ x q[0], q[1];", "gate modifiers"},
        Case{"inverse_modifier", "inv @ s q;", "gate modifiers"},
        Case{"power_modifier", "pow(2) @ s q;", "gate modifiers"},
        Case{"while_loop", "while (c) { x q; }", "while loops"},
        Case{"subroutine", "def f() {}", "subroutines (def)"},
        Case{"constant", "const int n = 2;", "const declarations"},
        Case{"input", "input float theta;", "input and output declarations"},
        Case{"output", "output bit c;", "input and output declarations"},
        Case{"alias", "let a = q;", "aliases (let)"},
        Case{"int_variable", "int[8] n = 1;", "classical types"},
        Case{"float_variable", "float x;", "classical types"},
        Case{"bool_variable", "bool b = true;", "classical types"},
        Case{"angle_variable", "angle[20] a;", "classical types"},
        Case{"uint_variable", "uint n;", "classical types"},
        Case{"box", "box { x q; }", "box statements"},
        Case{"switch", "switch (n) { }", "switch statements"},
        Case{"calibration", "defcal x q { }", "calibrations"}),
    case_name);

class Expressions : public testing::TestWithParam<Case> {};

TEST_P(Expressions, parse_with_precedence_and_associativity) {
  EXPECT_EQ(testing_support::assigned_text(GetParam().input),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, Expressions,
    testing::Values(
        Case{"tighter_levels_bind_first", "1 + 2 * 3 ** 2",
             "BinOp { left: Int(1), op: Add, right: BinOp { left: Int(2), op: "
             "Mul, right: BinOp { left: Int(3), op: Pow, right: Int(2) } } }"},
        Case{"subtraction_is_left_associative", "1 - 2 - 3",
             "BinOp { left: BinOp { left: Int(1), op: Sub, right: Int(2) }, "
             "op: Sub, right: Int(3) }"},
        Case{"power_is_left_associative", "2 ** 3 ** 2",
             "BinOp { left: BinOp { left: Int(2), op: Pow, right: Int(3) }, "
             "op: Pow, right: Int(2) }"},
        Case{"and_binds_tighter_than_or", "a || b && c",
             "BinOp { left: Identifier(\"a\"), op: Or, right: BinOp { left: "
             "Identifier(\"b\"), op: And, right: Identifier(\"c\") } }"},
        Case{"bitwise_levels", "a | b ^ c & d",
             "BinOp { left: Identifier(\"a\"), op: BitOr, right: BinOp { left: "
             "Identifier(\"b\"), op: BitXor, right: BinOp { left: "
             "Identifier(\"c\"), op: BitAnd, right: Identifier(\"d\") } } }"},
        Case{"comparison_below_equality", "a == b <= c",
             "BinOp { left: Identifier(\"a\"), op: Eq, right: BinOp { left: "
             "Identifier(\"b\"), op: LtEq, right: Identifier(\"c\") } }"},
        Case{"additive_above_comparison", "a > b - c",
             "BinOp { left: Identifier(\"a\"), op: Gt, right: BinOp { left: "
             "Identifier(\"b\"), op: Sub, right: Identifier(\"c\") } }"},
        Case{"same_level_left_to_right", "a % b / c",
             "BinOp { left: BinOp { left: Identifier(\"a\"), op: Mod, right: "
             "Identifier(\"b\") }, op: Div, right: Identifier(\"c\") }"},
        Case{"remaining_operators", "a != b >= c < d",
             "BinOp { left: Identifier(\"a\"), op: NotEq, right: BinOp { left: "
             "BinOp { left: Identifier(\"b\"), op: GtEq, right: "
             "Identifier(\"c\") }, op: Lt, right: Identifier(\"d\") } }"},
        Case{"unary_binds_tighter_than_power", "-2 ** 2",
             "BinOp { left: Neg(Int(2)), op: Pow, right: Int(2) }"},
        Case{"bang_is_negation", "!-a", "Neg(Neg(Identifier(\"a\")))"},
        Case{"parentheses_are_kept", "(1 + 2) * 3",
             "BinOp { left: Paren(BinOp { left: Int(1), op: Add, right: Int(2) "
             "}), op: Mul, right: Int(3) }"},
        Case{"call", "sin(pi, 2)",
             "FnCall { name: \"sin\", args: [Pi, Int(2)] }"},
        Case{"call_without_arguments", "f()",
             "FnCall { name: \"f\", args: [] }"},
        Case{"constants", "tau - euler + true * false",
             "BinOp { left: BinOp { left: Tau, op: Sub, right: Euler }, op: "
             "Add, right: BinOp { left: Bool(true), op: Mul, right: "
             "Bool(false) } }"},
        Case{"floats", "1.5 + 2e20 + 0.00001 + 3.",
             "BinOp { left: BinOp { left: BinOp { left: Float(1.5), op: Add, "
             "right: Float(2e20) }, op: Add, right: Float(1e-5) }, op: Add, "
             "right: Float(3.0) }"},
        Case{"largest_integer_keeps_its_value", "18446744073709551615",
             "Int(18446744073709551615)"}),
    case_name);

std::string repeat(std::string_view text, std::size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (std::size_t i = 0; i < times; ++i) {
    out += text;
  }
  return out;
}

constexpr std::size_t kDeep = 100000;

// Expressions nest as deep as their text: the parser keeps its own stacks.
class DeepExpressions : public testing::TestWithParam<Case> {};

TEST_P(DeepExpressions, parse_into_their_whole_tree) {
  // Compared without printing: a failure would show megabytes.
  EXPECT_TRUE(statements(GetParam().input) == GetParam().expected)
      << statements(GetParam().input).substr(0, 200);
}

std::string assigned(const std::string& value) {
  return "Assign { name: \"x\", index: None, value: " + value + " }\n";
}

INSTANTIATE_TEST_SUITE_P(
    Parser, DeepExpressions,
    testing::Values(
        Case{"parentheses",
             "x = " + repeat("(", kDeep) + "1" + repeat(")", kDeep) + ";",
             assigned(repeat("Paren(", kDeep) + "Int(1)" + repeat(")", kDeep))},
        Case{"unclosed_parentheses", "x = " + repeat("(", kDeep),
             "Unexpected end of input: expression"},
        Case{"minus", "x = " + repeat("-", kDeep) + "1;",
             assigned(repeat("Neg(", kDeep) + "Int(1)" + repeat(")", kDeep))},
        Case{"bang", "x = " + repeat("!", kDeep) + "1;",
             assigned(repeat("Neg(", kDeep) + "Int(1)" + repeat(")", kDeep))},
        Case{"calls",
             "x = " + repeat("f(", kDeep) + "1" + repeat(")", kDeep) + ";",
             assigned(repeat("FnCall { name: \"f\", args: [", kDeep) +
                      "Int(1)" + repeat("] }", kDeep))},
        Case{"sum_chain", "x = 1" + repeat(" + 1", kDeep) + ";",
             assigned(repeat("BinOp { left: ", kDeep) + "Int(1)" +
                      repeat(", op: Add, right: Int(1) }", kDeep))},
        Case{"power_chain", "rx(2" + repeat("**2", kDeep) + ") q;",
             "GateCall { name: \"rx\", params: [" +
                 repeat("BinOp { left: ", kDeep) + "Int(2)" +
                 repeat(", op: Pow, right: Int(2) }", kDeep) +
                 "], qubits: [BitRef { name: \"q\", index: None }], "
                 "modifiers: [] }\n"},
        Case{"right_nested_sum",
             "x = " + repeat("1 + (", kDeep) + "1" + repeat(")", kDeep) + ";",
             assigned(repeat("BinOp { left: Int(1), op: Add, right: Paren(",
                             kDeep) +
                      "Int(1)" + repeat(") }", kDeep))}),
    case_name);

// Statement bodies recurse: nesting past the bound is refused cleanly.
class DeepBodies : public testing::TestWithParam<Case> {};

TEST_P(DeepBodies, are_refused_with_the_limit_named) {
  EXPECT_EQ(statements(GetParam().input),
            "Parse error: Nesting deeper than 256 levels is not supported");
}

INSTANTIATE_TEST_SUITE_P(
    Parser, DeepBodies,
    testing::Values(
        Case{"if_bodies", repeat("if (c) ", kDeep) + "x q;", ""},
        Case{"if_blocks", repeat("if (c) {", kDeep) + repeat("}", kDeep), ""},
        Case{"else_bodies", repeat("if (c) x q; else ", kDeep) + "x q;", ""},
        Case{"for_bodies", repeat("for i in [0:1] ", kDeep) + "x q;", ""},
        Case{"gate_bodies", repeat("gate g q {", kDeep) + repeat("}", kDeep),
             ""},
        // An expression inside does not count, however deep.
        Case{"bodies_around_deep_conditions",
             repeat("if (" + repeat("(", 1000) + "c" + repeat(")", 1000) +
                        ") ",
                    300) +
                 "x q;",
             ""}),
    case_name);

TEST(Parser, accepts_nesting_up_to_the_limit) {
  const std::size_t levels = kMaxNestingDepth - 1;
  const std::vector<std::string> sources = {
      "x = " + repeat("(", levels) + "1" + repeat(")", levels) + ";",
      "x = 1" + repeat(" + 1", levels) + ";",
      "x = " + repeat("-", levels) + "1;",
      repeat("if (c) ", levels) + "x q;",
  };
  for (const std::string& source : sources) {
    auto program = program_text("OPENQASM 3;" + source);
    EXPECT_TRUE(program.has_value()) << to_string(program.error());
  }
}

}  // namespace
}  // namespace qelto::qasm3
