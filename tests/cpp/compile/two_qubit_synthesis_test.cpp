// Two-qubit synthesis: any operator comes back as the fewest cx its class
// needs, with the same matrix up to global phase. Inputs and checks use the
// test simulator's matrices, not the library's.
#include "compile/two_qubit_synthesis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "simulator.hpp"

namespace qelto::compile {
namespace {

using testing::Complex;
using testing::Matrix;
using testing::detail::M2;
using std::numbers::pi;

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix c{2, std::vector<Complex>(16)};
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 4; ++k) {
      for (int j = 0; j < 4; ++j) {
        c.m[i * 4 + j] += a.m[i * 4 + k] * b.m[k * 4 + j];
      }
    }
  }
  return c;
}

// a on qubit 0, b on qubit 1.
Matrix local(const M2& a, const M2& b) {
  Matrix g{2, std::vector<Complex>(16)};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      g.m[row * 4 + col] = a[(row & 1) * 2 + (col & 1)] *
                           b[(row >> 1) * 2 + (col >> 1)];
    }
  }
  return g;
}

M2 random_one_qubit(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> angle(-pi, pi);
  using testing::detail::ry;
  using testing::detail::rz;
  const M2 z1 = rz(angle(rng));
  const M2 y = ry(angle(rng));
  const M2 z2 = rz(angle(rng));
  const auto mul = [](const M2& p, const M2& q) {
    return M2{p[0] * q[0] + p[1] * q[2], p[0] * q[1] + p[1] * q[3],
              p[2] * q[0] + p[3] * q[2], p[2] * q[1] + p[3] * q[3]};
  };
  return mul(z1, mul(y, z2));
}

// exp(i (a XX + b YY + c ZZ)).
Matrix canonical(double a, double b, double c) {
  const M2 x{0, 1, 1, 0};
  const M2 y{0, -testing::detail::kI, testing::detail::kI, 0};
  const M2 z{1, 0, 0, -1};
  return multiply(testing::pauli_pair(x, -2 * a),
                  multiply(testing::pauli_pair(y, -2 * b),
                           testing::pauli_pair(z, -2 * c)));
}

Matrix4 to_matrix4(const Matrix& g) {
  Matrix4 u;
  for (std::size_t i = 0; i < 16; ++i) {
    u.m[i] = g.m[i];
  }
  return u;
}

// The matrix the steps make, column by column on the simulator.
Matrix4 run_steps(const std::vector<TwoQubitStep>& steps) {
  Matrix4 u;
  for (int col = 0; col < 4; ++col) {
    testing::State state(4);
    state[static_cast<std::size_t>(col)] = 1;
    for (const TwoQubitStep& step : steps) {
      if (step.kind == TwoQubitStep::Kind::Cx) {
        const std::uint32_t qubits[2] = {step.qubit, 1u - step.qubit};
        testing::detail::apply(testing::detail::controlled({0, 1, 1, 0}),
                               qubits, state);
        continue;
      }
      // w I - i (x X + y Y + z Z).
      const Rotation& r = step.rotation;
      const Matrix g{1,
                     {Complex(r.w, -r.z), Complex(-r.y, -r.x),
                      Complex(r.y, -r.x), Complex(r.w, r.z)}};
      const std::uint32_t qubit[1] = {step.qubit};
      testing::detail::apply(g, qubit, state);
    }
    for (int row = 0; row < 4; ++row) {
      u(row, col) = state[static_cast<std::size_t>(row)];
    }
  }
  return u;
}

int count_cx(const std::vector<TwoQubitStep>& steps) {
  int n = 0;
  for (const TwoQubitStep& s : steps) {
    n += s.kind == TwoQubitStep::Kind::Cx ? 1 : 0;
  }
  return n;
}

void expect_synthesised(const Matrix4& u, int cx, const std::string& name) {
  std::vector<TwoQubitStep> steps;
  const auto written = synthesize_two_qubit(u, steps);
  ASSERT_TRUE(written) << name;
  EXPECT_EQ(*written, cx) << name;
  EXPECT_EQ(count_cx(steps), *written) << name;
  EXPECT_LT(distance_up_to_phase(u, run_steps(steps)), 1e-9) << name;
  // The quick check never rules out what the synthesis achieves.
  EXPECT_TRUE(may_need_fewer_cx(u, *written + 1)) << name;
}

