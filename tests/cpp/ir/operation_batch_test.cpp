// Appending a batch of operations at once is applying them one by one:
// on random circuits (wires added between batches, every kind, wide and
// empty operand lists) both give the same node numbers, edge lists,
// topological order, depth and operations; an invalid operation in a batch
// fails the append with apply's error for it and changes nothing.
#include "ir/operation_batch.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batched.hpp"
#include "describe.hpp"
#include "ir/dag.hpp"
#include "random_circuit.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::add_to;
using testing::describe;
using Strings = std::vector<std::string>;
using Kind = StandardGate::Kind;

Instruction gate(StandardGate standard, QubitList qubits) {
  return Instruction{std::move(qubits), {}, Gate(std::move(standard))};
}

PE clone_each(const PE& p) { return p.clone(); }

// Qubits 0..qubits-1 and classical bits 0..clbits-1.
CircuitDag with_wires(std::uint32_t qubits, std::uint32_t clbits) {
  CircuitDag dag;
  for (std::uint32_t i = 0; i < qubits; ++i) {
    dag.add_qubit(QubitId{i});
  }
  for (std::uint32_t i = 0; i < clbits; ++i) {
    dag.add_clbit(ClbitId{i});
  }
  return dag;
}

// Everything a DAG shows besides its edge lists and topological order
// (order_fingerprint covers those): each node, each operation in insertion
// order and its node number, the wire ends.
struct Observed {
  std::uint64_t fingerprint;
  Strings nodes;
  Strings operations;
  std::vector<std::uint32_t> operation_nodes;
  bool operator==(const Observed&) const = default;
};

std::string describe_wire(const Wire& wire) {
  if (const auto* q = std::get_if<QubitWire>(&wire)) {
    return "q" + std::to_string(q->qubit.index);
  }
  return "c" + std::to_string(std::get<ClbitWire>(wire).clbit.index);
}

Observed observe(const CircuitDag& dag) {
  Observed seen{testing::order_fingerprint(dag), {}, {}, {}};
  for (std::uint32_t n = 0; n < dag.node_count(); ++n) {
    const DagNode node = *dag.node(NodeIndex{n});
    if (const auto* in = std::get_if<WireIn>(&node)) {
      seen.nodes.push_back("in " + describe_wire(in->wire));
    } else if (const auto* out = std::get_if<WireOut>(&node)) {
      seen.nodes.push_back("out " + describe_wire(out->wire));
    } else {
      seen.nodes.push_back(
          describe(std::get<OperationRef>(node).to_instruction()));
    }
  }
  for (std::size_t i = 0; i < dag.num_operations(); ++i) {
    seen.operations.push_back(describe(dag.operation(i).to_instruction()));
    seen.operation_nodes.push_back(dag.operation_node(i).index);
  }
  return seen;
}

// The same random circuit twice: `one_by_one` applies every instruction,
// `bulk` gathers the valid ones in batches, appended whenever a wire is
// added and at pseudo-random points between. An instruction that apply
// refuses is also appended (with the batch gathered so far) to `bulk`,
// which must refuse it with the same error and change nothing.
struct Built {
  CircuitDag one_by_one;
  CircuitDag bulk;
  std::size_t refused = 0;
};

Built build_both(std::uint32_t seed) {
  Built built;
  testing::RandomCircuit random(seed);
  std::vector<Instruction> pending;
  auto batch_of = [&pending](const Instruction* extra) {
    OperationBatch batch;
    for (const Instruction& instruction : pending) {
      add_to(batch, instruction);
    }
    if (extra != nullptr) {
      add_to(batch, *extra);
    }
    return batch;
  };
  auto flush = [&] {
    OperationBatch batch = batch_of(nullptr);
    const auto appended = built.bulk.append(batch);
    EXPECT_TRUE(appended) << to_string(appended.error());
    EXPECT_TRUE(batch.empty());
    pending.clear();
  };
  std::uint32_t step_number = 0;
  while (auto step = random.next()) {
    ++step_number;
    using AddWire = testing::RandomCircuit::AddWire;
    if (const auto* wire = std::get_if<AddWire>(&*step)) {
      flush();
      if (wire->clbit) {
        built.one_by_one.add_clbit(ClbitId{wire->id});
        built.bulk.add_clbit(ClbitId{wire->id});
      } else {
        built.one_by_one.add_qubit(QubitId{wire->id});
        built.bulk.add_qubit(QubitId{wire->id});
      }
      continue;
    }
    Instruction& instruction = std::get<Instruction>(*step);
    const Instruction kept = instruction.clone();
    const auto applied = built.one_by_one.apply(std::move(instruction));
    if (applied) {
      pending.push_back(kept.clone());
    } else {
      ++built.refused;
      OperationBatch batch = batch_of(&kept);
      const std::size_t size = batch.size();
      const std::size_t nodes = built.bulk.node_count();
      const auto appended = built.bulk.append(batch);
      EXPECT_FALSE(appended) << "seed " << seed << " step " << step_number;
      if (!appended) {
        EXPECT_EQ(to_string(appended.error()), to_string(applied.error()));
      }
      EXPECT_EQ(batch.size(), size);
      EXPECT_EQ(built.bulk.node_count(), nodes);
    }
    if ((seed + step_number) % 13 == 0) {
      flush();
    }
  }
  flush();
  return built;
}

