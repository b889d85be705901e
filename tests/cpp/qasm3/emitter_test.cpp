#include "qasm3/emitter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ir/batched.hpp"
#include "ir/gate_catalogue.hpp"
#include "ir/operation_batch.hpp"
#include "ir/random_circuit.hpp"
#include "qasm3/read.hpp"

namespace qelto::qasm3 {
namespace {

using ir::Circuit;
using ir::ClbitId;
using ir::QubitId;
using Expr = ir::ParameterExpression;

constexpr double kPi = 3.141592653589793;
const std::string kHeader = "OPENQASM 3.0;\n\n";

std::string emitted(const Circuit& circuit) {
  const ParseResult<std::string> text = emit(circuit);
  EXPECT_TRUE(text.has_value());
  return text.value_or("");
}

Circuit built(ir::IrResult<Circuit> result) {
  EXPECT_TRUE(result.has_value());
  return result.has_value() ? std::move(*result) : Circuit("failed");
}

// A circuit of `qubits` qubits and `clbits` bits after `steps`.
Circuit sized(std::uint32_t qubits, std::uint32_t clbits,
              const std::function<void(Circuit&)>& steps) {
  Circuit circuit = Circuit::with_size("t", qubits, clbits);
  steps(circuit);
  return circuit;
}

void ok(const ir::BuildResult& result) { EXPECT_TRUE(result.has_value()); }

struct EmitCase {
  const char* name;
  std::function<Circuit()> make;
  std::string text;
};

class Emits : public testing::TestWithParam<EmitCase> {};

TEST_P(Emits, writes_exact_text) {
  EXPECT_EQ(emitted(GetParam().make()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Emitter, Emits,
    testing::Values(
        EmitCase{"bell", [] { return built(Circuit::bell()); },
                 "OPENQASM 3.0;\n\nqubit[2] q;\nbit[2] c;\n\nh q[0];\n"
                 "cx q[0], q[1];\nc[1] = measure q[1];\n"
                 "c[0] = measure q[0];\n"},
        EmitCase{"ghz3", [] { return built(Circuit::ghz(3)); },
                 kHeader + "qubit[3] q;\nbit[3] c;\n\nh q[0];\n"
                           "cx q[0], q[1];\nc[0] = measure q[0];\n"
                           "cx q[1], q[2];\nc[2] = measure q[2];\n"
                           "c[1] = measure q[1];\n"},
        EmitCase{"qft2", [] { return built(Circuit::qft(2)); },
                 kHeader + "qubit[2] q;\n\nh q[0];\ncp(pi/2) q[1], q[0];\n"
                           "h q[1];\nswap q[0], q[1];\n"},
        EmitCase{"measure_all_writes_one_line_per_pair",
                 [] {
                   return sized(2, 2, [](Circuit& c) {
                     ok(c.h(QubitId{0}));
                     ok(c.measure_all());
                   });
                 },
                 kHeader + "qubit[2] q;\nbit[2] c;\n\nh q[0];\n"
                           "c[0] = measure q[0];\nc[1] = measure q[1];\n"},
        EmitCase{"empty_circuit", [] { return Circuit("e"); }, kHeader},
        EmitCase{"empty_ghz", [] { return built(Circuit::ghz(0)); }, kHeader},
        EmitCase{"clbits_without_qubits",
                 [] { return Circuit::with_size("c", 0, 2); },
                 kHeader + "bit[2] c;\n\n"},
        EmitCase{
            "barrier_over_all_qubits",
            [] { return sized(3, 0, [](Circuit& c) { ok(c.barrier_all()); }); },
            kHeader + "qubit[3] q;\n\nbarrier q[0], q[1], q[2];\n"},
        EmitCase{
            "barrier_without_qubits",
            [] { return sized(0, 0, [](Circuit& c) { ok(c.barrier_all()); }); },
            kHeader + "barrier;\n"},
        EmitCase{"delay_reset_and_plain_measure",
                 [] {
                   return sized(2, 1, [](Circuit& c) {
                     ok(c.delay(QubitId{1}, 100));
                     ok(c.reset(QubitId{1}));
                     ok(c.measure(QubitId{1}, ClbitId{0}));
                   });
                 },
                 kHeader + "qubit[2] q;\nbit[1] c;\n\ndelay[100] q[1];\n"
                           "reset q[1];\nc[0] = measure q[1];\n"},
        EmitCase{"rz_near_pi_over_two_keeps_its_digits",
                 [] {
                   return sized(1, 0, [](Circuit& c) {
                     ok(c.rz(Expr::constant(1.5707963267), QubitId{0}));
                     ok(c.rz(Expr::constant(1.5707963266), QubitId{0}));
                     ok(c.rz(Expr::constant(1.5707), QubitId{0}));
                   });
                 },
                 kHeader + "qubit[1] q;\n\nrz(1.5707963267) q[0];\n"
                           "rz(1.5707963266) q[0];\nrz(1.570700) q[0];\n"},
        EmitCase{"u_with_symbolic_angles",
                 [] {
                   return sized(1, 0, [](Circuit& c) {
                     ok(c.u(Expr::pi(), Expr::symbol("a"),
                            Expr::div(Expr::pi(), Expr::constant(2)),
                            QubitId{0}));
                   });
                 },
                 kHeader + "qubit[1] q;\n\nu(pi, a, (pi / 2.000000)) q[0];\n"}),
    [](const auto& c) { return std::string(c.param.name); });

ir::Instruction custom(std::string name, std::vector<QubitId> qubits,
                       std::vector<Expr> params) {
  ir::CustomGate gate{
      std::move(name), static_cast<std::uint32_t>(qubits.size()), {}};
  gate.params = std::move(params);
  return ir::Instruction{ir::QubitList(qubits), {}, ir::Gate(std::move(gate))};
}

TEST(Emitter, writes_custom_gates_by_stored_name) {
  Circuit circuit = Circuit::with_size("t", 3, 0);
  std::vector<Expr> params;
  params.push_back(Expr::constant(0.25));
  params.push_back(Expr::symbol("theta"));
  ASSERT_TRUE(circuit.apply(
      custom("mine", {QubitId{2}, QubitId{1}}, std::move(params))));
  ASSERT_TRUE(circuit.apply(custom("plain", {QubitId{1}}, {})));
  // A lone empty-named symbol joins to empty text: no parentheses.
  std::vector<Expr> blank;
  blank.push_back(Expr::symbol(""));
  ASSERT_TRUE(circuit.apply(custom("odd", {QubitId{1}}, std::move(blank))));
  EXPECT_EQ(emitted(circuit),
            kHeader +
                "qubit[3] q;\n\nmine(0.250000, theta) q[2], q[1];\n"
                "plain q[1];\nodd q[1];\n");
}

TEST(Emitter, operations_appended_in_bulk_write_as_if_applied_one_by_one) {
  // Random operations of every kind (the refused ones left out), appended
  // in batches of varying length: both texts and both portable texts agree.
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    Circuit one_by_one = Circuit::with_size("t", 12, 6);
    Circuit bulk = Circuit::with_size("t", 12, 6);
    ir::OperationBatch batch;
    ir::testing::RandomCircuit random(seed);
    std::uint32_t step_number = 0;
    while (auto step = random.next()) {
      auto* instruction = std::get_if<ir::Instruction>(&*step);
      if (instruction == nullptr) {
        continue;
      }
      const ir::Instruction kept = instruction->clone();
      if (one_by_one.apply(std::move(*instruction))) {
        ir::testing::add_to(batch, kept);
      }
      if (++step_number % 17 == seed % 17) {
        ASSERT_TRUE(bulk.append(batch));
      }
    }
    ASSERT_TRUE(bulk.append(batch));
    EXPECT_EQ(emitted(bulk), emitted(one_by_one)) << "seed " << seed;
    const auto portable = emit(bulk, {.portable = true});
    const auto expected = emit(one_by_one, {.portable = true});
    ASSERT_EQ(portable.has_value(), expected.has_value()) << "seed " << seed;
    if (portable) {
      EXPECT_EQ(*portable, *expected) << "seed " << seed;
    }
  }
}

TEST(Emitter, writes_qubit_lists_and_lines) {
  Emitter emitter;
  EXPECT_EQ(emitter.emit_qubits({}), "");
  const QubitId qubits[] = {QubitId{4}, QubitId{4294967295u}};
  EXPECT_EQ(emitter.emit_qubits(qubits), "q[4], q[4294967295]");
  emitter.writeln("x");
  emitter.writeln("");
  EXPECT_EQ(emitter.indent(), 0u);
  EXPECT_EQ(emitter.take_output(), "x\n\n");
  EXPECT_EQ(emitter.output(), "");
}

struct ConstantCase {
  double value;
  std::string text;
};

class ConstantText : public testing::TestWithParam<ConstantCase> {};

TEST_P(ConstantText, matches) {
  EXPECT_EQ(emit_param(Expr::constant(GetParam().value)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Emitter, ConstantText,
    testing::Values(
        // Named angles for exactly the doubles they denote; a constant a
        // little away from one keeps every digit.
        ConstantCase{kPi, "pi"}, ConstantCase{kPi / 2, "pi/2"},
        ConstantCase{kPi / 4, "pi/4"}, ConstantCase{-kPi / 2, "-pi/2"},
        ConstantCase{-kPi / 4, "-pi/4"},
        ConstantCase{kPi + 9e-11, "3.141592653679793"},
        ConstantCase{kPi - 9e-11, "3.141592653499793"},
        ConstantCase{kPi / 2 - 9e-11, "1.5707963267048966"},
        ConstantCase{std::nextafter(kPi / 2, 2.0), "1.5707963267948968"},
        ConstantCase{-kPi / 4 - 2e-10, "-0.7853981635974483"},
        // Other multiples of pi are plain numbers.
        ConstantCase{-kPi, "-3.141592653589793"},
        ConstantCase{2 * kPi, "6.283185307179586"},
        ConstantCase{kPi / 8, "0.39269908169872414"},
        // Six decimals when they read back exactly, the shortest exact
        // text otherwise.
        ConstantCase{0.5, "0.500000"}, ConstantCase{1.0, "1.000000"},
        ConstantCase{-0.3, "-0.300000"}, ConstantCase{0.007, "0.007000"},
        ConstantCase{1e20, "100000000000000000000.000000"},
        ConstantCase{0.0078125, "0.0078125"},
        ConstantCase{1.0000005, "1.0000005"}, ConstantCase{1e-7, "1e-07"},
        ConstantCase{1.0 / 3, "0.3333333333333333"},
        ConstantCase{5e-324, "5e-324"},
        // Signs survive.
        ConstantCase{0.0, "0.000000"}, ConstantCase{-0.0, "-0.000000"},
        ConstantCase{-1e-9, "-1e-09"},
        ConstantCase{std::numeric_limits<double>::quiet_NaN(), "NaN"},
        ConstantCase{std::numeric_limits<double>::infinity(), "inf"},
        ConstantCase{-std::numeric_limits<double>::infinity(), "-inf"}));

TEST(EmitParam, parenthesises_every_compound_expression) {
  const Expr expr = Expr::add(
      Expr::mul(Expr::pi(), Expr::constant(2)),
      Expr::neg(Expr::sub(Expr::symbol("a"),
                          Expr::div(Expr::symbol("b"), Expr::constant(-0.5)))));
  EXPECT_EQ(emit_param(expr), "((pi * 2.000000) + -((a - (b / -0.500000))))");
  Emitter emitter;
  EXPECT_EQ(emitter.emit_param(expr), emit_param(expr));
}

// Found by fuzzing: "x / pi/2" reads back as "(x / pi) / 2".
TEST(EmitParam, parenthesises_a_named_angle_that_a_product_or_quotient_divides_by) {
  const Expr quotient = Expr::div(
      Expr::constant(1), Expr::mul(Expr::symbol("a"),
                                   Expr::constant(-kPi / 4)));
  EXPECT_EQ(emit_param(quotient), "(1.000000 / (a * (-pi/4)))");
  const Expr others = Expr::add(
      Expr::div(Expr::constant(kPi / 2), Expr::constant(kPi)),
      Expr::sub(Expr::symbol("b"), Expr::constant(kPi / 2)));
  EXPECT_EQ(emit_param(others), "((pi/2 / pi) + (b - pi/2))");
}

TEST(EmitParam, slow_prints_deep_nesting_without_recursion) {
  constexpr int kDepth = 200000;
  Expr negs = Expr::symbol("x");
  Expr sums = Expr::symbol("x");
  for (int i = 0; i < kDepth; ++i) {
    negs = Expr::neg(std::move(negs));
    sums = Expr::add(std::move(sums), Expr::pi());
  }
  std::string expected_negs;
  for (int i = 0; i < kDepth; ++i) {
    expected_negs += "-(";
  }
  expected_negs += "x" + std::string(kDepth, ')');
  EXPECT_EQ(emit_param(negs), expected_negs);
  std::string expected(kDepth, '(');
  expected += "x";
  for (int i = 0; i < kDepth; ++i) {
    expected += " + pi)";
  }
  EXPECT_EQ(emit_param(sums), expected);
}

TEST(Emitter, every_catalogue_gate_is_written_by_name_and_reads_back) {
  for (const ir::GateInfo& gate : ir::kGateInfos) {
    SCOPED_TRACE(gate.name);
    std::vector<Expr> params;
    std::string line(gate.name);
    for (std::size_t i = 0; i < gate.num_params; ++i) {
      params.push_back(Expr::constant(0.5 + static_cast<double>(i)));
      line += (i == 0 ? "(" : ", ") + std::to_string(i) + ".500000";
    }
    line += gate.num_params > 0 ? ") " : " ";
    ir::QubitList qubits;
    for (std::uint32_t i = 0; i < gate.num_qubits; ++i) {
      qubits.push_back(QubitId{i});
      line += (i == 0 ? "q[" : ", q[") + std::to_string(i) + "]";
    }
    line += ";\n";
    Circuit circuit = Circuit::with_size("t", 5, 0);
    auto made = ir::StandardGate::make(gate.kind, std::move(params));
    ASSERT_TRUE(made.has_value());
    ASSERT_TRUE(circuit
                    .apply(ir::Instruction{std::move(qubits), {},
                                           ir::Gate(std::move(*made))})
                    .has_value());
    const std::string text = emitted(circuit);
    EXPECT_EQ(text, kHeader + "qubit[5] q;\n\n" + line);
    // Every gate comes back as itself, `id` when the reader keeps it; by
    // default the reader drops `id`.
    ReadOptions keep;
    keep.keep_identity = true;
    auto read = parse(text, keep);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(emitted(*read), text);
    auto by_default = parse(text);
    ASSERT_TRUE(by_default.has_value());
    EXPECT_EQ(emitted(*by_default) == text, gate.kind != ir::StandardGate::Id);
  }
}

}  // namespace
}  // namespace qelto::qasm3
