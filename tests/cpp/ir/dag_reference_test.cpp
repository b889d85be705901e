// The operation store against the graph store it replaced: on random
// circuits (wires added before, between and after operations, ids not
// dense, every instruction kind, wide and empty operand lists, failing
// applies) both must number nodes alike, list edges alike, give the same
// topological order, depth and errors. QELTO_DAG_COMPARISONS sets how many
// random circuits run (default 400).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "describe.hpp"
#include "ir/dag.hpp"
#include "ir/reference/dag.hpp"

namespace qelto::ir {
namespace {

using testing::describe;
using Indexes = std::vector<std::uint32_t>;

template <class Nodes>
Indexes numbers(const Nodes& nodes) {
  Indexes out;
  for (const auto& n : nodes) {
    out.push_back(n.index);
  }
  return out;
}

std::string node_text(const CircuitDag& dag, std::uint32_t n) {
  const DagNode node = *dag.node(NodeIndex{n});
  if (const auto* in = std::get_if<WireIn>(&node)) {
    return "in " + std::to_string(in->wire.index()) + ":" +
           std::to_string(std::visit([](auto w) -> std::uint32_t {
             if constexpr (std::is_same_v<decltype(w), QubitWire>) {
               return w.qubit.index;
             } else {
               return w.clbit.index;
             }
           }, in->wire));
  }
  if (const auto* out = std::get_if<WireOut>(&node)) {
    return "out " + std::to_string(out->wire.index()) + ":" +
           std::to_string(std::visit([](auto w) -> std::uint32_t {
             if constexpr (std::is_same_v<decltype(w), QubitWire>) {
               return w.qubit.index;
             } else {
               return w.clbit.index;
             }
           }, out->wire));
  }
  return describe(std::get<OperationRef>(node).to_instruction());
}

std::string node_text(const reference::CircuitDag& dag, std::uint32_t n) {
  const reference::DagNode& node = *dag.node(reference::NodeIndex{n});
  if (const auto* in = std::get_if<reference::WireIn>(&node)) {
    return "in " + std::to_string(in->wire.index()) + ":" +
           std::to_string(std::visit([](auto w) -> std::uint32_t {
             if constexpr (std::is_same_v<decltype(w), reference::QubitWire>) {
               return w.qubit.index;
             } else {
               return w.clbit.index;
             }
           }, in->wire));
  }
  if (const auto* out = std::get_if<reference::WireOut>(&node)) {
    return "out " + std::to_string(out->wire.index()) + ":" +
           std::to_string(std::visit([](auto w) -> std::uint32_t {
             if constexpr (std::is_same_v<decltype(w), reference::QubitWire>) {
               return w.qubit.index;
             } else {
               return w.clbit.index;
             }
           }, out->wire));
  }
  return describe(std::get<reference::Op>(node).instruction);
}

// Everything observable, compared field by field so a failure says where.
// Edge lists of every node are compared only for small DAGs (successors
// costs O(operations) per node).
void expect_same(const CircuitDag& dag, const reference::CircuitDag& ref,
                 const std::string& where) {
  ASSERT_EQ(dag.node_count(), ref.node_count()) << where;
  ASSERT_EQ(dag.edge_count(), ref.edge_count()) << where;
  ASSERT_EQ(dag.depth(), ref.depth()) << where;
  ASSERT_EQ(dag.num_qubit_wires(), ref.num_qubit_wires()) << where;
  ASSERT_EQ(dag.num_clbit_wires(), ref.num_clbit_wires()) << where;
  ASSERT_EQ(numbers(*dag.topological_order()),
            numbers(*ref.topological_order()))
      << where;
  const auto ops = dag.topological_ops();
  const auto ref_ops = ref.topological_ops();
  ASSERT_EQ(ops.size(), ref_ops.size()) << where;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    ASSERT_EQ(ops[i].node.index, ref_ops[i].node.index) << where;
    ASSERT_EQ(describe(ops[i].operation.to_instruction()),
              describe(*ref_ops[i].instruction))
        << where;
  }
  const bool lists = dag.node_count() <= 400;
  for (std::uint32_t n = 0; n < dag.node_count(); ++n) {
    ASSERT_EQ(node_text(dag, n), node_text(ref, n)) << where << " node " << n;
    if (lists) {
      ASSERT_EQ(numbers(dag.successors(NodeIndex{n})),
                numbers(ref.successors(reference::NodeIndex{n})))
          << where << " successors of " << n;
      ASSERT_EQ(numbers(dag.predecessors(NodeIndex{n})),
                numbers(ref.predecessors(reference::NodeIndex{n})))
          << where << " predecessors of " << n;
    }
  }
}

// A random instruction over ids below `qubit_ids` / `clbit_ids` (some of
// them unregistered, some repeated, so that applies fail too).
Instruction random_instruction(std::mt19937& rng, std::uint32_t qubit_ids,
                               std::uint32_t clbit_ids) {
  auto pick = [&rng](std::uint32_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng);
  };
  auto qubits = [&](std::uint32_t count) {
    QubitList qs;
    for (std::uint32_t i = 0; i < count; ++i) {
      qs.push_back(QubitId{pick(qubit_ids)});
    }
    return qs;
  };
  auto clbits = [&](std::uint32_t count) {
    ClbitList cs;
    for (std::uint32_t i = 0; i < count; ++i) {
      cs.push_back(ClbitId{pick(clbit_ids)});
    }
    return cs;
  };
  const std::uint32_t wide = pick(4) == 0 ? pick(24) : pick(4);
  switch (pick(9)) {
    case 0:
      return Instruction{qubits(1), {}, Gate(StandardGate(StandardGate::H))};
    case 1:
      return Instruction{qubits(2), {}, Gate(StandardGate(StandardGate::Cx))};
    case 2:
      return Instruction{qubits(pick(3) + 1), pick(5) == 0 ? clbits(1) : ClbitList{},
                         Gate(StandardGate(StandardGate::Ccx))};
    case 3:
      return Instruction{
          qubits(1), {},
          Gate(StandardGate(StandardGate::U, ParameterExpression::constant(pick(100)),
                            ParameterExpression::symbol("t" + std::to_string(pick(3))),
                            ParameterExpression::pi()))};
    case 4: {
      CustomGate custom{"g" + std::to_string(pick(3)), 2, {}};
      custom.params.push_back(ParameterExpression::constant(0.5));
      return Instruction{qubits(2), {}, Gate(std::move(custom))};
    }
    case 5:
      return Instruction{qubits(wide), clbits(pick(2) == 0 ? wide : pick(3)), Measure{}};
    case 6:
      return Instruction{qubits(wide), {}, Barrier{}};
    case 7:
      return Instruction{qubits(pick(2) + 1), clbits(pick(2)), Reset{}};
    default:
      return Instruction{qubits(1), {}, Delay{pick(1000)}};
  }
}

