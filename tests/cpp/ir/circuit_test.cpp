#include "ir/circuit.hpp"

#include <gtest/gtest.h>

#include "describe.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::ops_of;
using Strings = std::vector<std::string>;

QubitId q(std::uint32_t i) { return QubitId{i}; }
ClbitId c(std::uint32_t i) { return ClbitId{i}; }

std::vector<std::uint32_t> ids(const std::vector<QubitId>& v) {
  std::vector<std::uint32_t> out;
  for (QubitId x : v) {
    out.push_back(x.index);
  }
  return out;
}

std::vector<std::uint32_t> ids(const std::vector<ClbitId>& v) {
  std::vector<std::uint32_t> out;
  for (ClbitId x : v) {
    out.push_back(x.index);
  }
  return out;
}

// Everything observable about a circuit, for "unchanged" checks.
struct State {
  std::string name;
  std::uint64_t qubits;
  std::uint64_t clbits;
  std::uint64_t depth;
  std::size_t nodes;
  std::size_t edges;
  Strings ops;
  bool operator==(const State&) const = default;
};

State state(const Circuit& circuit) {
  return {circuit.name(), circuit.num_qubits(), circuit.num_clbits(),
          circuit.depth(), circuit.dag().node_count(), circuit.dag().edge_count(),
          ops_of(circuit)};
}

TEST(CircuitTest, new_circuit_is_empty) {
  Circuit a("x");
  Circuit b = Circuit::empty("y");
  EXPECT_EQ(a.name(), "x");
  EXPECT_EQ(b.name(), "y");
  EXPECT_EQ(a.num_qubits(), 0u);
  EXPECT_EQ(a.num_clbits(), 0u);
  EXPECT_EQ(a.depth(), 0u);
  EXPECT_EQ(a.dag().node_count(), 0u);
}

TEST(CircuitTest, with_size_creates_qubits_then_clbits) {
  Circuit circuit = Circuit::with_size("c", 2, 1);
  EXPECT_EQ(circuit.name(), "c");
  ASSERT_EQ(circuit.num_qubits(), 2u);
  ASSERT_EQ(circuit.num_clbits(), 1u);
  EXPECT_EQ(circuit.qubits()[0].id, q(0));
  EXPECT_EQ(circuit.qubits()[1].id, q(1));
  EXPECT_EQ(circuit.clbits()[0].id, c(0));
  EXPECT_EQ(circuit.qubits()[1].register_name, std::nullopt);
  EXPECT_EQ(circuit.qubits()[1].index, std::nullopt);
  // WireIn/WireOut pairs of all qubits come before the classical ones.
  EXPECT_EQ(circuit.dag().qubit_input(q(1)), NodeIndex{2});
  EXPECT_EQ(circuit.dag().clbit_input(c(0)), NodeIndex{4});
  EXPECT_EQ(circuit.add_qubit(), q(2));
  EXPECT_EQ(circuit.add_clbit(), c(1));
  EXPECT_EQ(circuit.num_qubits(), 3u);
  EXPECT_EQ(circuit.dag().qubit_input(q(2)), NodeIndex{6});
}

TEST(CircuitTest, add_qreg_records_register_and_positions) {
  Circuit circuit = Circuit::with_size("c", 2, 0);
  EXPECT_EQ(ids(circuit.add_qreg("r", 3)), (std::vector<std::uint32_t>{2, 3, 4}));
  ASSERT_EQ(circuit.num_qubits(), 5u);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const QubitInfo& info = circuit.qubits()[2 + i];
    EXPECT_EQ(info.id, q(2 + i));
    EXPECT_EQ(info.register_name, "r");
    EXPECT_EQ(info.index, i);
  }
  EXPECT_EQ(circuit.add_qubit(), q(5));
  EXPECT_TRUE(circuit.add_qreg("r", 0).empty());
  EXPECT_EQ(circuit.num_qubits(), 6u);
  // Same register name again is accepted.
  EXPECT_EQ(ids(circuit.add_qreg("r", 1)), (std::vector<std::uint32_t>{6}));
  EXPECT_EQ(circuit.dag().num_qubit_wires(), 7u);
}

