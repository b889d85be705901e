// Routing and placement choices that decide the swap cost: the circuit's
// own swaps become renamings, inserted swaps merge with the gate before
// them (on a line the QFT needs a swap per pair, each beside its cp), and
// chains of interactions are placed along a path.
#include "compile/route.hpp"

#include <gtest/gtest.h>

#include <random>

#include "compile/placement.hpp"
#include "compile/unroll.hpp"
#include "simulator.hpp"

namespace qelto::compile {
namespace {

using ir::QubitId;

FlatCircuit flat(const ir::Circuit& c) { return *unroll(*flatten(c)); }

std::size_t count_kind(const FlatCircuit& c, ir::StandardGate::Kind kind) {
  std::size_t n = 0;
  for (const FlatOp& op : c.ops) {
    n += op.code == gate_code(kind) ? 1 : 0;
  }
  return n;
}

// The routed circuit, started from `start`, acts like the input followed by
// moving each qubit to its final place.
void expect_routed_action(const ir::Circuit& circuit, const Routed& routed,
                          const Placement& start, std::mt19937_64& rng) {
  const auto n = static_cast<std::uint32_t>(circuit.num_qubits());
  const std::uint32_t device = routed.circuit.num_qubits;
  const testing::State input = testing::random_state(n, rng);
  testing::State ideal = input;
  testing::run(circuit, ideal);
  testing::State actual = testing::embed(input, n, device, start);
  testing::run(to_circuit(routed.circuit), actual);
  EXPECT_TRUE(testing::equal_up_to_phase(
      actual, testing::embed(ideal, n, device, routed.final_placement)));
}

TEST(RouteTest, the_circuits_own_swaps_are_renamed_not_written) {
  ir::Circuit c = ir::Circuit::with_size("c", 4, 0);
  (void)c.h(QubitId{0});
  (void)c.swap(QubitId{0}, QubitId{3});
  (void)c.cx(QubitId{3}, QubitId{1});
  (void)c.swap(QubitId{1}, QubitId{2});
  (void)c.rz(ir::ParameterExpression::constant(0.3), QubitId{2});
  (void)c.cx(QubitId{2}, QubitId{0});
  const Device device(CouplingMap::linear(4));
  const FlatCircuit in = flat(c);
  const Placement start = *trivial_placement(in, device);
  std::mt19937_64 rng(41);
  for (const bool elide : {true, false}) {
    RouteOptions options;
    options.elide_swaps = elide;
    const Routed routed = route(in, device, start, 7, options);
    EXPECT_EQ(count_kind(routed.circuit, ir::StandardGate::Swap),
              routed.swaps + (elide ? 0 : 2));
    expect_routed_action(c, routed, start, rng);
  }
}

TEST(RouteTest, qft_on_a_line_merges_nearly_every_inserted_swap) {
  for (const std::uint32_t n : {5u, 8u, 12u}) {
    const ir::Circuit qft = *ir::Circuit::qft(n);
    const Device device(CouplingMap::linear(n));
    const FlatCircuit in = flat(qft);
    const Placement start = *trivial_placement(in, device);
    const Routed routed = route(in, device, start, 3);
    EXPECT_GT(routed.swaps, 0u);
    EXPECT_GE(10 * routed.merged_swaps, 8 * routed.swaps) << n;
    std::mt19937_64 rng(42);
    expect_routed_action(qft, routed, start, rng);
  }
}

TEST(RouteTest, a_chain_of_interactions_is_placed_along_a_path) {
  for (const std::uint32_t n : {10u, 20u}) {
    ir::Circuit chain = ir::Circuit::with_size("chain", n, 0);
    for (std::uint32_t i = 0; i + 1 < n; ++i) {
      (void)chain.cx(QubitId{i}, QubitId{i + 1});
    }
    const CouplingMap map = *CouplingMap::heavy_hex(7);
    const Device device(map);
    const FlatCircuit in = flat(chain);
    const auto start = sabre_placement(in, device, 5);
    ASSERT_TRUE(start);
    EXPECT_EQ(route(in, device, *start, 5).swaps, 0u) << n;
  }
}

}  // namespace
}  // namespace qelto::compile
