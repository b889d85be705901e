#include "ir/transform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ir/circuit_ops.hpp"
#include "snapshot.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using Kind = StandardGate::Kind;
using Strings = std::vector<std::string>;
using testing::added_ops;
using testing::snapshot;

QubitId q(std::uint32_t i) { return QubitId{i}; }
ClbitId b(std::uint32_t i) { return ClbitId{i}; }

// Registers, lone bits added between operations, parameters, every kind.
Circuit rich() {
  Circuit c("rich");
  c.add_qreg("a", 2);
  (void)c.h(q(0));
  c.add_clbit();
  (void)c.rx(PE::add(PE::symbol("t"), PE::pi()), q(1));
  c.add_qubit();
  c.add_creg("m", 2);
  (void)c.cx(q(2), q(0));
  (void)c.measure(q(1), b(2));
  (void)c.barrier_all();
  (void)c.delay(q(2), 7);
  (void)c.reset(q(0));
  (void)c.apply(Instruction{{q(2), q(0)},
                            {},
                            Gate(CustomGate{"g", 2, {}})});
  return c;
}

TEST(CopyTest, copy_equals_source_down_to_node_numbering) {
  const Circuit source = rich();
  const Circuit copied = copy(source, source.name());
  EXPECT_EQ(snapshot(copied), snapshot(source));
  EXPECT_EQ(copy(source, "other").name(), "other");
}

TEST(CopyTest, copy_is_independent_of_its_source) {
  Circuit source = rich();
  const auto before = snapshot(source);
  Circuit copied = copy(source, "c");
  (void)copied.x(q(1));
  copied.add_qubit();
  EXPECT_EQ(snapshot(source), before);
}

TEST(ComposeTest, appends_with_identity_or_given_mapping) {
  Circuit other = Circuit::with_size("o", 2, 1);
  (void)other.cx(q(0), q(1));
  (void)other.measure(q(1), b(0));

  Circuit same = Circuit::with_size("t", 3, 2);
  (void)same.h(q(2));
  ASSERT_TRUE(compose(same, other, std::nullopt, std::nullopt));
  EXPECT_EQ(added_ops(same),
            (Strings{"h q2", "cx q0 q1", "measure q1 -> c0"}));

  Circuit mapped = Circuit::with_size("t", 3, 2);
  const QubitId qubits[] = {q(2), q(0)};
  const ClbitId clbits[] = {b(1)};
  auto result = compose(mapped, other, qubits, clbits);
  ASSERT_TRUE(result);
  EXPECT_EQ(&result->get(), &mapped);
  EXPECT_EQ(added_ops(mapped), (Strings{"cx q2 q0", "measure q0 -> c1"}));
}

TEST(ComposeTest, wide_operations_compose_like_narrow_ones) {
  Circuit other = Circuit::with_size("o", 12, 12);
  (void)other.measure_all();
  (void)other.barrier_all();
  Circuit target = Circuit::with_size("t", 12, 12);
  (void)target.h(q(3));
  ASSERT_TRUE(compose(target, other, std::nullopt, std::nullopt));
  EXPECT_EQ(target.name(), "t");
  ASSERT_EQ(num_operations(target), 3u);
  EXPECT_EQ(testing::describe(operation_at(target, 2)->to_instruction()),
            "barrier q0 q1 q2 q3 q4 q5 q6 q7 q8 q9 q10 q11");
  EXPECT_EQ(target.depth(), 3u);
}

TEST(ComposeTest, composing_a_circuit_onto_itself_doubles_it) {
  Circuit c = Circuit::with_size("c", 2, 0);
  (void)c.h(q(0));
  (void)c.cx(q(0), q(1));
  ASSERT_TRUE(compose(c, c, std::nullopt, std::nullopt));
  EXPECT_EQ(added_ops(c), (Strings{"h q0", "cx q0 q1", "h q0", "cx q0 q1"}));
}

struct BadMapping {
  const char* name;
  std::vector<QubitId> qubits;
  bool identity_qubits;
  std::vector<ClbitId> clbits;
  bool identity_clbits;
  const char* message;
};

