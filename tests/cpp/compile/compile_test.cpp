#include "compile/compile.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "random_circuit.hpp"
#include "simulator.hpp"

namespace qelto::compile {
namespace {

using testing::equal_up_to_phase;
using testing::random_circuit;
using testing::State;

struct Target {
  std::string name;
  CouplingMap map;
};

std::vector<Target> targets() {
  return {{"line", CouplingMap::linear(8)},
          {"ring", CouplingMap::ring(8)},
          {"grid", *CouplingMap::grid(3, 3)},
          {"star", CouplingMap::star(8)},
          {"heavy_hex", *CouplingMap::heavy_hex(3)}};
}

std::vector<BasisGates> bases() {
  return {BasisGates::ibm(),
          BasisGates::iqm(),
          BasisGates::universal(),
          BasisGates({"rz", "ry", "cz"}),
          BasisGates({"u", "cp"}),
          BasisGates({"p", "h", "rzz"}),
          BasisGates({"rx", "rz", "rxx"}),
          BasisGates({"rz", "sx", "cy"}),
          BasisGates({"p", "sx", "crz"})};
}

std::vector<std::uint32_t> physical_of(const Layout& layout,
                                       std::uint32_t n) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t l = 0; l < n; ++l) {
    out.push_back(layout.get_physical(ir::QubitId{l})->index);
  }
  return out;
}

// The compiled circuit, started from the input state placed by the initial
// layout, ends in the ideal output state placed by the final layout.
void expect_same_action(const ir::Circuit& original, const ir::Circuit& out,
                        const PropertySet& props, std::mt19937_64& rng) {
  const auto n = static_cast<std::uint32_t>(original.num_qubits());
  auto start = physical_of(*props.initial_layout(), n);
  auto end = physical_of(*props.layout(), n);
  // Only the device qubits the circuit touches are simulated, numbered in
  // order of first use.
  std::vector<std::uint32_t> compact(out.num_qubits(), ~0u);
  std::uint32_t used = 0;
  const auto use = [&](std::uint32_t p) {
    if (compact[p] == ~0u) {
      compact[p] = used++;
    }
    return compact[p];
  };
  for (auto& p : start) {
    p = use(p);
  }
  for (const ir::OpRef& ref : out.dag().topological_ops()) {
    for (const ir::QubitId q : ref.operation.qubits()) {
      use(q.index);
    }
  }
  for (auto& p : end) {
    p = use(p);
  }
  for (int trial = 0; trial < 2; ++trial) {
    const State input = testing::random_state(n, rng);
    State ideal = input;
    testing::run(original, ideal);
    State actual = testing::embed(input, n, used, start);
    testing::run(out, actual, compact);
    ASSERT_TRUE(equal_up_to_phase(actual, testing::embed(ideal, n, used, end)));
  }
}

void expect_on_target(const ir::Circuit& out, const CouplingMap& map,
                      const BasisGates& basis) {
  for (const ir::OpRef& ref : out.dag().topological_ops()) {
    if (ref.operation.kind() != ir::OperationKind::Gate) {
      continue;
    }
    const std::string name(ref.operation.gate_name());
    EXPECT_TRUE(basis.contains(name)) << name;
    if (ref.operation.qubits().size() == 2) {
      EXPECT_TRUE(
          map.is_connected(PhysicalQubit{ref.operation.qubits()[0].index},
                           PhysicalQubit{ref.operation.qubits()[1].index}));
    }
    EXPECT_LE(ref.operation.qubits().size(), 2u);
  }
}

TEST(CompileTest, random_circuits_keep_their_action_on_every_target) {
  std::mt19937_64 rng(7);
  for (const Target& target : targets()) {
    for (const BasisGates& basis : bases()) {
      for (const std::uint32_t n : {3u, 5u, 8u}) {
        const ir::Circuit circuit = random_circuit(n, 30, rng);
        PropertySet props;
        props.with_target(target.map, basis);
        auto out = compile(circuit, props, rng());
        ASSERT_TRUE(out) << out.error().message;
        SCOPED_TRACE(target.name + " " + basis.gates()[0] + " n=" +
                     std::to_string(n));
        EXPECT_EQ(out->num_qubits(), target.map.num_qubits());
        expect_on_target(*out, target.map, basis);
        expect_same_action(circuit, *out, props, rng);
      }
    }
  }
}