TEST(CircuitTest, add_creg_records_register_and_positions) {
  Circuit circuit("c");
  circuit.add_clbit();
  const std::string long_name(100, 'm');  // no short-string storage
  EXPECT_EQ(ids(circuit.add_creg(long_name, 2)), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(circuit.clbits()[2].register_name, long_name);
  EXPECT_EQ(circuit.clbits()[2].index, 1u);
  EXPECT_EQ(circuit.clbits()[0].register_name, std::nullopt);
  EXPECT_TRUE(circuit.add_creg("z", 0).empty());
  EXPECT_EQ(circuit.num_clbits(), 3u);
}

// Each builder on a 3-qubit, 1-bit circuit makes exactly one instruction.
TEST(CircuitTest, builders_make_the_listed_instructions) {
  struct Case {
    std::function<BuildResult(Circuit&)> build;
    const char* text;
  };
  const std::vector<Case> cases = {
      {[](Circuit& k) { return k.h(q(2)); }, "h q2"},
      {[](Circuit& k) { return k.x(q(0)); }, "x q0"},
      {[](Circuit& k) { return k.y(q(0)); }, "y q0"},
      {[](Circuit& k) { return k.z(q(0)); }, "z q0"},
      {[](Circuit& k) { return k.s(q(0)); }, "s q0"},
      {[](Circuit& k) { return k.sdg(q(0)); }, "sdg q0"},
      {[](Circuit& k) { return k.t(q(0)); }, "t q0"},
      {[](Circuit& k) { return k.tdg(q(0)); }, "tdg q0"},
      {[](Circuit& k) { return k.sx(q(1)); }, "sx q1"},
      {[](Circuit& k) { return k.rx(PE::constant(0.5), q(1)); }, "rx(0.5) q1"},
      {[](Circuit& k) { return k.ry(PE::symbol("a"), q(1)); }, "ry(a) q1"},
      {[](Circuit& k) { return k.rz(PE::pi(), q(1)); }, "rz(pi) q1"},
      {[](Circuit& k) { return k.p(PE::constant(2), q(0)); }, "p(2) q0"},
      {[](Circuit& k) { return k.u(PE::constant(1), PE::constant(2), PE::constant(3), q(2)); },
       "u(1,2,3) q2"},
      {[](Circuit& k) { return k.prx(PE::symbol("t"), PE::symbol("f"), q(0)); }, "prx(t,f) q0"},
      {[](Circuit& k) { return k.cx(q(2), q(0)); }, "cx q2 q0"},
      {[](Circuit& k) { return k.cy(q(0), q(1)); }, "cy q0 q1"},
      {[](Circuit& k) { return k.cz(q(1), q(0)); }, "cz q1 q0"},
      {[](Circuit& k) { return k.swap(q(0), q(2)); }, "swap q0 q2"},
      {[](Circuit& k) { return k.iswap(q(2), q(1)); }, "iswap q2 q1"},
      {[](Circuit& k) { return k.cp(PE::constant(0.25), q(1), q(2)); }, "cp(0.25) q1 q2"},
      {[](Circuit& k) { return k.crz(PE::symbol("z"), q(2), q(1)); }, "crz(z) q2 q1"},
      {[](Circuit& k) { return k.ccx(q(2), q(0), q(1)); }, "ccx q2 q0 q1"},
      {[](Circuit& k) { return k.cswap(q(1), q(2), q(0)); }, "cswap q1 q2 q0"},
      {[](Circuit& k) { return k.measure(q(2), c(0)); }, "measure q2 -> c0"},
      {[](Circuit& k) { return k.reset(q(1)); }, "reset q1"},
      {[](Circuit& k) { return k.delay(q(0), 18446744073709551615ull); },
       "delay[18446744073709551615] q0"},
      {[](Circuit& k) { return k.barrier_all(); }, "barrier q0 q1 q2"},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.text);
    Circuit circuit = Circuit::with_size("b", 3, 1);
    BuildResult r = cs.build(circuit);
    ASSERT_TRUE(r.has_value()) << to_string(r.error());
    EXPECT_EQ(&r->get(), &circuit);
    EXPECT_EQ(ops_of(circuit), Strings{cs.text});
    EXPECT_EQ(circuit.depth(), 1u);
  }
}