TEST(ComposeTest, refuses_bad_mappings_and_leaves_the_target_unchanged) {
  Circuit other = Circuit::with_size("o", 2, 1);
  (void)other.cx(q(0), q(1));
  const BadMapping cases[] = {
      {"short qubit list", {q(0)}, false, {}, true,
       "Cannot compose: 1 qubits given for a circuit with 2"},
      {"unknown qubit", {q(0), q(7)}, false, {}, true,
       "Cannot compose: qubit 7 is not in the circuit (it has 3 qubits)"},
      {"repeated qubit", {q(1), q(1)}, false, {}, true,
       "Cannot compose: qubit 1 is given twice"},
      {"long clbit list", {}, true, {b(0), b(1)}, false,
       "Cannot compose: 2 clbits given for a circuit with 1"},
  };
  for (const BadMapping& t : cases) {
    Circuit target = Circuit::with_size("t", 3, 1);
    (void)target.h(q(0));
    const auto before = testing::snapshot(target);
    auto result = compose(
        target, other,
        t.identity_qubits ? std::nullopt
                          : std::optional<std::span<const QubitId>>(t.qubits),
        t.identity_clbits ? std::nullopt
                          : std::optional<std::span<const ClbitId>>(t.clbits));
    ASSERT_FALSE(result) << t.name;
    EXPECT_EQ(to_string(result.error()), t.message) << t.name;
    EXPECT_EQ(testing::snapshot(target), before) << t.name;
  }
  Circuit small = Circuit::with_size("s", 1, 1);
  auto result = compose(small, other, std::nullopt, std::nullopt);
  ASSERT_FALSE(result);
  EXPECT_EQ(to_string(result.error()),
            "Cannot compose: the circuit has 1 qubits, fewer than the 2 of "
            "the circuit composed onto it");
}

struct InverseCase {
  const char* name;
  void (*build)(Circuit&);
  Strings expected;
};

TEST(InverseTest, replaces_each_gate_by_its_exact_inverse_in_reverse_order) {
  const InverseCase cases[] = {
      {"s", [](Circuit& c) { (void)c.s(q(0)); }, {"sdg q0"}},
      {"tdg", [](Circuit& c) { (void)c.tdg(q(0)); }, {"t q0"}},
      {"sx", [](Circuit& c) { (void)c.sx(q(0)); }, {"sxdg q0"}},
      {"self-inverse", [](Circuit& c) { (void)c.h(q(0)); (void)c.cx(q(1), q(0)); },
       {"cx q1 q0", "h q0"}},
      {"rotation", [](Circuit& c) { (void)c.rx(PE::constant(0.5), q(0)); },
       {"rx(-0.5) q0"}},
      {"symbolic", [](Circuit& c) { (void)c.crz(PE::symbol("t"), q(0), q(1)); },
       {"crz(-(t)) q0 q1"}},
      {"u", [](Circuit& c) {
         (void)c.u(PE::constant(1), PE::constant(2), PE::constant(3), q(0));
       },
       {"u(-1,-3,-2) q0"}},
      {"prx", [](Circuit& c) {
         (void)c.prx(PE::constant(1), PE::constant(2), q(0));
       },
       {"prx(-1,2) q0"}},
      {"iswap", [](Circuit& c) { (void)c.iswap(q(1), q(0)); },
       {"rxx((pi/2)) q1 q0", "ryy((pi/2)) q1 q0"}},
      {"barrier", [](Circuit& c) { (void)c.barrier_all(); }, {"barrier q0 q1"}},
  };
  for (const InverseCase& t : cases) {
    Circuit c = Circuit::with_size("c", 2, 0);
    t.build(c);
    auto inverted = inverse(c);
    ASSERT_TRUE(inverted) << t.name;
    EXPECT_EQ(added_ops(*inverted), t.expected) << t.name;
    EXPECT_EQ(inverted->name(), "c_dg");
  }
}

// `count` gates drawn from the whole catalogue (seeded), on distinct
// qubits of a 5-qubit circuit, with constant and symbolic parameters, and
// barriers among them.
Circuit random_gates(std::uint32_t seed, std::uint32_t count) {
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 7;
  auto pick = [&state](std::uint32_t n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>((state >> 33) % n);
  };
  Circuit c = Circuit::with_size("r", 5, 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (pick(10) == 0) {
      (void)c.barrier_all();
      continue;
    }
    const auto kind =
        static_cast<StandardGate::Kind>(pick(StandardGate::kNumKinds));
    std::vector<PE> params;
    for (std::uint32_t k = 0; k < StandardGate::num_params(kind); ++k) {
      params.push_back(pick(2) == 0 ? PE::constant(pick(100) / 7.0)
                                    : PE::symbol("p" + std::to_string(k)));
    }
    QubitList qubits;
    while (qubits.size() < StandardGate::num_qubits(kind)) {
      const QubitId next = q(pick(5));
      if (std::find(qubits.begin(), qubits.end(), next) == qubits.end()) {
        qubits.push_back(next);
      }
    }
    EXPECT_TRUE(c.apply(Instruction{
        std::move(qubits), {},
        Gate(*StandardGate::make(kind, std::move(params)))}));
  }
  return c;
}

