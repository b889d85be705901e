#include "qasm3/lower.hpp"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <ostream>
#include <string>
#include <type_traits>

#include "ir/gate_catalogue.hpp"
#include "qasm3/parser.hpp"
#include "text_case.hpp"

namespace qelto::qasm3 {
namespace {

using ir::ParameterExpression;

std::string number(double value) {
  std::array<char, 64> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return std::string(buf.data(), end);
}

std::string param_text(const ParameterExpression& p) {
  return std::visit(
      [](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        using PE = ParameterExpression;
        if constexpr (std::is_same_v<E, PE::Constant>) {
          return number(e.value);
        } else if constexpr (std::is_same_v<E, PE::Symbol>) {
          return e.name;
        } else if constexpr (std::is_same_v<E, PE::Pi>) {
          return "pi";
        } else if constexpr (std::is_same_v<E, PE::Neg>) {
          return "-" + param_text(*e.operand);
        } else {
          const char* op = std::is_same_v<E, PE::Add>   ? " + "
                           : std::is_same_v<E, PE::Sub> ? " - "
                           : std::is_same_v<E, PE::Mul> ? " * "
                                                        : " / ";
          return "(" + param_text(*e.left) + op + param_text(*e.right) + ")";
        }
      },
      p.node());
}

template <class List>
std::string operands(const List& list) {
  std::string out;
  for (const auto& id : list) {
    out += (out.empty() ? "" : ",") + std::to_string(id.index);
  }
  return out;
}

std::string instruction_text(const ir::Instruction& instruction) {
  if (const ir::Gate* gate = instruction.gate()) {
    std::string text(gate->name());
    std::string params;
    for (const ParameterExpression& p : gate->parameters()) {
      params += (params.empty() ? "" : ", ") + param_text(p);
    }
    if (!params.empty()) {
      text += "(" + params + ")";
    }
    return text + " " + operands(instruction.qubits);
  }
  if (std::holds_alternative<ir::Measure>(instruction.kind)) {
    return "measure " + operands(instruction.qubits) + "->" +
           operands(instruction.clbits);
  }
  if (std::holds_alternative<ir::Reset>(instruction.kind)) {
    return "reset " + operands(instruction.qubits);
  }
  return "barrier " + operands(instruction.qubits);
}

// "q=2 c=2 | h 0; cx 0,1" with the operations in the order they were
// applied, or the error's display text.
std::string lowered(const std::string& body) {
  auto circuit = parse("OPENQASM 3.0;\n" + body);
  if (!circuit) {
    return to_string(circuit.error());
  }
  std::string out = "q=" + std::to_string(circuit->num_qubits()) +
                    " c=" + std::to_string(circuit->num_clbits()) + " |";
  const ir::CircuitDag& dag = circuit->dag();
  for (std::uint32_t i = 0; i < dag.node_count(); ++i) {
    if (const auto* op = std::get_if<ir::Op>(dag.node(ir::NodeIndex{i}))) {
      out += " " + instruction_text(op->instruction) + ";";
    }
  }
  return out;
}

using testing_support::Case;
using testing_support::case_name;

class Lowering : public testing::TestWithParam<Case> {};

TEST_P(Lowering, builds_the_circuit) {
  EXPECT_EQ(lowered(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lower, Lowering,
    testing::Values(
        Case{"bell",
             "qubit[2] q; bit[2] c; h q[0]; cx q[0], q[1]; c = measure q;",
             "q=2 c=2 | h 0; cx 0,1; measure 0->0; measure 1->1;"},
        Case{"broadcast_in_register_order", "qubit[3] q; h q;",
             "q=3 c=0 | h 0; h 1; h 2;"},
        Case{"broadcast_copies_the_angle", "qubit[2] q; rx(0.5) q;",
             "q=2 c=0 | rx(0.5) 0; rx(0.5) 1;"},
        Case{"registers_laid_out_contiguously",
             "qubit[2] a; qubit[3] b; x b[0]; x a[1]; x b;",
             "q=5 c=0 | x 2; x 1; x 2; x 3; x 4;"},
        Case{"use_before_declaration", "h q[1]; qubit[2] q;", "q=2 c=0 | h 1;"},
        Case{"redeclaration_after_use_moves_earlier_operations",
             "qubit[2] q; h q[1]; qubit[3] q;", "q=5 c=0 | h 3;"},
        Case{"redeclaration_after_use_widens_the_register",
             "qubit q; h q[1]; qubit[2] q;", "q=3 c=0 | h 2;"},
        Case{"later_declaration_wins_and_both_count",
             "qubit[2] q; qubit[3] q; x q;", "q=5 c=0 | x 2; x 3; x 4;"},
        Case{"qubit_and_bit_namespaces_are_separate",
             "qubit r; bit[2] r; measure r -> r[1];",
             "q=1 c=2 | measure 0->1;"},
        Case{"single_declarations_have_one_bit",
             "qubit a; qubit b; bit c; x b;", "q=2 c=1 | x 1;"},
        Case{"surplus_measure_operands_ignored",
             "qubit[3] q; bit[2] c; measure q -> c;",
             "q=3 c=2 | measure 0->0; measure 1->1;"},
        Case{"measure_without_target_measures_nothing", "qubit q; measure q;",
             "q=1 c=0 |"},
        Case{"measure_list_pairs_across_registers",
             "qubit[2] a; qubit b; bit[3] c; measure a, b -> c[2], c[0], c[1];",
             "q=3 c=3 | measure 0->2; measure 1->0; measure 2->1;"},
        Case{"bare_barrier_covers_all_qubits", "qubit[2] q; barrier;",
             "q=2 c=0 | barrier 0,1;"},
        Case{"barrier_over_listed_qubits", "qubit[3] q; barrier q[2], q[0];",
             "q=3 c=0 | barrier 2,0;"},
        Case{"barrier_over_empty_register_covers_all",
             "qubit[0] e; qubit[2] q; barrier e;", "q=2 c=0 | barrier 0,1;"},
        Case{"reset_is_one_per_qubit", "qubit[2] q; reset q;",
             "q=2 c=0 | reset 0; reset 1;"},
        Case{"symbolic_angle", "qubit q; rx(theta) q;",
             "q=1 c=0 | rx(theta) 0;"},
        Case{"tau_is_a_constant", "qubit q; rx(tau/2) q;",
             "q=1 c=0 | rx((6.283185307179586 / 2)) 0;"},
        Case{"euler_negation_and_parentheses", "qubit q; rz(-(euler * pi)) q;",
             "q=1 c=0 | rz(-(2.718281828459045 * pi)) 0;"},
        Case{"integer_beyond_signed_range_keeps_value",
             "qubit q; rz(18446744073709551615) q;",
             "q=1 c=0 | rz(18446744073709551616) 0;"},
        Case{"functions_of_numbers_fold",
             "qubit q; rz(sqrt(4)) q; rz(ln(1) - exp(0)) q; rz(sin(0)) q;",
             "q=1 c=0 | rz(2) 0; rz((0 - 1)) 0; rz(0) 0;"},
        Case{"nested_function_calls_fold", "qubit q; rz(cos(sin(0))) q;",
             "q=1 c=0 | rz(1) 0;"},
        Case{"function_arguments_fold_all_operators",
             "qubit q; rz(sqrt(2 ** 4 % 7)) q; rz(tan(-0)) q;",
             "q=1 c=0 | rz(1.4142135623730951) 0; rz(-0) 0;"},
        Case{"no_operations",
             "qubit q; x = 5; include \"stdgates.inc\"; id q; i q;",
             "q=1 c=0 |"},
        Case{"ignored_parameters",
             "qubit[2] q; h(1, 2) q[0]; cx(pi) q[0], q[1];",
             "q=2 c=0 | h 0; cx 0,1;"},
        Case{"names_are_case_insensitive",
             "qubit[2] q; H q[0]; Cx q[0], q[1]; RZ(1) q[1];",
             "q=2 c=0 | h 0; cx 0,1; rz(1) 1;"},
        Case{"two_qubit_gate_takes_whole_register", "qubit[2] q; cx q;",
             "q=2 c=0 | cx 0,1;"},
        Case{
            "one_qubit_gates",
            "qubit q; y q; z q; s q; t q; sdg q; tdg q; sx q; ry(1) q; p(2) q; "
            "phase(3) q; u(1, 2, 3) q; u3(4, 5, 6) q; prx(1, 2) q;",
            "q=1 c=0 | y 0; z 0; s 0; t 0; sdg 0; tdg 0; sx 0; ry(1) 0; p(2) "
            "0; "
            "p(3) 0; u(1, 2, 3) 0; u(4, 5, 6) 0; prx(1, 2) 0;"},
        Case{
            "multi_qubit_gates_and_aliases",
            "qubit[3] q; cnot q[1], q[0]; cy q[0], q[1]; cz q[0], q[1]; "
            "swap q[0], q[2]; iswap q[2], q[1]; cp(1) q[0], q[1]; "
            "cphase(2) q[1], q[0]; crz(3) q[0], q[2]; ccx q; toffoli q[2], "
            "q[1], q[0]; cswap q; fredkin q[1], q[0], q[2];",
            "q=3 c=0 | cx 1,0; cy 0,1; cz 0,1; swap 0,2; iswap 2,1; cp(1) 0,1; "
            "cp(2) 1,0; crz(3) 0,2; ccx 0,1,2; ccx 2,1,0; cswap 0,1,2; "
            "cswap 1,0,2;"},
        Case{"gates_the_reader_once_refused",
             "qubit[2] q; SXdg q; ch q[1], q[0]; crx(1) q[0], q[1]; "
             "cry(2) q[0], q[1]; rxx(3) q; ryy(4) q; rzz(5) q;",
             "q=2 c=0 | sxdg 0; sxdg 1; ch 1,0; crx(1) 0,1; cry(2) 0,1; "
             "rxx(3) 0,1; ryy(4) 0,1; rzz(5) 0,1;"},
        Case{"qelib1_aliases_map_their_parameters",
             "qubit[2] q; u1(1) q[0]; u2(2, 3) q[0]; u0(4) q[0]; "
             "cu1(5) q[0], q[1]; cu3(6, 7, 8) q[0], q[1]; r(1, 2) q[1]; "
             "CU1(9) q[1], q[0];",
             "q=2 c=0 | p(1) 0; u((pi / 2), 2, 3) 0; cp(5) 0,1; "
             "cu(6, 7, 8, 0) 0,1; prx(1, 2) 1; cp(9) 1,0;"},
        Case{"gates_added_to_the_catalogue",
             "qubit[5] q; cu(1, 2, 3, 4) q[0], q[1]; csx q[0], q[1]; "
             "rccx q[0], q[1], q[2]; rc3x q[0], q[1], q[2], q[3]; "
             "c3sqrtx q[3], q[2], q[1], q[0]; c3sx q[0], q[1], q[2], q[3]; "
             "c3x q[0], q[1], q[2], q[4]; c4x q; cs q[0], q[1]; "
             "csdg q[1], q[0]; ccz q[0], q[1], q[2]; rzx(1) q[0], q[1]; "
             "ecr q[1], q[0]; dcx q[0], q[1]; id q[0]; sxdg q[4];",
             "q=5 c=0 | cu(1, 2, 3, 4) 0,1; csx 0,1; rccx 0,1,2; "
             "rc3x 0,1,2,3; c3sqrtx 3,2,1,0; c3sqrtx 0,1,2,3; c3x 0,1,2,4; "
             "c4x 0,1,2,3,4; cs 0,1; csdg 1,0; ccz 0,1,2; rzx(1) 0,1; "
             "ecr 1,0; dcx 0,1; sxdg 4;"}),
    case_name);

class LoweringErrors : public testing::TestWithParam<Case> {};

TEST_P(LoweringErrors, report_the_first_failure) {
  EXPECT_EQ(lowered(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lower, LoweringErrors,
    testing::Values(
        Case{"too_few_qubits", "qubit[2] q; cx q[0];",
             "Gate 'cx' expects 2 qubits, got 1"},
        Case{"too_many_qubits", "qubit[3] q; swap q;",
             "Gate 'swap' expects 2 qubits, got 3"},
        Case{"missing_parameter", "qubit q; rx q;",
             "Gate 'rx' expects 1 parameters, got 0"},
        Case{"alias_reports_canonical_name", "qubit q; u3(1, 2) q;",
             "Gate 'u' expects 3 parameters, got 2"},
        Case{"cnot_reports_cx", "qubit q; cnot q;",
             "Gate 'cx' expects 2 qubits, got 1"},
        Case{"parameter_count_before_qubit_count", "qubit q; cphase q;",
             "Gate 'cp' expects 1 parameters, got 0"},
        Case{"qubit_count_after_parameters", "qubit q; crz(1) q;",
             "Gate 'crz' expects 2 qubits, got 1"},
        Case{"index_out_of_range", "qubit q; bit[2] c; measure q[0] -> c[5];",
             "Index 5 out of bounds for register 'c' of size 2"},
        Case{"index_beyond_32_bits_not_wrapped", "qubit[2] q; h q[4294967296];",
             "Index 4294967296 out of bounds for register 'q' of size 2"},
        Case{"assignment_target_beyond_32_bits_not_wrapped",
             "qubit q; bit[2] c; c[4294967296] = measure q[0];",
             "Index 4294967296 out of bounds for register 'c' of size 2"},
        Case{"qubit_register_is_no_bit_register", "qubit q; measure q -> q;",
             "Undefined identifier: q"},
        Case{"undeclared_register", "h q;", "Undefined identifier: q"},
        Case{"qreg_without_declaration", "qreg q[2];",
             "Undefined identifier: q"},
        Case{"qreg_is_unknown", "qubit[3] q; qreg q[2];", "Unknown gate: qreg"},
        Case{"unknown_gate_in_lower_case", "qubit q; HH q;",
             "Unknown gate: hh"},
        Case{"mapping_alias_reports_its_own_name", "qubit q; u2(1) q;",
             "Gate 'u2' expects 2 parameters, got 1"},
        Case{"dropping_alias_checks_its_parameter", "qubit q; u0 q;",
             "Gate 'u0' expects 1 parameters, got 0"},
        Case{"alias_with_an_added_parameter_checks_qubits",
             "qubit q; cu3(1, 2, 3) q;", "Gate 'cu3' expects 2 qubits, got 1"},
        Case{"widest_gate_checks_qubits", "qubit[4] q; c4x q;",
             "Gate 'c4x' expects 5 qubits, got 4"},
        Case{"four_parameter_gate_checks_parameters",
             "qubit[2] q; cu(1, 2, 3) q[0], q[1];",
             "Gate 'cu' expects 4 parameters, got 3"},
        Case{"power_operator", "qubit q; rx(2**2) q;",
             "Parse error: Unsupported operator in parameter: Pow"},
        Case{"comparison_operator", "qubit q; rx(1 == 2) q;",
             "Parse error: Unsupported operator in parameter: Eq"},
        Case{"operand_errors_before_operator", "qubit q; rx(a < true) q;",
             "Parse error: Cannot convert expression to parameter: Bool(true)"},
        Case{"boolean_parameter", "qubit q; rx(true) q;",
             "Parse error: Cannot convert expression to parameter: Bool(true)"},
        Case{"unknown_function", "qubit q; rx(foo(1)) q;",
             "Parse error: Unknown function: foo"},
        Case{"function_names_are_case_sensitive", "qubit q; rx(SIN(1)) q;",
             "Parse error: Unknown function: SIN"},
        Case{"symbolic_function_argument", "qubit q; rx(sin(theta)) q;",
             "Parse error: Cannot evaluate function sin with symbolic "
             "arguments"},
        Case{"two_function_arguments", "qubit q; rx(sqrt(1, 2)) q;",
             "Parse error: Cannot evaluate function sqrt with symbolic "
             "arguments"},
        Case{"unfoldable_inner_call", "qubit q; rx(cos(foo(1))) q;",
             "Parse error: Cannot evaluate function cos with symbolic "
             "arguments"},
        Case{"repeated_qubit", "qubit q; cx q, q;",
             "Circuit error: " +
                 ir::to_string(ir::DuplicateQubit{ir::QubitId{0}, "cx"})},
        Case{"if_after_good_statements", "qubit q; x q; if (c == 1) x q[0];",
             "Parse error: If statements not yet supported"},
        Case{"for_loop", "qubit q; for i in [0:2] x q;",
             "Parse error: For loops not yet supported"},
        Case{"gate_definition", "gate g q { x q; }",
             "Parse error: Custom gate definitions not yet supported"},
        Case{"size_beyond_32_bits", "qubit[4294967296] q;",
             "Parse error: Register size 4294967296 of 'q' is out of range"},
        Case{"largest_size_literal", "bit[18446744073709551615] c;",
             "Parse error: Register size 18446744073709551615 of 'c' is out "
             "of range"},
        Case{"qubit_total_beyond_32_bits", "qubit[4294967295] a; qubit b;",
             "Parse error: Too many qubits declared (more than 4294967295)"},
        Case{"bit_total_beyond_32_bits", "bit[4294967294] a; bit[2] b;",
             "Parse error: Too many classical bits declared (more than "
             "4294967295)"}),
    case_name);

class ErrorPrecedence : public testing::TestWithParam<Case> {};

TEST_P(ErrorPrecedence, earlier_stage_wins) {
  EXPECT_EQ(lowered(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lower, ErrorPrecedence,
    testing::Values(
        Case{"lexer_over_parser", "x = ; qubit $q;",
             "Lexer error at position 26: Invalid token: '$'"},
        Case{"parser_over_lowering", "foo q; x = ;",
             "Unexpected token at line 2: expected expression, found ;"},
        Case{"lexer_over_lowering", "qubit q; foo q; $",
             "Lexer error at position 30: Invalid token: '$'"},
        Case{"declarations_before_operations", "foo q; qubit[4294967296] q;",
             "Parse error: Register size 4294967296 of 'q' is out of range"},
        Case{"declarations_after_failed_operations",
             "qubit q; h r; bit[4294967296] c;",
             "Parse error: Register size 4294967296 of 'c' is out of range"},
        Case{"operation_error_kept_past_later_declarations",
             "qubit q; h q[1]; bit c;",
             "Index 1 out of bounds for register 'q' of size 1"},
        Case{"statements_in_order", "qubit q; foo q; if (c) x q;",
             "Unknown gate: foo"},
        Case{"references_before_parameters", "qubit q; rx(true) r;",
             "Undefined identifier: r"},
        Case{"references_in_order", "qubit q; cx q[1], r;",
             "Index 1 out of bounds for register 'q' of size 1"},
        Case{"parameters_in_order", "qubit q; u(foo(1), true, 2**2) q;",
             "Parse error: Unknown function: foo"},
        Case{"parameters_before_name", "qubit q; foo(true) q;",
             "Parse error: Cannot convert expression to parameter: "
             "Bool(true)"},
        Case{"name_before_counts", "qubit q; chh q;", "Unknown gate: chh"},
        Case{"counts_before_circuit", "qubit q; cx(1) q, q, q;",
             "Gate 'cx' expects 2 qubits, got 3"}),
    case_name);

TEST(Lower, result_is_named_and_sized) {
  auto circuit = parse(
      "OPENQASM 3.0; qubit[2] q; bit[2] c; h q[0]; "
      "cx q[0], q[1]; c = measure q;");
  ASSERT_TRUE(circuit.has_value());
  EXPECT_EQ(circuit->name(), "qasm_circuit");
  EXPECT_EQ(circuit->depth(), 3u);
  for (const ir::QubitInfo& info : circuit->qubits()) {
    EXPECT_FALSE(info.register_name.has_value());
  }
}

TEST(Lower, unallocatable_declaration_throws_bad_alloc) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer aborts on oversized allocations";
#else
  EXPECT_THROW((void)parse("OPENQASM 3.0; qubit[4294967295] q;"),
               std::bad_alloc);
  EXPECT_THROW((void)parse("OPENQASM 3.0; bit[4294967295] c;"), std::bad_alloc);
#endif
}

// Operations are lowered as they are read, but registers that cannot be
// allocated must not hide an error that a later part of the text holds.
TEST(Lower, later_errors_win_over_unallocatable_registers) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer aborts on oversized allocations";
#else
  EXPECT_EQ(lowered("qubit[4294967295] q; h q[0]; x = ;"),
            "Unexpected token at line 2: expected expression, found ;");
  EXPECT_EQ(lowered("qubit[4294967295] q; h q[0]; $"),
            "Lexer error at position 43: Invalid token: '$'");
  EXPECT_EQ(lowered("qubit[4294967295] q; h q[0]; bit[4294967296] c;"),
            "Parse error: Register size 4294967296 of 'c' is out of range");
  EXPECT_THROW((void)parse("OPENQASM 3.0; qubit[4294967295] q; h q[0];"),
               std::bad_alloc);
#endif
}

// "name(1, 2, ...) q[0], q[1], ...;" with `params` parameters and `qubits`
// operands.
std::string call_text(std::string_view name, std::size_t params,
                      std::size_t qubits) {
  std::string text(name);
  for (std::size_t i = 0; i < params; ++i) {
    text += (i == 0 ? "(" : ", ") + std::to_string(i + 1);
  }
  text += params > 0 ? ")" : "";
  for (std::size_t i = 0; i < qubits; ++i) {
    text += (i == 0 ? " q[" : ", q[") + std::to_string(i) + "]";
  }
  return text + ";";
}

// The one operation `lowered` should show for the catalogue gate `kind`
// given parameters 1, 2, ... and qubits 0, 1, ...
std::string one_operation(ir::StandardGate::Kind kind) {
  const ir::GateInfo& gate = ir::gate_info(kind);
  if (kind == ir::StandardGate::Id) {
    return "q=5 c=0 |";
  }
  std::string text = "q=5 c=0 | " + std::string(gate.name);
  for (std::size_t i = 0; i < gate.num_params; ++i) {
    text += (i == 0 ? "(" : ", ") + std::to_string(i + 1);
  }
  text += gate.num_params > 0 ? ") " : " ";
  for (std::size_t i = 0; i < gate.num_qubits; ++i) {
    text += (i == 0 ? "" : ",") + std::to_string(i);
  }
  return text + ";";
}

TEST(Lower, every_catalogue_name_reads_as_one_operation_of_its_gate) {
  for (const ir::GateInfo& gate : ir::kGateInfos) {
    const std::string text =
        call_text(gate.name, gate.num_params, gate.num_qubits);
    EXPECT_EQ(lowered("qubit[5] q; " + text), one_operation(gate.kind))
        << text;
  }
}

TEST(Lower, every_alias_reads_as_one_operation_of_its_target) {
  for (const ir::GateAlias& alias : ir::kGateAliases.aliases) {
    const ir::GateInfo& target = ir::gate_info(alias.target);
    const std::string text =
        call_text(alias.name, alias.num_params, target.num_qubits);
    const std::string result = lowered("qubit[5] q; " + text);
    if (alias.maps_params) {
      // The mapped parameters are shown case by case in the table above.
      EXPECT_TRUE(result.starts_with("q=5 c=0 | " + std::string(target.name) +
                                     "("))
          << text << " -> " << result;
      continue;
    }
    EXPECT_EQ(result, one_operation(alias.target)) << text;
  }
}

}  // namespace
}  // namespace qelto::qasm3
