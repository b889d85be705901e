// The operation store against the graph store it replaced: on random
// circuits (wires added before, between and after operations, ids not
// dense, every instruction kind, wide and empty operand lists, failing
// applies) both must number nodes alike, list edges alike, give the same
// topological order, depth and errors. QELTO_DAG_COMPARISONS sets how many
// random circuits run (default 400).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "describe.hpp"
#include "ir/dag.hpp"
#include "ir/reference/dag.hpp"
#include "random_circuit.hpp"

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

struct Tally {
  std::uint64_t applied = 0;
  std::uint64_t refused = 0;
  std::uint64_t wires = 0;
};

void compare_random_circuit(std::uint32_t seed, Tally& tally) {
  CircuitDag dag;
  reference::CircuitDag ref;
  const std::string where = "seed " + std::to_string(seed);
  testing::RandomCircuit random(seed);
  while (auto step = random.next()) {
    if (const auto* wire = std::get_if<testing::RandomCircuit::AddWire>(&*step)) {
      if (wire->clbit) {
        dag.add_clbit(ClbitId{wire->id});
        ref.add_clbit(ClbitId{wire->id});
      } else {
        dag.add_qubit(QubitId{wire->id});
        ref.add_qubit(QubitId{wire->id});
      }
      ++tally.wires;
      continue;
    }
    Instruction& inst = std::get<Instruction>(*step);
    auto ref_result = ref.apply(inst.clone());
    auto result = dag.apply(std::move(inst));
    ASSERT_EQ(result.has_value(), ref_result.has_value()) << where;
    ++(result ? tally.applied : tally.refused);
    if (result) {
      ASSERT_EQ(result->index, ref_result->index) << where;
    } else {
      ASSERT_EQ(to_string(result.error()), to_string(ref_result.error()))
          << where;
    }
  }
  expect_same(dag, ref, where);
  ASSERT_EQ(testing::order_fingerprint(dag), testing::order_fingerprint(ref))
      << where;
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

// The golden table of dag_golden_test.cpp, printed from the reference.
TEST(DagReferenceTest, prints_golden_fingerprints_on_request) {
  if (std::getenv("QELTO_PRINT_GOLDEN") == nullptr) {
    GTEST_SKIP();
  }
  for (std::uint32_t seed = 1; seed <= 24; ++seed) {
    reference::CircuitDag ref;
    testing::RandomCircuit random(seed);
    while (auto step = random.next()) {
      if (const auto* wire = std::get_if<testing::RandomCircuit::AddWire>(&*step)) {
        if (wire->clbit) {
          ref.add_clbit(ClbitId{wire->id});
        } else {
          ref.add_qubit(QubitId{wire->id});
        }
        continue;
      }
      (void)ref.apply(std::move(std::get<Instruction>(*step)));
    }
    std::printf("      {%u, 0x%016llXull},\n", seed,
                static_cast<unsigned long long>(testing::order_fingerprint(ref)));
  }
}

TEST(DagReferenceTest, random_circuits_observe_like_the_graph_store) {
  const std::uint32_t count = comparisons();
  Tally tally;
  for (std::uint32_t seed = 1; seed <= count; ++seed) {
    compare_random_circuit(seed, tally);
    if (::testing::Test::HasFatalFailure()) {
      return;
    }
  }
  std::printf("compared %u circuits: %llu operations applied, %llu refused, "
              "%llu wire additions\n",
              count, static_cast<unsigned long long>(tally.applied),
              static_cast<unsigned long long>(tally.refused),
              static_cast<unsigned long long>(tally.wires));
}

}  // namespace
}  // namespace qelto::ir
