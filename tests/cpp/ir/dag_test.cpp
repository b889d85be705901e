#include "ir/dag.hpp"

#include <gtest/gtest.h>

#include "describe.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::indexes;
using testing::ops_of;
using Strings = std::vector<std::string>;
using Indexes = std::vector<std::uint32_t>;

QubitId q(std::uint32_t i) { return QubitId{i}; }
ClbitId c(std::uint32_t i) { return ClbitId{i}; }

Instruction gate(StandardGate::Kind kind, QubitList qubits) {
  return Instruction{std::move(qubits), {}, Gate(StandardGate(kind))};
}

Instruction measure(std::uint32_t qubit, std::uint32_t clbit) {
  return Instruction{{q(qubit)}, {c(clbit)}, Measure{}};
}

CircuitDag with_wires(std::uint32_t qubits, std::uint32_t clbits) {
  CircuitDag dag;
  for (std::uint32_t i = 0; i < qubits; ++i) {
    dag.add_qubit(q(i));
  }
  for (std::uint32_t i = 0; i < clbits; ++i) {
    dag.add_clbit(c(i));
  }
  return dag;
}

void apply_ok(CircuitDag& dag, Instruction inst) {
  auto r = dag.apply(std::move(inst));
  ASSERT_TRUE(r.has_value()) << to_string(r.error());
}

// Everything observable about the graph, to check that a failed apply
// changed nothing.
struct Snapshot {
  std::size_t nodes;
  std::size_t edges;
  std::vector<Indexes> out;
  std::vector<Indexes> in;
  Strings ops;
  std::uint64_t depth;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const CircuitDag& dag) {
  Snapshot s{dag.node_count(), dag.edge_count(), {}, {}, ops_of(dag), dag.depth()};
  for (std::uint32_t n = 0; n < dag.node_count(); ++n) {
    s.out.push_back(indexes(dag.successors(NodeIndex{n})));
    s.in.push_back(indexes(dag.predecessors(NodeIndex{n})));
  }
  return s;
}

// ---- Worked example: the bell circuit, node by node ----

CircuitDag bell_dag() {
  CircuitDag dag = with_wires(2, 2);
  apply_ok(dag, gate(StandardGate::H, {q(0)}));
  apply_ok(dag, gate(StandardGate::Cx, {q(0), q(1)}));
  apply_ok(dag, measure(0, 0));
  apply_ok(dag, measure(1, 1));
  return dag;
}

TEST(CircuitDagTest, worked_example_numbers_nodes) {
  CircuitDag dag = bell_dag();
  ASSERT_EQ(dag.node_count(), 12u);
  const Indexes ins = {0, 2, 4, 6};
  for (std::uint32_t n : ins) {
    EXPECT_TRUE(std::holds_alternative<WireIn>(*dag.node(NodeIndex{n})));
    EXPECT_TRUE(std::holds_alternative<WireOut>(*dag.node(NodeIndex{n + 1})));
  }
  EXPECT_EQ(std::get<WireIn>(*dag.node(NodeIndex{4})).wire, Wire(ClbitWire{c(0)}));
  EXPECT_EQ(dag.qubit_input(q(1)), NodeIndex{2});
  EXPECT_EQ(dag.qubit_output(q(1)), NodeIndex{3});
  EXPECT_EQ(dag.clbit_input(c(1)), NodeIndex{6});
  EXPECT_EQ(dag.clbit_output(c(1)), NodeIndex{7});
  EXPECT_EQ(testing::describe(std::get<OperationRef>(*dag.node(NodeIndex{8})).to_instruction()), "h q0");
  EXPECT_EQ(testing::describe(std::get<OperationRef>(*dag.node(NodeIndex{11})).to_instruction()),
            "measure q1 -> c1");
  EXPECT_FALSE(dag.node(NodeIndex{12}).has_value());
}

TEST(CircuitDagTest, worked_example_outgoing_lists_newest_first) {
  CircuitDag dag = bell_dag();
  const std::vector<Indexes> expected = {
      {8}, {}, {9}, {}, {10}, {}, {11}, {}, {9}, {11, 10}, {5, 1}, {7, 3}};
  for (std::uint32_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(indexes(dag.successors(NodeIndex{n})), expected[n]) << "node " << n;
  }
  EXPECT_EQ(indexes(dag.predecessors(NodeIndex{9})), (Indexes{2, 8}));
  EXPECT_EQ(dag.edge_count(), 11u);  // one more than the operations per wire
}