TEST(TwoQubitSynthesisTest, writes_each_class_with_its_fewest_cx) {
  const double q = pi / 4;
  const struct {
    std::string name;
    double a, b, c;
    int cx;
  } cases[] = {
      {"identity", 0, 0, 0, 0},
      {"pauli pair", pi / 2, 0, 0, 0},
      {"all half turns", pi / 2, -pi / 2, pi, 0},
      {"cx class in xx", q, 0, 0, 1},
      {"cx class in yy", 0, q, 0, 1},
      {"cx class in zz", 0, 0, q, 1},
      {"cx class negative", 0, -q, 0, 1},
      {"cx class shifted", 0, 0, q + pi / 2, 1},
      {"cx class from three quarters", 3 * q, 0, 0, 1},
      {"xx zz", 0.3, 0, -0.2, 2},
      {"xx yy", 0.3, 0.7, 0, 2},
      {"yy zz", 0, -0.4, 0.25, 2},
      {"iswap class", q, q, 0, 2},
      {"one small", 0.123, 0, 0, 2},
      {"zero after shift", 0.2, pi / 2, 0.5, 2},
      {"swap class", q, q, q, 3},
      {"general", 0.3, 0.2, 0.1, 3},
      {"general negative", -0.7, 0.45, -1.3, 3},
      {"equal", 0.3, 0.3, 0.3, 3},
      {"near cx but not", q, 0, 1e-6, 2},
      {"rounding of zero", 0.3, 1e-13, 0.4, 2},
  };
  std::mt19937_64 rng(31);
  for (const auto& c : cases) {
    const Matrix can = canonical(c.a, c.b, c.c);
    expect_synthesised(to_matrix4(can), c.cx, c.name + " bare");
    for (int dressing = 0; dressing < 4; ++dressing) {
      const Matrix u = multiply(
          local(random_one_qubit(rng), random_one_qubit(rng)),
          multiply(can, local(random_one_qubit(rng), random_one_qubit(rng))));
      expect_synthesised(to_matrix4(u), c.cx, c.name);
    }
  }
}

TEST(TwoQubitSynthesisTest, writes_catalogue_gates_with_their_fewest_cx) {
  using Kind = ir::StandardGate::Kind;
  const struct {
    Kind kind;
    std::vector<double> params;
    int cx;
  } cases[] = {
      {Kind::Cx, {}, 1},       {Kind::Cz, {}, 1},
      {Kind::Cy, {}, 1},       {Kind::Ch, {}, 1},
      {Kind::Swap, {}, 3},     {Kind::ISwap, {}, 2},
      {Kind::Cp, {0.3}, 2},    {Kind::Cp, {pi}, 1},
      {Kind::Crz, {1.1}, 2},   {Kind::Rzz, {0.4}, 2},
      {Kind::Rxx, {2 * pi}, 0}, {Kind::Cu, {0.3, 0.2, 0.1, 0.5}, 2},
  };
  for (const auto& c : cases) {
    std::vector<ir::ParameterExpression> params;
    for (const double p : c.params) {
      params.push_back(ir::ParameterExpression::constant(p));
    }
    const auto gate = ir::StandardGate::make(c.kind, std::move(params));
    ASSERT_TRUE(gate);
    expect_synthesised(to_matrix4(testing::gate_matrix(*gate)), c.cx,
                       std::string(ir::StandardGate::name(c.kind)));
  }
}

// `core` between random one-qubit gates on both sides.
Matrix dressed(const Matrix& core, std::mt19937_64& rng) {
  return multiply(local(random_one_qubit(rng), random_one_qubit(rng)),
                  multiply(core, local(random_one_qubit(rng),
                                       random_one_qubit(rng))));
}