TEST(CircuitTest, builder_calls_chain) {
  Circuit circuit = Circuit::with_size("chain", 2, 0);
  ASSERT_TRUE(circuit.h(q(0))->get().cx(q(0), q(1))->get().x(q(1)).has_value());
  EXPECT_EQ(ops_of(circuit), (Strings{"h q0", "cx q0 q1", "x q1"}));
}

TEST(CircuitTest, builder_errors_come_from_apply_and_change_nothing) {
  struct Case {
    std::function<BuildResult(Circuit&)> build;
    const char* text;
  };
  const std::vector<Case> cases = {
      {[](Circuit& k) { return k.h(q(5)); }, "Qubit QubitId(5) not found in circuit (gate: h)"},
      {[](Circuit& k) { return k.cx(q(1), q(1)); },
       "Duplicate qubit QubitId(1) in operation (gate: cx)"},
      {[](Circuit& k) { return k.ccx(q(0), q(1), q(0)); },
       "Duplicate qubit QubitId(0) in operation (gate: ccx)"},
      {[](Circuit& k) { return k.cp(PE::pi(), q(0), q(2)); },
       "Qubit QubitId(2) not found in circuit (gate: cp)"},
      {[](Circuit& k) { return k.measure(q(0), c(5)); },
       "Classical bit ClbitId(5) not found in circuit"},
      {[](Circuit& k) { return k.measure(q(7), c(0)); }, "Qubit QubitId(7) not found in circuit"},
      {[](Circuit& k) { return k.reset(q(2)); }, "Qubit QubitId(2) not found in circuit"},
      {[](Circuit& k) { return k.delay(q(2), 5); }, "Qubit QubitId(2) not found in circuit"},
  };
  Circuit circuit = Circuit::with_size("e", 2, 2);
  ASSERT_TRUE(circuit.h(q(0)) && circuit.cx(q(0), q(1)));
  const State before = state(circuit);
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.text);
    BuildResult r = cs.build(circuit);
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(to_string(r.error()), cs.text);
    EXPECT_EQ(state(circuit), before);
  }
  // Later operations are unaffected by the failed ones.
  ASSERT_TRUE(circuit.measure_all());
  EXPECT_EQ(ops_of(circuit), (Strings{"h q0", "cx q0 q1", "measure q0 q1 -> c0 c1"}));
}

TEST(CircuitTest, apply_places_instructions_without_builders) {
  Circuit circuit = Circuit::with_size("a", 2, 0);
  ASSERT_TRUE(circuit.apply(Instruction::single_qubit_gate(StandardGate(StandardGate::Sxdg), q(0))));
  ASSERT_TRUE(circuit.apply(Instruction{{q(0), q(1)}, {}, Gate(StandardGate(StandardGate::Rzz, PE::constant(1)))}));
  auto bad = circuit.apply(Instruction::single_qubit_gate(StandardGate(StandardGate::Ch), q(0)));
  ASSERT_FALSE(bad);
  EXPECT_EQ(to_string(bad.error()), "Gate 'ch' requires 2 qubits, got 1");
  EXPECT_EQ(ops_of(circuit), (Strings{"sxdg q0", "rzz(1) q0 q1"}));
}