TEST(CircuitDagTest, worked_example_topological_order) {
  CircuitDag dag = bell_dag();
  auto order = dag.topological_order();
  ASSERT_TRUE(order.has_value());
  EXPECT_EQ(indexes(*order), (Indexes{6, 4, 2, 0, 8, 9, 11, 7, 3, 10, 5, 1}));
  std::vector<OpRef> ops = dag.topological_ops();
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].node, NodeIndex{8});
  EXPECT_EQ(ops[1].node, NodeIndex{9});
  EXPECT_EQ(ops[2].node, NodeIndex{11});
  EXPECT_EQ(ops[3].node, NodeIndex{10});
  EXPECT_EQ(ops_of(dag),
            (Strings{"h q0", "cx q0 q1", "measure q1 -> c1", "measure q0 -> c0"}));
  EXPECT_EQ(dag.depth(), 3u);
}

// ---- Orders: edge cases ----

TEST(CircuitDagTest, one_wire_keeps_application_order) {
  CircuitDag dag = with_wires(1, 0);
  apply_ok(dag, gate(StandardGate::H, {q(0)}));
  apply_ok(dag, gate(StandardGate::X, {q(0)}));
  apply_ok(dag, gate(StandardGate::Z, {q(0)}));
  EXPECT_EQ(ops_of(dag), (Strings{"h q0", "x q0", "z q0"}));
  EXPECT_EQ(dag.depth(), 3u);
}

TEST(CircuitDagTest, successors_explored_oldest_edge_first) {
  CircuitDag a = with_wires(2, 0);
  apply_ok(a, gate(StandardGate::Cx, {q(0), q(1)}));
  apply_ok(a, gate(StandardGate::H, {q(0)}));
  apply_ok(a, gate(StandardGate::H, {q(1)}));
  EXPECT_EQ(ops_of(a), (Strings{"cx q0 q1", "h q1", "h q0"}));
  EXPECT_EQ(a.depth(), 2u);

  CircuitDag b = with_wires(2, 0);
  apply_ok(b, gate(StandardGate::Cx, {q(0), q(1)}));
  apply_ok(b, gate(StandardGate::H, {q(1)}));
  apply_ok(b, gate(StandardGate::H, {q(0)}));
  EXPECT_EQ(ops_of(b), (Strings{"cx q0 q1", "h q0", "h q1"}));
  EXPECT_EQ(b.depth(), 2u);
}

TEST(CircuitDagTest, unconnected_chains_come_higher_wire_first) {
  for (bool zero_first : {false, true}) {
    CircuitDag dag = with_wires(2, 0);
    apply_ok(dag, gate(StandardGate::X, {q(zero_first ? 0u : 1u)}));
    apply_ok(dag, gate(StandardGate::X, {q(zero_first ? 1u : 0u)}));
    EXPECT_EQ(ops_of(dag), (Strings{"x q1", "x q0"}));
    EXPECT_EQ(dag.depth(), 1u);
  }
}

TEST(CircuitDagTest, barrier_without_qubits_is_its_own_root) {
  CircuitDag dag = with_wires(3, 0);
  apply_ok(dag, gate(StandardGate::H, {q(0)}));
  apply_ok(dag, Instruction{{}, {}, Barrier{}});
  apply_ok(dag, gate(StandardGate::X, {q(2)}));
  EXPECT_EQ(ops_of(dag), (Strings{"barrier", "x q2", "h q0"}));
  EXPECT_EQ(dag.depth(), 1u);
}

// ---- Orders: cases worked out by hand ----