TEST(OperationBatchTest, appending_in_batches_equals_applying_one_by_one) {
  std::size_t refused = 0;
  for (std::uint32_t seed = 1; seed <= 150; ++seed) {
    const Built built = build_both(seed);
    refused += built.refused;
    EXPECT_EQ(observe(built.bulk), observe(built.one_by_one))
        << "seed " << seed;
    EXPECT_EQ(built.bulk.depth(), built.one_by_one.depth()) << "seed " << seed;
    EXPECT_EQ(observe(built.bulk.clone()), observe(built.one_by_one))
        << "clone of seed " << seed;
  }
  // The random circuits do exercise refusals.
  EXPECT_GT(refused, 1000u);
}

// The ids 0..n-1 in a seed-dependent order.
template <class Id>
std::vector<Id> shuffled_ids(std::uint32_t n, std::uint32_t seed) {
  std::vector<Id> ids;
  for (std::uint32_t i = 0; i < n; ++i) {
    ids.push_back(Id{(i * 7 + seed) % n});
  }
  // 7 and n share no factor for the n used here, so this is a permutation.
  return ids;
}

TEST(OperationBatchTest, appending_copies_equals_applying_renamed_copies) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const CircuitDag source = build_both(seed).one_by_one;
    // Every id the random circuits use, registered in the target.
    CircuitDag one_by_one = with_wires(12, 6);
    ASSERT_TRUE(one_by_one.apply(gate(StandardGate(Kind::X), {QubitId{3}})));
    CircuitDag bulk = one_by_one.clone();
    // Without maps the target's wires are not known to fit the source's,
    // so each copy is checked: the same result either way.
    CircuitDag unrenamed = one_by_one.clone();
    CircuitDag unrenamed_one_by_one = one_by_one.clone();
    for (std::size_t i = 0; i < source.num_operations(); ++i) {
      ASSERT_TRUE(
          unrenamed_one_by_one.apply(source.operation(i).to_instruction()));
    }
    ASSERT_TRUE(unrenamed.append_copies(source, {}, {}, clone_each));
    EXPECT_EQ(observe(unrenamed), observe(unrenamed_one_by_one))
        << "seed " << seed;
    const auto qubit_map = shuffled_ids<QubitId>(12, seed);
    const auto clbit_map = shuffled_ids<ClbitId>(6, seed);
    for (std::size_t i = 0; i < source.num_operations(); ++i) {
      Instruction copy = source.operation(i).to_instruction();
      for (QubitId& q : copy.qubits) {
        q = qubit_map[q.index];
      }
      for (ClbitId& c : copy.clbits) {
        c = clbit_map[c.index];
      }
      ASSERT_TRUE(one_by_one.apply(std::move(copy)));
    }
    ASSERT_TRUE(bulk.append_copies(source, qubit_map, clbit_map, clone_each));
    EXPECT_EQ(observe(bulk), observe(one_by_one)) << "seed " << seed;

    // Onto itself, unrenamed: its operations as they were, once more.
    CircuitDag twice = source.clone();
    CircuitDag doubled = source.clone();
    for (std::size_t i = 0; i < source.num_operations(); ++i) {
      ASSERT_TRUE(doubled.apply(source.operation(i).to_instruction()));
    }
    ASSERT_TRUE(twice.append_copies(twice, {}, {}, clone_each));
    EXPECT_EQ(observe(twice), observe(doubled)) << "seed " << seed;
  }
}

