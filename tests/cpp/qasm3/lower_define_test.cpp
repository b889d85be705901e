// Reading what other toolkits write: OpenQASM 2, gate definitions,
// register broadcast, delays, and where errors are found.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "circuit_text.hpp"
#include "qasm3/lower.hpp"
#include "qasm3/read.hpp"
#include "text_case.hpp"

namespace qelto::qasm3 {
namespace {

using testing_support::Case;
using testing_support::case_name;
using testing_support::lowered;

class Ecosystem : public testing::TestWithParam<Case> {};

TEST_P(Ecosystem, reads_into_the_circuit) {
  EXPECT_EQ(lowered(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lower, Ecosystem,
    testing::Values(
        Case{"openqasm2_program",
             "include \"qelib1.inc\"; qreg q[2]; creg c[2]; U(0, 0, pi) q[0]; "
             "CX q[0], q[1]; measure q -> c;",
             "q=2 c=2 | u(0, 0, pi) 0; cx 0,1; measure 0->0; measure 1->1;"},
        Case{"registers_of_both_spellings", "qreg a[1]; qubit[2] b; x b[1];",
             "q=3 c=0 | x 2;"},
        Case{"two_registers_broadcast_pairwise",
             "qubit[3] a; qubit[3] b; cx a, b;",
             "q=6 c=0 | cx 0,3; cx 1,4; cx 2,5;"},
        Case{"single_qubit_repeats_in_broadcast",
             "qubit[3] a; qubit t; cx t, a;",
             "q=4 c=0 | cx 3,0; cx 3,1; cx 3,2;"},
        Case{"whole_register_naming_every_operand_applies_once",
             "qubit[2] q; cx q;", "q=2 c=0 | cx 0,1;"},
        Case{"delay_without_unit_and_in_dt",
             "qubit[2] q; delay[100] q[0]; delay[7dt] q;",
             "q=2 c=0 | delay[100] 0; delay[7] 0; delay[7] 1;"},
        Case{"definition_expands_with_parameters_and_qubits",
             "gate g(a, b) x, y { rz(a) x; cx y, x; ry(b / 2) y; } "
             "qubit[2] q; g(1, pi) q[1], q[0];",
             "q=2 c=0 | rz(1) 1; cx 0,1; ry((pi / 2)) 0;"},
        Case{"definition_uses_earlier_definition",
             "gate a x { h x; } gate b x, y { a x; cx x, y; a y; } "
             "qubit[2] q; b q[0], q[1];",
             "q=2 c=0 | h 0; cx 0,1; h 1;"},
        Case{"definition_broadcasts_over_registers",
             "gate a x, y { cz x, y; } qubit[2] p; qubit[2] q; a p, q;",
             "q=4 c=0 | cz 0,2; cz 1,3;"},
        Case{"parameter_folds_through_a_function",
             "gate g(t) x { rx(cos(t)) x; } qubit q; g(0) q;",
             "q=1 c=0 | rx(1) 0;"},
        Case{"definition_of_a_catalogue_gate_is_that_gate",
             "gate rzz(t) a, b { cx a, b; rz(t) b; cx a, b; } "
             "gate cz a, b { h b; cx a, b; h b; } qubit[2] q; cz q[0], q[1];",
             "q=2 c=0 | cz 0,1;"},
        Case{"barrier_in_a_body_fences_its_qubits",
             "gate g x, y { barrier x, y; barrier; } qubit[3] q; g q[2], q[0];",
             "q=3 c=0 | barrier 2,0; barrier 2,0;"},
        Case{"definition_after_a_late_declaration_reads_again",
             "gate g x { x x; } qubit a; g a; qubit b; g b;",
             "q=2 c=0 | x 0; x 1;"}),
    case_name);

class EcosystemErrors : public testing::TestWithParam<Case> {};

TEST_P(EcosystemErrors, are_refused_with_their_cause) {
  EXPECT_EQ(lowered(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lower, EcosystemErrors,
    testing::Values(
        Case{"registers_of_different_sizes",
             "qubit[2] a; qubit[3] b; cx a, b;",
             "Parse error: Registers of different sizes (2 and 3) in one call "
             "of 'cx'"},
        Case{"global_phase", "qubit q; gphase(pi) q;",
             "Parse error: global phase (gphase) is not supported"},
        Case{"call_before_its_definition", "qubit q; g q; gate g x { h x; }",
             "Unknown gate: g"},
        Case{"recursive_definition", "gate g x { g x; }", "Unknown gate: g"},
        Case{"definition_given_twice", "gate g x { } gate g x { }",
             "Duplicate declaration: g"},
        Case{"body_names_an_outside_qubit", "qubit q; gate g x { h q; }",
             "Undefined identifier: q"},
        Case{"body_indexes_a_qubit", "gate g x { h x[0]; }",
             "Undefined identifier: x"},
        Case{"body_calls_with_wrong_counts", "gate g x { cx x; }",
             "Gate 'cx' expects 2 qubits, got 1"},
        Case{"call_with_wrong_parameter_count",
             "gate g(a) x { rz(a) x; } qubit q; g q;",
             "Gate 'g' expects 1 parameters, got 0"},
        Case{"measurement_in_a_body", "gate g x { measure x; }",
             "Parse error: Only gate calls and barriers are supported in a "
             "gate body"},
        Case{"angle_from_a_division_by_zero", "qubit q; rx(cos(1/0)) q;",
             "Parse error: Angle is not a finite number (nan)"},
        Case{"overflowing_angle", "qubit q; rx(exp(1000)) q;",
             "Parse error: Angle is not a finite number (inf)"},
        Case{"overflowing_literal", "qubit q; rx(1e999) q;",
             "Parse error: Angle is not a finite number (inf)"},
        Case{"non_finite_angle_inside_a_definition",
             "gate g(t) x { rx(ln(t)) x; } qubit q; g(0) q;",
             "Parse error: Angle is not a finite number (-inf)"}),
    case_name);

// Each definition calls the previous one twice, so the last of n expands to
// 2^n operations (or calls, below a first one that makes none): far past
// the limit, and refused before any expansion.
std::string doubling_chain(int levels, std::string_view first = "h x;") {
  std::string text =
      "OPENQASM 3; qubit q; gate g0 x { " + std::string(first) + " }";
  for (int i = 1; i <= levels; ++i) {
    const std::string prev = "g" + std::to_string(i - 1);
    text += " gate g" + std::to_string(i) + " x { " + prev + " x; " + prev +
            " x; }";
  }
  return text + " g" + std::to_string(levels) + " q;";
}

TEST(Expansion, exponential_chain_is_refused_before_expanding) {
  auto circuit = parse(doubling_chain(200));
  ASSERT_FALSE(circuit);
  EXPECT_EQ(to_string(circuit.error()),
            "Parse error: Gate definitions expand to more than 1048576 "
            "operations");
}

TEST(Expansion, exponential_chain_over_nothing_is_refused_before_expanding) {
  // Expanding a call takes work even when it makes no operation.
  for (const std::string_view first : {"", "id x;", "barrier x; id x;"}) {
    auto circuit = parse(doubling_chain(200, first));
    ASSERT_FALSE(circuit) << first;
    EXPECT_EQ(to_string(circuit.error()),
              "Parse error: Gate definitions expand to more than 1048576 "
              "operations");
  }
}

TEST(Expansion, limit_holds_across_calls) {
  // 2^19 operations a call: two calls reach the limit, a third passes it.
  const std::string chain = doubling_chain(19);
  EXPECT_TRUE(parse(chain + " g19 q;"));
  auto circuit = parse(chain + " g19 q; g19 q;");
  ASSERT_FALSE(circuit);
  EXPECT_EQ(to_string(circuit.error()),
            "Parse error: Gate definitions expand to more than 1048576 "
            "operations");
}

// Every name in a body denotes its place in the signature, however wide the
// definition and in whatever order the body uses its names; other names stay
// free symbols. Checked against the circuit written out directly.
TEST(Expansion, names_resolve_to_their_places_in_wide_definitions) {
  std::mt19937 random(14);
  for (const int width : {1, 2, 7, 64, 600}) {
    std::vector<int> order(width);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    std::string params, qubits, body, args, operands;
    std::string expected = "q=" + std::to_string(width) + " c=0 |";
    for (int i = 0; i < width; ++i) {
      const std::string sep = i == 0 ? "" : ", ";
      params += sep + "t" + std::to_string(i);
      qubits += sep + "a" + std::to_string(i);
      args += sep + std::to_string(i);
      operands += sep + "q[" + std::to_string(width - 1 - i) + "]";
      const int param = order[i], qubit = order[(i + 1) % width];
      body += "rz(t" + std::to_string(param) + " + s) a" +
              std::to_string(qubit) + "; ";
      expected += " rz((" + std::to_string(param) + " + s)) " +
                  std::to_string(width - 1 - qubit) + ";";
    }
    const std::string text = "qubit[" + std::to_string(width) +
                             "] q; gate g(" + params + ") " + qubits + " { " +
                             body + "} g(" + args + ") " + operands + ";";
    EXPECT_EQ(lowered(text), expected) << "width " << width;
  }
}

TEST(Expansion, nesting_beyond_the_depth_limit_is_refused) {
  std::string text = "OPENQASM 3; gate g0 x { h x; }";
  for (std::uint32_t i = 1; i <= kMaxGateDepth; ++i) {
    text += " gate g" + std::to_string(i) + " x { g" + std::to_string(i - 1) +
            " x; }";
  }
  auto circuit = parse(text);
  ASSERT_FALSE(circuit);
  EXPECT_EQ(to_string(circuit.error()),
            "Parse error: Gate definitions nested deeper than 256 levels are "
            "not supported");
}

struct PlaceCase {
  std::string name;
  std::string source;
  std::size_t offset;
  std::size_t line;
  std::size_t column;
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.source; }

class ErrorPlace : public testing::TestWithParam<PlaceCase> {};

TEST_P(ErrorPlace, is_reported_with_offset_line_and_column) {
  auto circuit = read(GetParam().source);
  ASSERT_FALSE(circuit);
  EXPECT_EQ(circuit.error().offset, GetParam().offset);
  EXPECT_EQ(circuit.error().line, GetParam().line);
  EXPECT_EQ(circuit.error().column, GetParam().column);
}

INSTANTIATE_TEST_SUITE_P(
    Read, ErrorPlace,
    testing::Values(
        PlaceCase{"syntax_error_at_its_token", "qubit q;\nh q q;", 13, 2, 5},
        PlaceCase{"end_of_input_at_the_end", "qubit q;\nh q", 12, 2, 4},
        PlaceCase{"lexer_error_at_its_character", "qubit q; $", 9, 1, 10},
        PlaceCase{"unknown_gate_at_the_statement", "qubit q;\n  hh q;", 11, 2,
                  3},
        PlaceCase{"undefined_register_at_its_name", "qubit q;\ncx q, r;", 15, 2,
                  7},
        PlaceCase{"column_counts_characters", "qubit q; // é\n/*é*/ é", 22, 2,
                  7},
        PlaceCase{"declaration_error_at_the_declaration",
                  "h q;\nqubit[4294967296] q;", 5, 2, 1},
        PlaceCase{"unsupported_feature_at_its_word", "qubit[2] q; ctrl @ x q;",
                  17, 1, 18}),
    [](const testing::TestParamInfo<PlaceCase>& row) {
      return row.param.name;
    });

}  // namespace
}  // namespace qelto::qasm3