// Nodes 0..5 wire ends; 6 cx(0,1), 7 cx(1,2), 8 h(0). Outgoing lists:
// 0:[6] 2:[6] 4:[7] 6:[8,7] 7:[5,3] 8:[1]. Search from 0: 0, 6, then 7
// (oldest edge of 6) finishing 3, 5, 7; then 8 finishing 1, 8; then 6, 0;
// roots 2 and 4 finish alone. Finish list 3 5 7 1 8 6 0 2 4.
TEST(CircuitDagTest, hand_case_three_qubit_ladder) {
  CircuitDag dag = with_wires(3, 0);
  apply_ok(dag, gate(StandardGate::Cx, {q(0), q(1)}));
  apply_ok(dag, gate(StandardGate::Cx, {q(1), q(2)}));
  apply_ok(dag, gate(StandardGate::H, {q(0)}));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{6})), (Indexes{8, 7}));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{7})), (Indexes{5, 3}));
  EXPECT_EQ(indexes(*dag.topological_order()), (Indexes{4, 2, 0, 6, 8, 1, 7, 5, 3}));
  EXPECT_EQ(ops_of(dag), (Strings{"cx q0 q1", "h q0", "cx q1 q2"}));
  EXPECT_EQ(dag.depth(), 2u);
}

// 6 h(2), 7 ccx(0,1,2), 8 x(1). Lists: 0:[7] 2:[7] 4:[6] 6:[7]
// 7:[8,5,1] 8:[3]. Finish list 1 5 3 8 7 0 2 6 4.
TEST(CircuitDagTest, hand_case_toffoli_between_single_gates) {
  CircuitDag dag = with_wires(3, 0);
  apply_ok(dag, gate(StandardGate::H, {q(2)}));
  apply_ok(dag, gate(StandardGate::Ccx, {q(0), q(1), q(2)}));
  apply_ok(dag, gate(StandardGate::X, {q(1)}));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{7})), (Indexes{8, 5, 1}));
  EXPECT_EQ(indexes(*dag.topological_order()), (Indexes{4, 6, 2, 0, 7, 8, 3, 5, 1}));
  EXPECT_EQ(ops_of(dag), (Strings{"h q2", "ccx q0 q1 q2", "x q1"}));
  EXPECT_EQ(dag.depth(), 3u);
}

// Two qubits, one bit: 6 measure(1 -> 0), 7 cx(0,1), 8 measure(0 -> 0).
// Lists before 8: 6:[7,5] 7:[3,1]; at the end 0:[7] 2:[6] 4:[6] 6:[8,7]
// 7:[8,3] 8:[5,1]. Search from 0: 0, 7; 7 pushes 8 then 3, so 3 (its
// oldest edge) finishes first; then 8 pushes 5, 1: 1, 5, 8 finish; then
// 7, 0. Root 2: 2, 6 (successors all discovered) -> 6, 2. Root 4 alone.
// Finish 3 1 5 8 7 0 6 2 4. The measurement of qubit 1 comes first
// although both measurements share the classical wire.
TEST(CircuitDagTest, hand_case_classical_wire_orders_measurements) {
  CircuitDag dag = with_wires(2, 1);
  apply_ok(dag, measure(1, 0));
  apply_ok(dag, gate(StandardGate::Cx, {q(0), q(1)}));
  apply_ok(dag, measure(0, 0));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{6})), (Indexes{8, 7}));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{7})), (Indexes{8, 3}));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{8})), (Indexes{5, 1}));
  EXPECT_EQ(indexes(*dag.topological_order()), (Indexes{4, 2, 6, 0, 7, 8, 5, 1, 3}));
  EXPECT_EQ(ops_of(dag), (Strings{"measure q1 -> c0", "cx q0 q1", "measure q0 -> c0"}));
  EXPECT_EQ(dag.depth(), 3u);
}

TEST(CircuitDagTest, parallel_edges_between_two_gates) {
  CircuitDag dag = with_wires(2, 0);
  apply_ok(dag, gate(StandardGate::Cx, {q(0), q(1)}));
  apply_ok(dag, gate(StandardGate::Cz, {q(1), q(0)}));
  // cz spliced q1 first, then q0: node 4's list is [5 (q0), 5 (q1), ...].
  EXPECT_EQ(indexes(dag.successors(NodeIndex{4})), (Indexes{5, 5}));
  EXPECT_EQ(indexes(dag.successors(NodeIndex{5})), (Indexes{1, 3}));
  EXPECT_EQ(ops_of(dag), (Strings{"cx q0 q1", "cz q1 q0"}));
  EXPECT_EQ(dag.depth(), 2u);
}