TEST(CompileTest, fixed_circuits_keep_their_action) {
  std::mt19937_64 rng(11);
  std::vector<ir::Circuit> circuits;
  circuits.push_back(*ir::Circuit::qft(7));
  {
    // GHZ without its measurements.
    ir::Circuit ghz = ir::Circuit::with_size("ghz", 8, 0);
    (void)ghz.h(ir::QubitId{0});
    for (std::uint32_t i = 1; i < 8; ++i) {
      (void)ghz.cx(ir::QubitId{0}, ir::QubitId{i});
    }
    circuits.push_back(std::move(ghz));
  }
  {
    // A ripple-carry adder of two 3-bit numbers (Cuccaro, 2004).
    ir::Circuit adder = ir::Circuit::with_size("adder", 8, 0);
    const auto q = [](std::uint32_t i) { return ir::QubitId{i}; };
    const auto maj = [&](std::uint32_t c, std::uint32_t b, std::uint32_t a) {
      (void)adder.cx(q(a), q(b));
      (void)adder.cx(q(a), q(c));
      (void)adder.ccx(q(c), q(b), q(a));
    };
    const auto uma = [&](std::uint32_t c, std::uint32_t b, std::uint32_t a) {
      (void)adder.ccx(q(c), q(b), q(a));
      (void)adder.cx(q(a), q(c));
      (void)adder.cx(q(c), q(b));
    };
    maj(0, 1, 2);
    maj(2, 3, 4);
    maj(4, 5, 6);
    (void)adder.cx(q(6), q(7));
    uma(4, 5, 6);
    uma(2, 3, 4);
    uma(0, 1, 2);
    circuits.push_back(std::move(adder));
  }
  {
    ir::Circuit clifford_t = ir::Circuit::with_size("clifford_t", 8, 0);
    std::uniform_int_distribution<int> pick(0, 4);
    std::uniform_int_distribution<std::uint32_t> qubit(0, 7);
    for (int g = 0; g < 80; ++g) {
      const ir::QubitId a{qubit(rng)};
      ir::QubitId b{qubit(rng)};
      while (b == a) {
        b = ir::QubitId{qubit(rng)};
      }
      switch (pick(rng)) {
        case 0:
          (void)clifford_t.h(a);
          break;
        case 1:
          (void)clifford_t.s(a);
          break;
        case 2:
          (void)clifford_t.t(a);
          break;
        default:
          (void)clifford_t.cx(a, b);
          break;
      }
    }
    circuits.push_back(std::move(clifford_t));
  }
  for (const ir::Circuit& circuit : circuits) {
    for (const Target& target : targets()) {
      PropertySet props;
      props.with_target(target.map, BasisGates::ibm());
      auto out = compile(circuit, props, 3);
      ASSERT_TRUE(out) << out.error().message;
      SCOPED_TRACE(circuit.name() + " on " + target.name);
      expect_on_target(*out, target.map, BasisGates::ibm());
      expect_same_action(circuit, *out, props, rng);
    }
  }
}

TEST(CompileTest, equal_seeds_give_equal_circuits) {
  std::mt19937_64 rng(5);
  const ir::Circuit circuit = random_circuit(8, 60, rng);
  const auto text = [&](std::uint64_t seed) {
    PropertySet props;
    props.with_target(*CouplingMap::heavy_hex(3), BasisGates::ibm());
    auto out = compile(circuit, props, seed);
    std::string all;
    for (const ir::OpRef& ref : out->dag().topological_ops()) {
      all += std::string(ref.operation.gate_name());
      for (const ir::QubitId q : ref.operation.qubits()) {
        // Appended in two steps: GCC 12 at -O3 takes `" " + to_string(..)`
        // for an overflow (-Wstringop-overflow, a false alarm).
        all += ' ';
        all += std::to_string(q.index);
      }
      all += ";";
    }
    return all;
  };
  EXPECT_EQ(text(1), text(1));
}

TEST(CompileTest, measurements_barriers_and_delays_move_with_their_qubits) {
  ir::Circuit c = ir::Circuit::with_size("m", 4, 4);
  const auto q = [](std::uint32_t i) { return ir::QubitId{i}; };
  (void)c.h(q(0));
  (void)c.cx(q(0), q(3));
  (void)c.cx(q(1), q(2));
  (void)c.cx(q(0), q(2));
  (void)c.delay(q(1), 40);
  (void)c.barrier_all();
  (void)c.measure_all();
  PropertySet props;
  props.with_target(CouplingMap::linear(6), BasisGates::ibm());
  auto out = compile(c, props, 9);
  ASSERT_TRUE(out) << out.error().message;
  const Layout& end = *props.layout();
  int measures = 0;
  for (const ir::OpRef& ref : out->dag().topological_ops()) {
    const ir::Instruction in = ref.operation.to_instruction();
    if (std::holds_alternative<ir::Measure>(in.kind)) {
      ++measures;
      EXPECT_EQ(in.qubits[0].index,
                end.get_physical(ir::QubitId{in.clbits[0].index})->index);
    }
    if (std::holds_alternative<ir::Barrier>(in.kind)) {
      EXPECT_EQ(in.qubits.size(), 4u);
    }
  }
  EXPECT_EQ(measures, 4);
}