TEST(OperationBatchTest, copies_renamed_onto_bad_bits_fail_like_apply) {
  CircuitDag source = with_wires(3, 1);
  CircuitDag target = with_wires(3, 1);
  ASSERT_TRUE(source.apply(gate(StandardGate(Kind::H), {QubitId{0}})));
  ASSERT_TRUE(
      source.apply(gate(StandardGate(Kind::Cz), {QubitId{1}, QubitId{2}})));
  ASSERT_TRUE(source.apply(Instruction{{QubitId{2}}, {ClbitId{0}}, Measure{}}));
  ASSERT_TRUE(target.apply(gate(StandardGate(Kind::H), {QubitId{1}})));
  const Observed before = observe(target);
  struct Case {
    std::vector<QubitId> qubits;
    std::vector<ClbitId> clbits;
    std::string error;
  };
  const Case cases[] = {
      {{QubitId{0}, QubitId{1}, QubitId{7}},
       {},
       "Qubit QubitId(7) not found in circuit (gate: cz)"},
      {{QubitId{0}, QubitId{2}, QubitId{2}},
       {},
       "Duplicate qubit QubitId(2) in operation (gate: cz)"},
      {{}, {ClbitId{4}}, "Classical bit ClbitId(4) not found in circuit"},
  };
  for (const Case& c : cases) {
    const auto appended =
        target.append_copies(source, c.qubits, c.clbits, clone_each);
    ASSERT_FALSE(appended);
    EXPECT_EQ(to_string(appended.error()), c.error);
    EXPECT_EQ(observe(target), before);
  }
}

TEST(OperationBatchTest, parameters_across_pool_chunks_read_back_in_order) {
  // Gates of 1, 3 and 4 parameters, far more than one pool chunk holds, so
  // that some operations' parameters move to the next chunk.
  CircuitDag one_by_one = with_wires(3, 0);
  CircuitDag bulk = with_wires(3, 0);
  OperationBatch batch;
  for (std::uint32_t i = 0; i < 3000; ++i) {
    const double x = i;
    Instruction instruction;
    switch (i % 5) {
      case 0:
      case 3:
        instruction =
            gate(StandardGate(Kind::Rz, PE::constant(x)), {QubitId{i % 3}});
        break;
      case 1:
        instruction = gate(
            StandardGate(Kind::U, PE::constant(x),
                         PE::symbol("p" + std::to_string(i)), PE::constant(-x)),
            {QubitId{(i + 1) % 3}});
        break;
      case 2:
        instruction = gate(
            StandardGate(Kind::Cu, PE::constant(x), PE::constant(x + 1),
                         PE::constant(x + 2), PE::constant(x + 3)),
            {QubitId{0}, QubitId{2}});
        break;
      default:
        instruction = gate(StandardGate(Kind::H), {QubitId{1}});
        break;
    }
    add_to(batch, instruction);
    ASSERT_TRUE(one_by_one.apply(std::move(instruction)));
    // Batches of varying length, so that appends start at varying pool
    // positions.
    if (i % 701 == 700) {
      ASSERT_TRUE(bulk.append(batch));
    }
  }
  ASSERT_TRUE(bulk.append(batch));
  Strings expected;
  Strings got;
  for (std::size_t i = 0; i < one_by_one.num_operations(); ++i) {
    expected.push_back(describe(one_by_one.operation(i).to_instruction()));
    got.push_back(describe(bulk.operation(i).to_instruction()));
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(bulk.depth(), one_by_one.depth());
}

TEST(OperationBatchTest, empty_batch_changes_nothing) {
  CircuitDag dag = with_wires(1, 0);
  OperationBatch batch;
  ASSERT_TRUE(dag.append(batch));
  EXPECT_EQ(dag.num_operations(), 0u);
  EXPECT_EQ(dag.node_count(), 2u);
}

TEST(OperationBatchTest, copies_every_kind_with_its_operands_renamed) {
  CircuitDag source = with_wires(3, 1);
  CircuitDag target = with_wires(3, 2);
  const Instruction made[] = {
      gate(StandardGate(Kind::Cx), {QubitId{0}, QubitId{2}}),
      gate(StandardGate(Kind::Rx, PE::add(PE::symbol("t"), PE::pi())),
           {QubitId{1}}),
      Instruction{{QubitId{2}, QubitId{1}}, {}, Gate(CustomGate{"g", 2, {}})},
      Instruction{{QubitId{1}}, {ClbitId{0}}, Measure{}},
      Instruction{{QubitId{0}}, {}, Delay{9}},
      Instruction{{QubitId{0}, QubitId{1}, QubitId{2}}, {}, Barrier{}},
  };
  for (const Instruction& instruction : made) {
    ASSERT_TRUE(source.apply(instruction.clone()));
  }
  const QubitId qubit_map[] = {QubitId{2}, QubitId{0}, QubitId{1}};
  const ClbitId clbit_map[] = {ClbitId{1}};
  ASSERT_TRUE(target.append_copies(source, qubit_map, clbit_map, {}));
  Strings got;
  for (std::size_t i = 0; i < target.num_operations(); ++i) {
    got.push_back(describe(target.operation(i).to_instruction()));
  }
  EXPECT_EQ(got, (Strings{"cx q2 q1", "rx((t+pi)) q0", "g q1 q0",
                          "measure q0 -> c1", "delay[9] q2",
                          "barrier q2 q0 q1"}));
}

}  // namespace
}  // namespace qelto::ir