TEST(CircuitDagTest, depth_counts_every_kind_one_layer) {
  CircuitDag dag = with_wires(2, 2);
  apply_ok(dag, Instruction{{q(0)}, {}, Reset{}});
  apply_ok(dag, Instruction{{q(0)}, {}, Delay{100}});
  apply_ok(dag, Instruction{{q(0), q(1)}, {}, Barrier{}});
  apply_ok(dag, Instruction{{q(0), q(1)}, {c(0), c(1)}, Measure{}});
  apply_ok(dag, Instruction::single_qubit_gate(StandardGate(StandardGate::Rz, PE::pi()), q(1)));
  EXPECT_EQ(dag.depth(), 5u);
  EXPECT_EQ(ops_of(dag), (Strings{"reset q0", "delay[100] q0", "barrier q0 q1",
                                  "measure q0 q1 -> c0 c1", "rz(pi) q1"}));
}

TEST(CircuitDagTest, empty_dag_and_idle_wires) {
  CircuitDag empty;
  EXPECT_TRUE(empty.topological_ops().empty());
  EXPECT_EQ(empty.depth(), 0u);
  ASSERT_TRUE(empty.topological_order().has_value());
  EXPECT_TRUE(empty.topological_order()->empty());
  CircuitDag idle = with_wires(3, 2);
  EXPECT_TRUE(idle.topological_ops().empty());
  EXPECT_EQ(idle.depth(), 0u);
  EXPECT_EQ(indexes(*idle.topological_order()), (Indexes{8, 9, 6, 7, 4, 5, 2, 3, 0, 1}));
}

// ---- Registration ----

TEST(CircuitDagTest, add_qubit_twice_adds_nothing) {
  CircuitDag dag;
  dag.add_qubit(q(0));
  dag.add_qubit(q(0));
  EXPECT_EQ(dag.node_count(), 2u);
  EXPECT_EQ(dag.edge_count(), 1u);
  dag.add_clbit(c(0));  // a clbit 0 is a different wire
  dag.add_clbit(c(0));
  EXPECT_EQ(dag.node_count(), 4u);
  EXPECT_EQ(dag.num_qubit_wires(), 1u);
  EXPECT_EQ(dag.num_clbit_wires(), 1u);
}

TEST(CircuitDagTest, wire_ids_need_not_be_dense) {
  CircuitDag dag;
  const std::uint32_t ids[] = {7, 1000000, 0xFFFFFFFFu, 3};
  for (std::uint32_t id : ids) {
    dag.add_qubit(q(id));
  }
  for (std::uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(dag.qubit_input(q(ids[i])), NodeIndex{2 * i});
    EXPECT_EQ(dag.qubit_output(q(ids[i])), NodeIndex{2 * i + 1});
  }
  EXPECT_EQ(dag.qubit_input(q(4)), std::nullopt);
  EXPECT_EQ(dag.clbit_input(c(7)), std::nullopt);
  apply_ok(dag, gate(StandardGate::Cx, {q(0xFFFFFFFFu), q(1000000)}));
  EXPECT_EQ(ops_of(dag), (Strings{"cx q4294967295 q1000000"}));
}

TEST(CircuitDagTest, many_wires_stay_findable) {
  CircuitDag dag;
  for (std::uint32_t i = 0; i < 5000; ++i) {
    dag.add_qubit(q(i * 3));
    dag.add_clbit(c(i));
  }
  for (std::uint32_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(dag.qubit_input(q(i * 3)), NodeIndex{4 * i});
    ASSERT_EQ(dag.clbit_output(c(i)), NodeIndex{4 * i + 3});
    ASSERT_EQ(dag.qubit_input(q(i * 3 + 1)), std::nullopt);
  }
}

// ---- Validation ----

struct ErrorCase {
  const char* what;
  std::function<Instruction()> make;
  const char* text;
};