TEST(CompileTest, a_given_layout_is_the_initial_placement) {
  const ir::Circuit circuit = *ir::Circuit::qft(3);
  PropertySet props;
  props.with_target(CouplingMap::linear(5), BasisGates::universal());
  Layout layout;
  layout.add(ir::QubitId{0}, PhysicalQubit{4});
  layout.add(ir::QubitId{1}, PhysicalQubit{2});
  layout.add(ir::QubitId{2}, PhysicalQubit{3});
  props.set_layout(layout);
  auto out = compile(circuit, props, 0);
  ASSERT_TRUE(out);
  EXPECT_EQ(props.initial_layout()->get_physical(ir::QubitId{0}),
            PhysicalQubit{4});
  EXPECT_EQ(props.initial_layout()->get_physical(ir::QubitId{1}),
            PhysicalQubit{2});
}

TEST(CompileTest, refusals_name_the_problem_and_change_nothing) {
  std::mt19937_64 rng(2);
  const ir::Circuit five = random_circuit(5, 20, rng);
  ir::Circuit split = ir::Circuit::with_size("split", 4, 0);
  (void)split.cx(ir::QubitId{0}, ir::QubitId{1});
  (void)split.cx(ir::QubitId{1}, ir::QubitId{2});
  CouplingMap two_parts(4);
  two_parts.add_edge(PhysicalQubit{0}, PhysicalQubit{1});
  two_parts.add_edge(PhysicalQubit{2}, PhysicalQubit{3});
  Layout twice;
  twice.add(ir::QubitId{0}, PhysicalQubit{1});
  twice.add(ir::QubitId{1}, PhysicalQubit{1});

  const struct {
    const ir::Circuit* circuit;
    std::optional<CouplingMap> map;
    std::optional<BasisGates> basis;
    std::optional<Layout> layout;
    CompileError::Kind kind;
    std::string message;
  } cases[] = {
      {&five, std::nullopt, BasisGates::ibm(), std::nullopt,
       CompileError::Kind::MissingTarget,
       "the property set has no coupling map to compile for"},
      {&five, CouplingMap::linear(5), std::nullopt, std::nullopt,
       CompileError::Kind::MissingTarget,
       "the property set has no basis gates to compile for"},
      {&five, CouplingMap::linear(4), BasisGates::ibm(), std::nullopt,
       CompileError::Kind::TooManyQubits,
       "the circuit has 5 qubits but the coupling map has only 4"},
      {&split, two_parts, BasisGates::ibm(), std::nullopt,
       CompileError::Kind::DisconnectedDevice,
       "a group of 3 interacting qubits does not fit in any connected part "
       "of the coupling map (the largest free part has 2 qubits)"},
      {&five, CouplingMap::linear(5), BasisGates({"h", "cx"}), std::nullopt,
       CompileError::Kind::UnsupportedGate, ""},
      {&split, CouplingMap::linear(4), BasisGates::ibm(), twice,
       CompileError::Kind::InvalidLayout,
       "the layout does not place qubit 0 on a free physical qubit of the "
       "coupling map"},
  };
  for (const auto& c : cases) {
    PropertySet props;
    if (c.map) {
      props.set_coupling_map(*c.map);
    }
    if (c.basis) {
      props.set_basis_gates(*c.basis);
    }
    if (c.layout) {
      props.set_layout(*c.layout);
    }
    auto out = compile(*c.circuit, props, 0);
    ASSERT_FALSE(out);
    EXPECT_EQ(out.error().kind, c.kind);
    if (!c.message.empty()) {
      EXPECT_EQ(out.error().message, c.message);
    } else {
      EXPECT_NE(out.error().message.find("cannot be expressed in the basis "
                                         "[h, cx]"),
                std::string::npos)
          << out.error().message;
    }
    EXPECT_FALSE(props.initial_layout());
    EXPECT_EQ(props.layout().has_value(), c.layout.has_value());
  }
}

TEST(CompileTest, disconnected_devices_hold_separate_groups) {
  ir::Circuit c = ir::Circuit::with_size("pairs", 4, 0);
  (void)c.cx(ir::QubitId{0}, ir::QubitId{2});
  (void)c.cx(ir::QubitId{1}, ir::QubitId{3});
  CouplingMap two_parts(4);
  two_parts.add_edge(PhysicalQubit{0}, PhysicalQubit{1});
  two_parts.add_edge(PhysicalQubit{2}, PhysicalQubit{3});
  PropertySet props;
  props.with_target(two_parts, BasisGates::ibm());
  auto out = compile(c, props, 0);
  ASSERT_TRUE(out) << out.error().message;
  std::mt19937_64 rng(1);
  expect_same_action(c, *out, props, rng);
}

}  // namespace
}  // namespace qelto::compile