TEST(CircuitTest, measure_all_adds_missing_bits_and_measures_once) {
  Circuit circuit = Circuit::with_size("m", 3, 1);
  ASSERT_TRUE(circuit.measure_all());
  ASSERT_EQ(circuit.num_clbits(), 3u);
  EXPECT_EQ(circuit.clbits()[1].id, c(1));
  EXPECT_EQ(circuit.clbits()[2].id, c(2));
  EXPECT_EQ(circuit.clbits()[2].register_name, std::nullopt);
  EXPECT_EQ(ops_of(circuit), (Strings{"measure q0 q1 q2 -> c0 c1 c2"}));
  EXPECT_EQ(circuit.depth(), 1u);

  Circuit wide = Circuit::with_size("m", 2, 4);
  ASSERT_TRUE(wide.measure_all());
  EXPECT_EQ(wide.num_clbits(), 4u);
  EXPECT_EQ(ops_of(wide), (Strings{"measure q0 q1 -> c0 c1"}));

  Circuit none("m");
  ASSERT_TRUE(none.measure_all());
  EXPECT_EQ(ops_of(none), (Strings{"measure"}));
  EXPECT_EQ(none.depth(), 1u);
}

TEST(CircuitTest, measure_all_uses_records_in_list_order) {
  Circuit circuit("m");
  circuit.add_clbit();
  circuit.add_qreg("a", 2);
  circuit.add_creg("b", 1);
  circuit.add_qubit();
  ASSERT_TRUE(circuit.measure_all());
  EXPECT_EQ(ops_of(circuit), (Strings{"measure q0 q1 q2 -> c0 c1 c2"}));
  // Bit 2 was added by measure_all after the register's bit 1.
  EXPECT_EQ(circuit.clbits()[2].register_name, std::nullopt);
}

TEST(CircuitTest, barrier_all_without_qubits_still_counts) {
  Circuit circuit("b");
  ASSERT_TRUE(circuit.barrier_all());
  EXPECT_EQ(ops_of(circuit), (Strings{"barrier"}));
  EXPECT_EQ(circuit.depth(), 1u);
}

TEST(CircuitTest, bell) {
  auto bell = Circuit::bell();
  ASSERT_TRUE(bell.has_value());
  EXPECT_EQ(bell->name(), "bell");
  EXPECT_EQ(bell->num_qubits(), 2u);
  EXPECT_EQ(bell->num_clbits(), 2u);
  EXPECT_EQ(bell->depth(), 3u);
  EXPECT_EQ(ops_of(*bell),
            (Strings{"h q0", "cx q0 q1", "measure q1 -> c1", "measure q0 -> c0"}));
}

TEST(CircuitTest, ghz) {
  auto g0 = Circuit::ghz(0);
  ASSERT_TRUE(g0);
  EXPECT_EQ(g0->name(), "ghz_0");
  EXPECT_EQ(g0->num_qubits(), 0u);
  EXPECT_EQ(g0->num_clbits(), 0u);
  EXPECT_EQ(g0->dag().node_count(), 0u);

  auto g1 = Circuit::ghz(1);
  ASSERT_TRUE(g1);
  EXPECT_EQ(g1->name(), "ghz");
  EXPECT_EQ(g1->num_qubits(), 1u);
  EXPECT_EQ(g1->num_clbits(), 1u);
  EXPECT_EQ(ops_of(*g1), (Strings{"h q0", "measure q0 -> c0"}));

  auto g3 = Circuit::ghz(3);
  ASSERT_TRUE(g3);
  EXPECT_EQ(g3->depth(), 4u);
  Strings ops = ops_of(*g3);
  std::sort(ops.begin(), ops.end());
  EXPECT_EQ(ops, (Strings{"cx q0 q1", "cx q1 q2", "h q0", "measure q0 -> c0",
                          "measure q1 -> c1", "measure q2 -> c2"}));
}