void compare_random_circuit(std::uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&rng](std::uint32_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng);
  };
  CircuitDag dag;
  reference::CircuitDag ref;
  const std::uint32_t qubit_ids = 1 + pick(12);
  const std::uint32_t clbit_ids = 1 + pick(6);
  const std::uint32_t steps = pick(3) == 0 ? 400 : 40;
  const std::string where = "seed " + std::to_string(seed);
  for (std::uint32_t step = 0; step < steps; ++step) {
    if (pick(8) == 0) {
      // Wires may be added at any point, ids in any order, twice.
      const std::uint32_t id = pick(qubit_ids);
      if (pick(2) == 0) {
        dag.add_qubit(QubitId{id});
        ref.add_qubit(QubitId{id});
      } else {
        dag.add_clbit(ClbitId{id % clbit_ids});
        ref.add_clbit(ClbitId{id % clbit_ids});
      }
      continue;
    }
    Instruction inst = random_instruction(rng, qubit_ids, clbit_ids);
    auto ref_result = ref.apply(inst.clone());
    auto result = dag.apply(std::move(inst));
    ASSERT_EQ(result.has_value(), ref_result.has_value()) << where;
    if (result) {
      ASSERT_EQ(result->index, ref_result->index) << where;
    } else {
      ASSERT_EQ(to_string(result.error()), to_string(ref_result.error()))
          << where;
    }
  }
  expect_same(dag, ref, where);
  // A deep copy observes alike and stays apart from its source.
  CircuitDag copy = dag.clone();
  expect_same(copy, ref, where + " (clone)");
  if (dag.num_qubit_wires() > 0) {
    (void)copy.apply(Instruction{{}, {}, Barrier{}});
    expect_same(dag, ref, where + " (source after changing the clone)");
  }
}

std::uint32_t comparisons() {
  const char* text = std::getenv("QELTO_DAG_COMPARISONS");
  return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10))
                         : 400;
}

TEST(DagReferenceTest, random_circuits_observe_like_the_graph_store) {
  const std::uint32_t count = comparisons();
  for (std::uint32_t seed = 1; seed <= count; ++seed) {
    compare_random_circuit(seed);
    if (::testing::Test::HasFatalFailure()) {
      return;
    }
  }
}

}  // namespace
}  // namespace qelto::ir