TEST(TwoQubitSynthesisTest, the_quick_check_rules_out_only_what_cannot_shrink) {
  const double q = pi / 4;
  const struct {
    double a, b, c;
    int cx;
    bool fewer;
  } cases[] = {
      {0.3, 0.2, 0.1, 3, false}, {0.3, 0.2, 0, 3, true},
      {0.3, 0, 0, 2, false},     {q, 0, 0, 2, true},
      {0, 0, 0, 1, true},        {0.3, 0.2, 0.1, 4, true},
      {q, 0, 0, 1, false},       {0, pi / 2, 0, 1, true},
  };
  std::mt19937_64 rng(33);
  for (const auto& c : cases) {
    const Matrix u = dressed(canonical(c.a, c.b, c.c), rng);
    EXPECT_EQ(may_need_fewer_cx(to_matrix4(u), c.cx), c.fewer)
        << c.a << " " << c.b << " " << c.c << " fewer than " << c.cx;
  }
}

TEST(TwoQubitSynthesisTest, any_product_of_gates_needs_at_most_three_cx) {
  std::mt19937_64 rng(32);
  std::uniform_real_distribution<double> angle(-pi, pi);
  for (int trial = 0; trial < 300; ++trial) {
    Matrix u = local(random_one_qubit(rng), random_one_qubit(rng));
    for (int k = 0; k < 4; ++k) {
      u = multiply(canonical(angle(rng), angle(rng), angle(rng)), u);
      u = multiply(local(random_one_qubit(rng), random_one_qubit(rng)), u);
    }
    std::vector<TwoQubitStep> steps;
    const auto written = synthesize_two_qubit(to_matrix4(u), steps);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, 3);
    EXPECT_LT(distance_up_to_phase(to_matrix4(u), run_steps(steps)), 1e-9);
    // ... and passes over what cannot shrink.
    EXPECT_FALSE(may_need_fewer_cx(to_matrix4(u), 3));
  }
}

// With a tolerance, coordinates near a cheaper class are rounded to it only
// when the result stays within the tolerance (Frobenius norm up to phase,
// which bounds the operator norm); otherwise the exact circuit comes back.
TEST(TwoQubitSynthesisTest, a_tolerance_saves_cx_only_within_it) {
  const double q = pi / 4;
  const double tolerance = 1e-4;
  const struct {
    std::string name;
    double a, b, c;
    int cx;
    int exact_cx;
  } cases[] = {
      {"tiny single coordinate", 2e-5, 0, 0, 0, 2},
      {"tiny pair", 1e-5, -1e-5, 0, 0, 2},
      {"near cx class", q, 1e-5, 0, 1, 2},
      {"near two cx", 0.3, 0.2, 2e-5, 2, 3},
      {"too far to drop", 2e-4, 0, 0, 2, 2},
      {"general stays", 0.3, 0.2, 0.1, 3, 3},
  };
  std::mt19937_64 rng(34);
  for (const auto& c : cases) {
    const Matrix u = dressed(canonical(c.a, c.b, c.c), rng);
    const Matrix4 m = to_matrix4(u);
    EXPECT_TRUE(may_need_fewer_cx(m, 3, tolerance) || c.cx == 3) << c.name;
    std::vector<TwoQubitStep> steps;
    const auto written = synthesize_two_qubit(m, steps, tolerance);
    ASSERT_TRUE(written) << c.name;
    EXPECT_EQ(*written, c.cx) << c.name;
    EXPECT_EQ(count_cx(steps), c.cx) << c.name;
    // Entry-wise distance is at most the operator-norm distance.
    EXPECT_LE(distance_up_to_phase(m, run_steps(steps)), tolerance) << c.name;
    // Without one, nothing is rounded.
    steps.clear();
    EXPECT_EQ(synthesize_two_qubit(m, steps), c.exact_cx) << c.name;
  }
}

TEST(TwoQubitSynthesisTest, refuses_a_matrix_that_is_not_unitary) {
  Matrix4 scaled = Matrix4::identity();
  scaled(0, 0) = 3;
  // Determinant one, yet not unitary.
  Matrix4 stretched = Matrix4::identity();
  stretched(0, 0) = 2;
  stretched(1, 1) = 0.5;
  for (const Matrix4& u : {scaled, stretched}) {
    std::vector<TwoQubitStep> steps(2);
    EXPECT_FALSE(synthesize_two_qubit(u, steps));
    EXPECT_EQ(steps.size(), 2u);
  }
}

}  // namespace
}  // namespace qelto::compile