TEST(InverseTest, inverse_of_two_parts_is_their_inverses_in_reverse_order) {
  for (std::uint32_t seed = 0; seed < 40; ++seed) {
    const Circuit first = random_gates(seed, 30);
    const Circuit second = random_gates(seed + 1000, 30);
    Circuit whole = first.clone("r");
    ASSERT_TRUE(compose(whole, second, std::nullopt, std::nullopt));
    auto expected = inverse(second);
    auto first_inverse = inverse(first);
    ASSERT_TRUE(expected && first_inverse);
    ASSERT_TRUE(
        compose(*expected, *first_inverse, std::nullopt, std::nullopt));
    auto inverted = inverse(whole);
    ASSERT_TRUE(inverted);
    EXPECT_EQ(snapshot(*inverted), snapshot(*expected)) << "seed " << seed;
  }
}

TEST(InverseTest, refuses_operations_without_an_inverse) {
  const InverseCase cases[] = {
      {"measure", [](Circuit& c) { (void)c.measure(q(0), b(0)); }, {"measure"}},
      {"reset", [](Circuit& c) { (void)c.reset(q(0)); }, {"reset"}},
      {"delay", [](Circuit& c) { (void)c.delay(q(0), 5); }, {"delay"}},
      {"custom", [](Circuit& c) {
         (void)c.apply(Instruction{{q(0)}, {}, Gate(CustomGate{"g", 1, {}})});
       },
       {"g"}},
  };
  for (const InverseCase& t : cases) {
    Circuit c = Circuit::with_size("c", 1, 1);
    (void)c.h(q(0));
    t.build(c);
    auto inverted = inverse(c);
    ASSERT_FALSE(inverted) << t.name;
    EXPECT_EQ(to_string(inverted.error()),
              "Cannot invert the circuit: operation 1 (" + t.expected[0] +
                  ") has no inverse");
  }
}

using Values = std::vector<std::pair<std::string, double>>;

TEST(AssignParametersTest, matches_the_circuit_built_with_the_values) {
  Circuit symbolic = Circuit::with_size("p", 2, 0);
  (void)symbolic.rx(PE::symbol("a"), q(0));
  (void)symbolic.cp(PE::mul(PE::symbol("a"), PE::symbol("b")), q(0), q(1));
  (void)symbolic.rz(PE::add(PE::symbol("c"), PE::pi()), q(1));
  Circuit direct = Circuit::with_size("p", 2, 0);
  (void)direct.rx(PE::constant(0.5), q(0));
  (void)direct.cp(PE::constant(0.5 * 4.0), q(0), q(1));
  (void)direct.rz(PE::add(PE::symbol("c"), PE::pi()), q(1));
  const Values values = {{"b", 4.0}, {"a", 0.5}};
  auto bound = assign_parameters(symbolic, values);
  ASSERT_TRUE(bound);
  EXPECT_EQ(snapshot(*bound), snapshot(direct));
  EXPECT_EQ(parameters(*bound), (Strings{"c"}));
}

TEST(AssignParametersTest, refuses_unknown_names_then_non_finite_values) {
  Circuit c = Circuit::with_size("p", 1, 0);
  (void)c.rx(PE::symbol("a"), q(0));
  auto unknown = assign_parameters(c, Values{{"z", 1}, {"a", 1}, {"y", 2}});
  ASSERT_FALSE(unknown);
  EXPECT_EQ(to_string(unknown.error()),
            "Parameters not in the circuit: 'z', 'y'");
  EXPECT_TRUE(std::holds_alternative<UnknownParameters>(unknown.error()));
  auto nan = assign_parameters(c, Values{{"a", std::nan("")}});
  ASSERT_FALSE(nan);
  EXPECT_EQ(to_string(nan.error()),
            "Parameter 'a' cannot take the value nan: values must be finite");
  auto inf = assign_parameters(c, Values{{"a", -INFINITY}});
  ASSERT_FALSE(inf);
  EXPECT_TRUE(std::holds_alternative<NonFiniteParameterValue>(inf.error()));
}

}  // namespace
}  // namespace qelto::ir