TEST(CircuitDagTest, apply_reports_errors_in_check_order_and_changes_nothing) {
  const std::vector<ErrorCase> cases = {
      {"count before unknown qubit", [] { return gate(StandardGate::Cx, {q(0)}); },
       "Gate 'cx' requires 2 qubits, got 1"},
      {"count mismatch on unknown qubit", [] { return gate(StandardGate::Cx, {q(9)}); },
       "Gate 'cx' requires 2 qubits, got 1"},
      {"too many qubits",
       [] { return gate(StandardGate::H, {q(0), q(1)}); },
       "Gate 'h' requires 1 qubits, got 2"},
      {"unknown qubit", [] { return gate(StandardGate::H, {q(9)}); },
       "Qubit QubitId(9) not found in circuit (gate: h)"},
      {"first unknown qubit wins",
       [] { return gate(StandardGate::Ccx, {q(0), q(7), q(8)}); },
       "Qubit QubitId(7) not found in circuit (gate: ccx)"},
      {"unknown qubit before unknown clbit",
       [] { return Instruction{{q(5)}, {c(5)}, Measure{}}; },
       "Qubit QubitId(5) not found in circuit"},
      {"unknown clbit", [] { return Instruction{{q(0)}, {c(2)}, Measure{}}; },
       "Classical bit ClbitId(2) not found in circuit"},
      {"unknown clbit on a gate",
       [] {
         return Instruction{{q(0)}, {c(3)}, Gate(StandardGate(StandardGate::X))};
       },
       "Classical bit ClbitId(3) not found in circuit (gate: x)"},
      {"unknown before duplicate",
       [] { return gate(StandardGate::Ccx, {q(0), q(0), q(4)}); },
       "Qubit QubitId(4) not found in circuit (gate: ccx)"},
      {"duplicate qubit", [] { return gate(StandardGate::Cx, {q(0), q(0)}); },
       "Duplicate qubit QubitId(0) in operation (gate: cx)"},
      {"first repeat wins",
       [] { return gate(StandardGate::CSwap, {q(1), q(0), q(1)}); },
       "Duplicate qubit QubitId(1) in operation (gate: cswap)"},
      {"duplicate on barrier",
       [] { return Instruction{{q(1), q(0), q(0), q(1)}, {}, Barrier{}}; },
       "Duplicate qubit QubitId(0) in operation"},
      {"duplicate qubit before duplicate clbit",
       [] { return Instruction{{q(0), q(0)}, {c(1), c(1)}, Measure{}}; },
       "Duplicate qubit QubitId(0) in operation"},
      {"duplicate clbit",
       [] { return Instruction{{q(0), q(1)}, {c(1), c(1)}, Measure{}}; },
       "Invalid DAG structure: Duplicate classical bit ClbitId(1) in operation"},
      {"custom gate count",
       [] { return Instruction{{q(0)}, {}, Gate(CustomGate{"foo", 2, {}})}; },
       "Gate 'foo' requires 2 qubits, got 1"},
      {"custom gate unknown qubit",
       [] { return Instruction{{q(0), q(6)}, {}, Gate(CustomGate{"foo", 2, {}})}; },
       "Qubit QubitId(6) not found in circuit (gate: foo)"},
  };
  CircuitDag dag = bell_dag();
  const Snapshot before = snapshot(dag);
  for (const ErrorCase& ec : cases) {
    SCOPED_TRACE(ec.what);
    auto r = dag.apply(ec.make());
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(to_string(r.error()), ec.text);
    EXPECT_EQ(snapshot(dag), before);
  }
}

TEST(CircuitDagTest, errors_carry_structured_payloads) {
  CircuitDag dag = with_wires(1, 0);
  auto dup = dag.apply(gate(StandardGate::Cx, {q(0), q(0)}));
  ASSERT_FALSE(dup);
  const auto* d = std::get_if<DuplicateQubit>(&dup.error());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->qubit, q(0));
  EXPECT_EQ(d->gate_name, "cx");
  auto count = dag.apply(gate(StandardGate::Cx, {q(0)}));
  const auto* m = std::get_if<QubitCountMismatch>(&count.error());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->gate_name, "cx");
  EXPECT_EQ(m->expected, 2u);
  EXPECT_EQ(m->got, 1u);
  auto unknown = dag.apply(gate(StandardGate::H, {q(9)}));
  const auto* u = std::get_if<QubitNotFound>(&unknown.error());
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(u->qubit, q(9));
  EXPECT_EQ(u->gate_name, "h");
  auto reset = dag.apply(Instruction{{q(3)}, {}, Reset{}});
  const auto* r = std::get_if<QubitNotFound>(&reset.error());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->gate_name, std::nullopt);
}