TEST(CircuitTest, qft) {
  auto q0 = Circuit::qft(0);
  ASSERT_TRUE(q0);
  EXPECT_EQ(q0->name(), "qft_0");
  EXPECT_EQ(q0->num_qubits(), 0u);

  auto q1 = Circuit::qft(1);
  ASSERT_TRUE(q1);
  EXPECT_EQ(q1->name(), "qft");
  EXPECT_EQ(q1->num_clbits(), 0u);
  EXPECT_EQ(ops_of(*q1), (Strings{"h q0"}));

  auto q2 = Circuit::qft(2);
  ASSERT_TRUE(q2);
  EXPECT_EQ(ops_of(*q2), (Strings{"h q0", "cp(1.5708) q1 q0", "h q1", "swap q0 q1"}));

  auto q3 = Circuit::qft(3);
  ASSERT_TRUE(q3);
  EXPECT_EQ(q3->num_qubits(), 3u);
  // Node order is application order: h(0), cp(pi/2; 1, 0), cp(pi/4; 2, 0),
  // h(1), cp(pi/2; 2, 1), h(2), swap(0, 2).
  Strings applied;
  std::vector<double> angles;
  for (std::uint32_t n = 6; n < q3->dag().node_count(); ++n) {
    const Instruction inst =
        std::get<OperationRef>(*q3->dag().node(NodeIndex{n})).to_instruction();
    applied.push_back(testing::describe(inst));
    for (const PE& p : inst.gate()->parameters()) {
      angles.push_back(p.get_if<PE::Constant>()->value);
    }
  }
  EXPECT_EQ(applied, (Strings{"h q0", "cp(1.5708) q1 q0", "cp(0.785398) q2 q0", "h q1",
                              "cp(1.5708) q2 q1", "h q2", "swap q0 q2"}));
  EXPECT_EQ(angles, (std::vector<double>{3.141592653589793 / 2, 3.141592653589793 / 4,
                                         3.141592653589793 / 2}));
}

TEST(CircuitTest, slow_qft_angles_underflow_to_zero_for_huge_exponents) {
  auto big = Circuit::qft(1100);
  ASSERT_TRUE(big);
  // cp(pi / 2^1099; 1099, 0) is the last cp on qubit 0: 2^1099 overflows
  // to infinity, so the angle is 0.
  const CircuitDag& dag = big->dag();
  const Instruction last_on_q0 =
      std::get<OperationRef>(*dag.node(NodeIndex{2 * 1100 + 1099})).to_instruction();
  EXPECT_EQ(testing::describe(last_on_q0), "cp(0) q1099 q0");
  const Instruction j1023 =
      std::get<OperationRef>(*dag.node(NodeIndex{2 * 1100 + 1023})).to_instruction();
  EXPECT_EQ(j1023.gate()->parameters()[0].get_if<PE::Constant>()->value,
            3.141592653589793 / 8.98846567431158e307);
}

TEST(CircuitTest, clone_copies_records_and_operations_independently) {
  auto bell = Circuit::bell();
  ASSERT_TRUE(bell);
  bell->add_qreg("extra", 2);
  Circuit copy = bell->clone();
  EXPECT_EQ(copy.name(), "bell");
  EXPECT_EQ(copy.num_qubits(), 4u);
  EXPECT_EQ(copy.qubits()[3].register_name, "extra");
  EXPECT_EQ(testing::ops_of(copy), testing::ops_of(*bell));
  EXPECT_EQ(copy.depth(), bell->depth());
  // New ids continue after the copied ones, and the source stays as it was.
  EXPECT_EQ(copy.add_qubit(), q(4));
  ASSERT_TRUE(copy.h(q(4)));
  EXPECT_EQ(bell->num_qubits(), 4u);
  EXPECT_EQ(testing::ops_of(*bell).size(), 4u);
  EXPECT_EQ(testing::ops_of(copy).size(), 5u);
}

TEST(CircuitTest, moved_circuit_keeps_everything) {
  auto bell = Circuit::bell();
  Circuit moved = std::move(*bell);
  EXPECT_EQ(moved.name(), "bell");
  EXPECT_EQ(moved.depth(), 3u);
  ASSERT_TRUE(moved.x(q(1)));
  EXPECT_EQ(moved.depth(), 4u);
}

}  // namespace
}  // namespace qelto::ir
