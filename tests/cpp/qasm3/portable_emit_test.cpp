// The writer's exactness and portable text: angles that read back bit for
// bit in both number styles, the portable layout (include, definitions,
// U, dt, insertion order) and texts that stay the same when read and
// written again.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ir/gate_catalogue.hpp"
#include "qasm3/emitter.hpp"
#include "qasm3/read.hpp"

namespace qelto::qasm3 {
namespace {

using ir::Circuit;
using ir::ClbitId;
using ir::QubitId;
using Expr = ir::ParameterExpression;

constexpr double kPi = 3.141592653589793;

std::string portable(const Circuit& circuit) {
  const ParseResult<std::string> text = emit(circuit, {.portable = true});
  EXPECT_TRUE(text.has_value());
  return text.value_or("");
}

// The value of a parameter read back; only the forms the writer produces.
double evaluate(const Expr& expr) {
  return std::visit(
      [](const auto& node) -> double {
        using Node = std::decay_t<decltype(node)>;
        if constexpr (std::is_same_v<Node, Expr::Constant>) {
          return node.value;
        } else if constexpr (std::is_same_v<Node, Expr::Pi>) {
          return kPi;
        } else if constexpr (std::is_same_v<Node, Expr::Neg>) {
          return -evaluate(*node.operand);
        } else if constexpr (std::is_same_v<Node, Expr::Div>) {
          return evaluate(*node.left) / evaluate(*node.right);
        } else {
          ADD_FAILURE() << "unexpected parameter form";
          return std::numeric_limits<double>::quiet_NaN();
        }
      },
      expr.node());
}

// The first parameter of the only operation of the text `rz(<angle>) q[0];`.
double read_angle(const std::string& angle) {
  const auto circuit =
      parse("OPENQASM 3.0;\nqubit[1] q;\nrz(" + angle + ") q[0];\n");
  EXPECT_TRUE(circuit.has_value()) << angle;
  if (!circuit) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return evaluate(circuit->dag().operation(0).parameters()[0]);
}

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Doubles from every region that matters: the named angles and their
// neighbours, short decimals, whole numbers near the reader's 64-bit
// integer limit, tiny and huge magnitudes, subnormals and raw bit patterns.
std::vector<double> sample_angles() {
  std::vector<double> values = {0.0, -0.0, 0.5, 1.0 / 3, 1e-7, 1e-12,
                                1e22, 1e300, 5e-324,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::min(),
                                18446744073709551615.0, 1e19, 1e20,
                                123456789012345680.0};
  for (const double named : {kPi, kPi / 2, kPi / 4, -kPi / 2, -kPi / 4}) {
    values.push_back(named);
    values.push_back(std::nextafter(named, 10.0));
    values.push_back(std::nextafter(named, -10.0));
    values.push_back(named + 1e-12);
  }
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> angle(-2 * kPi, 2 * kPi);
  std::uniform_int_distribution<int> thousandths(-10000, 10000);
  // Where doubles are spaced about a millionth apart and wider.
  std::uniform_real_distribution<double> sparse(1 << 18, 4294967296.0 * 4096);
  for (int i = 0; i < 2000; ++i) {
    values.push_back(sparse(random));
    values.push_back(std::round(sparse(random) * 64) / 64);
    values.push_back(std::round(sparse(random) * 1e6) / 1e6);
    values.push_back(angle(random));
    values.push_back(thousandths(random) / 1000.0);
    values.push_back(thousandths(random) * 0.001);
    double raw = std::bit_cast<double>(random());
    if (std::isfinite(raw)) {
      values.push_back(raw);
    }
  }
  return values;
}

TEST(AngleText, every_finite_angle_reads_back_bit_for_bit_in_both_styles) {
  for (const double value : sample_angles()) {
    for (const NumberStyle style :
         {NumberStyle::Fixed, NumberStyle::Shortest}) {
      const std::string text = emit_param(Expr::constant(value), style);
      EXPECT_TRUE(same_bits(read_angle(text), value))
          << text << " for " << value;
    }
  }
}

// The Fixed style's rule written out plainly: six decimals when they read
// back exactly, the shortest exact text otherwise.
std::string fixed_reference(double value) {
  char buffer[400];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                           std::chars_format::fixed, 6)
                 .ptr;
  double back = 0;
  std::from_chars(buffer, end, back);
  if (!same_bits(back, value)) {
    end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  }
  return std::string(buffer, end);
}

TEST(AngleText, fixed_style_keeps_six_decimals_exactly_when_they_read_back) {
  for (const double value : sample_angles()) {
    const std::string text = emit_param(Expr::constant(value));
    if (text.find("pi") == std::string::npos) {
      EXPECT_EQ(text, fixed_reference(value));
    }
  }
}

struct ShortestCase {
  const char* name;
  Expr (*make)();
  std::string text;
};

class ShortestText : public testing::TestWithParam<ShortestCase> {};

TEST_P(ShortestText, matches) {
  EXPECT_EQ(emit_param(GetParam().make(), NumberStyle::Shortest),
            GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Emitter, ShortestText,
    testing::Values(
        ShortestCase{"half", [] { return Expr::constant(0.5); }, "0.5"},
        ShortestCase{"whole", [] { return Expr::constant(2.0); }, "2"},
        ShortestCase{"tiny", [] { return Expr::constant(1e-7); }, "1e-07"},
        ShortestCase{"third", [] { return Expr::constant(1.0 / 3); },
                     "0.3333333333333333"},
        ShortestCase{"pi_is_a_number", [] { return Expr::constant(kPi); },
                     "3.141592653589793"},
        ShortestCase{"negative_zero", [] { return Expr::constant(-0.0); },
                     "-0"},
        ShortestCase{"huge", [] { return Expr::constant(1e22); }, "1e+22"},
        ShortestCase{"whole_within_64_bits",
                     [] { return Expr::constant(123456789012345680.0); },
                     "123456789012345680"},
        ShortestCase{"whole_beyond_64_bits",
                     [] { return Expr::constant(1180591620717411303424.0); },
                     "1.1805916207174113e+21"},
        ShortestCase{"negated_literal",
                     [] { return Expr::neg(Expr::constant(0.5)); }, "-0.5"},
        ShortestCase{"negated_negative_literal",
                     [] { return Expr::neg(Expr::constant(-0.5)); },
                     "-(-0.5)"},
        ShortestCase{"negated_symbol",
                     [] { return Expr::neg(Expr::symbol("a")); }, "-(a)"},
        ShortestCase{"pi_over_two",
                     [] { return Expr::div(Expr::pi(), Expr::constant(2)); },
                     "(pi / 2)"}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(AngleText, finds_non_finite_constants_at_any_depth) {
  EXPECT_TRUE(has_finite_constants(Expr::add(Expr::pi(), Expr::symbol("a"))));
  Expr deep = Expr::constant(std::numeric_limits<double>::infinity());
  for (int i = 0; i < 100000; ++i) {
    deep = Expr::neg(Expr::mul(Expr::constant(1), std::move(deep)));
  }
  EXPECT_FALSE(has_finite_constants(deep));
}

TEST(PortableEmit, writes_include_definitions_u_and_dt) {
  Circuit c = Circuit::with_size("t", 2, 1);
  ASSERT_TRUE(c.prx(Expr::constant(0.5), Expr::constant(-0.25), QubitId{1}));
  ASSERT_TRUE(c.u(Expr::constant(1e-7), Expr::constant(kPi),
                  Expr::constant(2), QubitId{0}));
  ASSERT_TRUE(c.sxdg(QubitId{0}));
  ASSERT_TRUE(c.h(QubitId{1}));
  ASSERT_TRUE(c.delay(QubitId{0}, 100));
  ASSERT_TRUE(c.measure(QubitId{0}, ClbitId{0}));
  EXPECT_EQ(portable(c),
            "OPENQASM 3.0;\n"
            "include \"stdgates.inc\";\n\n"
            "gate sxdg qubit_ {\n"
            "    h qubit_;\n    sdg qubit_;\n    h qubit_;\n}\n\n"
            "gate prx(a_theta, b_phi) qubit_ {\n"
            "    rz(-b_phi) qubit_;\n    rx(a_theta) qubit_;\n"
            "    rz(b_phi) qubit_;\n}\n\n"
            "qubit[2] q;\nbit[1] c;\n\n"
            "prx(0.5, -0.25) q[1];\n"
            "U(1e-07, 3.141592653589793, 2) q[0];\n"
            "sxdg q[0];\nh q[1];\ndelay[100dt] q[0];\n"
            "c[0] = measure q[0];\n");
}

TEST(PortableEmit, defines_the_gates_a_body_calls_before_the_body) {
  Circuit c = Circuit::with_size("t", 5, 0);
  ASSERT_TRUE(c.c4x(QubitId{0}, QubitId{1}, QubitId{2}, QubitId{3},
                    QubitId{4}));
  const std::string text = portable(c);
  const std::size_t rc3x = text.find("gate rc3x ");
  const std::size_t c3sqrtx = text.find("gate c3sqrtx ");
  const std::size_t c4x = text.find("gate c4x ");
  ASSERT_NE(rc3x, std::string::npos);
  ASSERT_NE(c3sqrtx, std::string::npos);
  ASSERT_NE(c4x, std::string::npos);
  EXPECT_LT(rc3x, c4x);
  EXPECT_LT(c3sqrtx, c4x);
  EXPECT_EQ(text.find("gate c3x "), std::string::npos);
}

// The gates stdgates.inc declares, and the built-in U.
const std::set<std::string, std::less<>> kStdgates = {
    "p",   "x",   "y",    "z",    "h",     "s",   "sdg", "t",   "tdg",
    "sx",  "rx",  "ry",   "rz",   "cx",    "cy",  "cz",  "cp",  "crx",
    "cry", "crz", "ch",   "swap", "ccx",   "cswap", "cu", "CX", "phase",
    "cphase", "id", "u1", "u2",   "u3",    "U"};

// Splits the portable text into statements and checks that every gate it
// calls is standard or defined above the call, once.
TEST(PortableEmit, every_call_is_standard_or_defined_before_use) {
  Circuit c = Circuit::with_size("t", 5, 0);
  for (const ir::GateInfo& gate : ir::kGateInfos) {
    std::vector<Expr> params;
    for (std::size_t i = 0; i < gate.num_params; ++i) {
      params.push_back(Expr::constant(0.25 * static_cast<double>(i + 1)));
    }
    ir::QubitList qubits;
    for (std::uint32_t i = 0; i < gate.num_qubits; ++i) {
      qubits.push_back(QubitId{i});
    }
    auto made = ir::StandardGate::make(gate.kind, std::move(params));
    ASSERT_TRUE(made.has_value());
    ASSERT_TRUE(c.apply(ir::Instruction{std::move(qubits), {},
                                        ir::Gate(std::move(*made))}));
  }
  const std::string text = portable(c);
  std::set<std::string, std::less<>> defined;
  std::size_t calls = 0;
  std::string_view rest = text;
  rest.remove_prefix(rest.find("\n\n") + 2);
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    while (!line.empty() && line.front() == ' ') {
      line.remove_prefix(1);
    }
    const std::string_view word = line.substr(0, line.find_first_of(" ("));
    if (word.empty() || word == "}" || word == "qubit[5]") {
      continue;
    }
    if (word == "gate") {
      std::string_view name = line.substr(5);
      name = name.substr(0, name.find_first_of(" ("));
      EXPECT_TRUE(defined.insert(std::string(name)).second) << name;
      continue;
    }
    ++calls;
    EXPECT_TRUE(kStdgates.contains(word) || defined.contains(word)) << word;
  }
  EXPECT_GT(calls, ir::kGateInfos.size());
}

TEST(PortableEmit, keeps_the_order_operations_were_added) {
  std::mt19937 random(7);
  Circuit c = Circuit::with_size("t", 4, 4);
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    const QubitId q{static_cast<std::uint32_t>(random() % 4)};
    const QubitId r{(q.index + 1 + static_cast<std::uint32_t>(random() % 3)) %
                    4};
    const std::string qs = "q[" + std::to_string(q.index) + "]";
    const std::string rs = "q[" + std::to_string(r.index) + "]";
    switch (random() % 4) {
      case 0:
        ASSERT_TRUE(c.h(q));
        expected += "h " + qs + ";\n";
        break;
      case 1:
        ASSERT_TRUE(c.cx(q, r));
        expected += "cx " + qs + ", " + rs + ";\n";
        break;
      case 2:
        ASSERT_TRUE(c.measure(q, ClbitId{r.index}));
        expected += "c[" + std::to_string(r.index) + "] = measure " + qs +
                    ";\n";
        break;
      default:
        ASSERT_TRUE(c.reset(r));
        expected += "reset " + rs + ";\n";
        break;
    }
  }
  const std::string text = portable(c);
  ASSERT_GE(text.size(), expected.size());
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

// Random circuits of every catalogue gate, measure, reset, delay and
// barrier: their portable text, read and written again, is the same text.
TEST(PortableEmit, text_read_and_written_again_is_the_same) {
  std::mt19937_64 random(99);
  std::uniform_real_distribution<double> angle(-7, 7);
  for (int round = 0; round < 200; ++round) {
    Circuit c = Circuit::with_size("t", 6, 6);
    for (int i = 0; i < 20; ++i) {
      const std::size_t pick = random() % (ir::kGateInfos.size() + 4);
      const QubitId q{static_cast<std::uint32_t>(random() % 6)};
      if (pick >= ir::kGateInfos.size()) {
        const std::size_t other = pick - ir::kGateInfos.size();
        ASSERT_TRUE(other == 0   ? c.measure(q, ClbitId{q.index})
                    : other == 1 ? c.reset(q)
                    : other == 2 ? c.delay(q, random() % 1000)
                                 : c.barrier_all());
        continue;
      }
      const ir::GateInfo& gate = ir::kGateInfos[pick];
      std::vector<Expr> params;
      for (std::size_t k = 0; k < gate.num_params; ++k) {
        params.push_back(Expr::constant(angle(random)));
      }
      ir::QubitList qubits;
      for (std::uint32_t k = 0; k < gate.num_qubits; ++k) {
        qubits.push_back(QubitId{(q.index + k) % 6});
      }
      auto made = ir::StandardGate::make(gate.kind, std::move(params));
      ASSERT_TRUE(made.has_value());
      ASSERT_TRUE(c.apply(ir::Instruction{std::move(qubits), {},
                                          ir::Gate(std::move(*made))}));
    }
    // The identity reads back when the reader keeps it.
    const std::string text = portable(c);
    ReadOptions keep;
    keep.keep_identity = true;
    const auto back = parse(text, keep);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_EQ(portable(*back), text);
  }
}

TEST(PortableEmit, refuses_a_non_finite_angle) {
  Circuit c = Circuit::with_size("t", 1, 0);
  ASSERT_TRUE(c.rz(Expr::add(Expr::symbol("a"),
                             Expr::constant(std::nan(""))),
                   QubitId{0}));
  const auto text = emit(c, {.portable = true});
  ASSERT_FALSE(text.has_value());
  EXPECT_EQ(to_string(text.error()),
            "Parse error: Cannot write a non-finite angle (gate rz)");
  // The default text still writes it, as it always has.
  EXPECT_TRUE(emit(c).has_value());
}

}  // namespace
}  // namespace qelto::qasm3