TEST(CircuitDagTest, non_gate_kinds_get_no_count_check) {
  CircuitDag dag = with_wires(2, 1);
  apply_ok(dag, Instruction{{q(0)}, {}, Measure{}});  // no classical bit
  apply_ok(dag, Instruction{{}, {c(0)}, Measure{}});  // no qubit
  apply_ok(dag, Instruction{{}, {}, Measure{}});
  apply_ok(dag, Instruction{{q(0), q(1)}, {}, Reset{}});
  apply_ok(dag, Instruction{{q(0), q(1)}, {}, Delay{1}});
  EXPECT_EQ(dag.topological_ops().size(), 5u);
}

TEST(CircuitDagTest, wide_operations_check_repeats_beyond_pairwise_limit) {
  CircuitDag dag = with_wires(40, 40);
  QubitList all;
  ClbitList bits;
  for (std::uint32_t i = 0; i < 40; ++i) {
    all.push_back(q(i));
    bits.push_back(c(39 - i));
  }
  apply_ok(dag, Instruction{all, bits, Measure{}});
  QubitList repeated = all;
  repeated.push_back(q(20));
  repeated.push_back(q(3));
  auto r = dag.apply(Instruction{repeated, {}, Barrier{}});
  ASSERT_FALSE(r);
  EXPECT_EQ(to_string(r.error()), "Duplicate qubit QubitId(20) in operation");
  ClbitList repeated_bits = bits;
  repeated_bits.push_back(c(39));
  auto rc = dag.apply(Instruction{all, repeated_bits, Measure{}});
  ASSERT_FALSE(rc);
  EXPECT_EQ(to_string(rc.error()),
            "Invalid DAG structure: Duplicate classical bit ClbitId(39) in operation");
  EXPECT_EQ(dag.depth(), 1u);
  EXPECT_EQ(ops_of(dag).size(), 1u);
}

TEST(CircuitDagTest, apply_returns_new_node_index) {
  CircuitDag dag = with_wires(1, 0);
  auto a = dag.apply(gate(StandardGate::H, {q(0)}));
  auto b = dag.apply(gate(StandardGate::H, {q(0)}));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(*a, NodeIndex{2});
  EXPECT_EQ(*b, NodeIndex{3});
}

TEST(CircuitDagTest, moved_dag_keeps_its_operations_and_source_is_empty) {
  CircuitDag dag = bell_dag();
  CircuitDag moved = std::move(dag);
  EXPECT_EQ(moved.depth(), 3u);
  EXPECT_EQ(ops_of(moved).size(), 4u);
  // NOLINTBEGIN(bugprone-use-after-move)
  EXPECT_EQ(dag.node_count(), 0u);
  EXPECT_EQ(dag.edge_count(), 0u);
  EXPECT_EQ(dag.depth(), 0u);
  EXPECT_EQ(dag.num_qubit_wires(), 0u);
  EXPECT_EQ(dag.qubit_input(q(0)), std::nullopt);
  dag.add_qubit(q(0));
  EXPECT_EQ(dag.qubit_input(q(0)), NodeIndex{0});
  // NOLINTEND(bugprone-use-after-move)
  moved = std::move(dag);
  EXPECT_EQ(moved.node_count(), 2u);
  EXPECT_EQ(moved.depth(), 0u);
}

// ---- Insertion order and copies ----

TEST(CircuitDagTest, operations_list_in_insertion_order_with_their_nodes) {
  CircuitDag dag = with_wires(2, 1);
  apply_ok(dag, gate(StandardGate::H, {q(1)}));
  dag.add_qubit(q(5));  // wire ends between operations shift later numbers
  apply_ok(dag, Instruction{{q(5), q(0)}, {c(0)}, Measure{}});
  apply_ok(dag, Instruction{{q(0)}, {}, Delay{250}});
  apply_ok(dag, Instruction{{q(1)},
                            {},
                            Gate(StandardGate(StandardGate::Rz, PE::symbol("t")))});
  const Strings expected = {"h q1", "measure q5 q0 -> c0", "delay[250] q0", "rz(t) q1"};
  const Indexes nodes = {6, 9, 10, 11};
  ASSERT_EQ(dag.num_operations(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(testing::describe(dag.operation(i).to_instruction()), expected[i]);
    EXPECT_EQ(dag.operation_node(i), NodeIndex{nodes[i]});
    EXPECT_TRUE(std::holds_alternative<OperationRef>(*dag.node(NodeIndex{nodes[i]})));
  }
  EXPECT_EQ(dag.operation(2).delay_duration(), 250u);
  EXPECT_EQ(dag.operation(3).gate_name(), "rz");
  EXPECT_EQ(dag.operation(1).gate_name(), "");
  EXPECT_EQ(dag.operation(1).kind(), OperationKind::Measure);
}

TEST(CircuitDagTest, custom_gate_keeps_its_record) {
  CircuitDag dag = with_wires(2, 0);
  CustomGate custom{"mine", 2, {}};
  custom.params.push_back(PE::constant(0.5));
  apply_ok(dag, Instruction{{q(1), q(0)}, {}, Gate(std::move(custom))});
  const OperationRef op = dag.operation(0);
  ASSERT_NE(op.custom_gate(), nullptr);
  EXPECT_EQ(op.standard_gate(), std::nullopt);
  EXPECT_EQ(op.gate_name(), "mine");
  EXPECT_EQ(testing::describe(op.to_instruction()), "mine(0.5) q1 q0");
}

TEST(CircuitDagTest, clone_is_equal_and_independent) {
  CircuitDag dag = bell_dag();
  CircuitDag copy = dag.clone();
  const Snapshot before = snapshot(dag);
  EXPECT_EQ(snapshot(copy), before);
  apply_ok(copy, gate(StandardGate::X, {q(0)}));
  EXPECT_EQ(snapshot(dag), before);
  EXPECT_NE(snapshot(copy), before);
}

// depth() is kept up to date by apply; check it against the
// definition (longest path over the topological order) on random circuits.
std::uint64_t reference_depth(const CircuitDag& dag) {
  auto order = dag.topological_order();
  if (!order) {
    return 0;
  }
  std::vector<std::uint64_t> depth(dag.node_count(), 0);
  std::uint64_t best = 0;
  for (NodeIndex x : *order) {
    std::uint64_t d = 0;
    for (NodeIndex p : dag.predecessors(x)) {
      d = std::max(d, depth[p.index]);
    }
    if (std::holds_alternative<OperationRef>(*dag.node(x))) {
      ++d;
    }
    depth[x.index] = d;
    best = std::max(best, d);
  }
  return best;
}

TEST(CircuitDagTest, depth_matches_longest_path_over_topological_order) {
  std::uint32_t state = 7;
  auto next = [&state](std::uint32_t n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  for (int round = 0; round < 30; ++round) {
    const std::uint32_t nq = 1 + next(6);
    const std::uint32_t nc = next(3);
    CircuitDag dag = with_wires(nq, nc);
    for (int i = 0; i < 60; ++i) {
      QubitList qs;
      ClbitList cs;
      for (std::uint32_t k = 0; k < nq; ++k) {
        if (next(3) == 0) {
          qs.push_back(q(k));
        }
      }
      for (std::uint32_t k = 0; k < nc; ++k) {
        if (next(4) == 0) {
          cs.push_back(c(k));
        }
      }
      InstructionKind kind = Barrier{};
      switch (next(3)) {
        case 0:
          kind = Measure{};
          break;
        case 1:
          kind = Reset{};
          break;
        default:
          break;
      }
      if (qs.size() == 1 && next(2) == 0) {
        kind = Gate(StandardGate(StandardGate::H));
      }
      apply_ok(dag, Instruction{qs, cs, std::move(kind)});
      ASSERT_EQ(dag.depth(), reference_depth(dag)) << "round " << round << " op " << i;
    }
  }
}

// ---- Scale: walks are iterative ----

TEST(CircuitDagTest, slow_million_operations_on_one_wire) {
  constexpr std::uint32_t kOps = 1'000'000;
  CircuitDag dag = with_wires(1, 0);
  for (std::uint32_t i = 0; i < kOps; ++i) {
    ASSERT_TRUE(dag.apply(gate(i % 2 ? StandardGate::X : StandardGate::H, {q(0)})));
  }
  std::vector<OpRef> ops = dag.topological_ops();
  ASSERT_EQ(ops.size(), kOps);
  for (std::uint32_t i = 0; i < kOps; ++i) {
    ASSERT_EQ(ops[i].node, NodeIndex{i + 2});
  }
  EXPECT_EQ(dag.depth(), kOps);
}

}  // namespace
}  // namespace qelto::ir
