#pragma once

// Test helper: a reproducible random circuit as a sequence of steps (add a
// wire, apply an instruction), the same on every platform (its own
// generator, no std distributions). Wires are added before, between and
// after operations with ids that are not dense; instructions cover every
// kind, wide and empty operand lists, and unregistered or repeated
// operands, so that some applies fail.

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "ir/instruction.hpp"

namespace qelto::ir::testing {

class RandomCircuit {
 public:
  struct AddWire {
    bool clbit;
    std::uint32_t id;
  };
  using Step = std::variant<AddWire, Instruction>;

  explicit RandomCircuit(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {
    qubit_ids_ = 1 + pick(12);
    clbit_ids_ = 1 + pick(6);
    steps_ = pick(3) == 0 ? 400 : 40;
    initial_wires_ = pick(qubit_ids_ + clbit_ids_ + 1);
  }

  // The next step, or nullopt after the last.
  std::optional<Step> next() {
    if (steps_ == 0) {
      return std::nullopt;
    }
    --steps_;
    if (initial_wires_ > 0 || pick(8) == 0) {
      initial_wires_ -= initial_wires_ > 0 ? 1 : 0;
      const std::uint32_t id = pick(qubit_ids_);
      if (pick(2) == 0) {
        return Step(AddWire{false, id});
      }
      return Step(AddWire{true, id % clbit_ids_});
    }
    return Step(instruction());
  }

 private:
  // 0 .. n-1 (splitmix64).
  std::uint32_t pick(std::uint32_t n) {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z % n);
  }

  QubitList qubits(std::uint32_t count) {
    QubitList qs;
    for (std::uint32_t i = 0; i < count; ++i) {
      qs.push_back(QubitId{pick(qubit_ids_)});
    }
    return qs;
  }

  ClbitList clbits(std::uint32_t count) {
    ClbitList cs;
    for (std::uint32_t i = 0; i < count; ++i) {
      cs.push_back(ClbitId{pick(clbit_ids_)});
    }
    return cs;
  }

  Instruction instruction() {
    using PE = ParameterExpression;
    const std::uint32_t wide = pick(4) == 0 ? pick(24) : pick(4);
    switch (pick(9)) {
      case 0:
        return Instruction{qubits(1), {}, Gate(StandardGate(StandardGate::H))};
      case 1:
        return Instruction{qubits(2), {}, Gate(StandardGate(StandardGate::Cx))};
      case 2: {
        QubitList qs = qubits(pick(3) + 1);
        ClbitList cs = pick(5) == 0 ? clbits(1) : ClbitList{};
        return Instruction{std::move(qs), std::move(cs), Gate(StandardGate(StandardGate::Ccx))};
      }
      case 3: {
        QubitList qs = qubits(1);
        PE theta = PE::constant(pick(100));
        PE phi = PE::symbol("t" + std::to_string(pick(3)));
        return Instruction{std::move(qs), {},
                           Gate(StandardGate(StandardGate::U, std::move(theta), std::move(phi),
                                             PE::pi()))};
      }
      case 4: {
        CustomGate custom{"g" + std::to_string(pick(3)), 2, {}};
        custom.params.push_back(PE::constant(0.5));
        return Instruction{qubits(2), {}, Gate(std::move(custom))};
      }
      case 5: {
        QubitList qs = qubits(wide);
        ClbitList cs = clbits(pick(2) == 0 ? wide : pick(3));
        return Instruction{std::move(qs), std::move(cs), Measure{}};
      }
      case 6:
        return Instruction{qubits(wide), {}, Barrier{}};
      case 7: {
        QubitList qs = qubits(pick(2) + 1);
        ClbitList cs = clbits(pick(2));
        return Instruction{std::move(qs), std::move(cs), Reset{}};
      }
      default: {
        QubitList qs = qubits(1);
        return Instruction{std::move(qs), {}, Delay{pick(1000)}};
      }
    }
  }

  std::uint64_t state_;
  std::uint32_t qubit_ids_;
  std::uint32_t clbit_ids_;
  std::uint32_t steps_;
  // Wires added before the first operation.
  std::uint32_t initial_wires_;
};

// A 64-bit FNV-1a digest of everything a DAG's orders show: node and edge
// counts, depth, the topological order and every node's edge lists. Works
// on any store with CircuitDag's read interface.
template <class Dag>
std::uint64_t order_fingerprint(const Dag& dag) {
  using Node = typename std::decay_t<decltype(*dag.topological_order())>::value_type;
  std::uint64_t hash = 0xCBF29CE484222325ull;
  auto mix = [&hash](std::uint64_t value) {
    for (int byte = 0; byte < 8; ++byte) {
      hash = (hash ^ ((value >> (8 * byte)) & 0xFF)) * 0x100000001B3ull;
    }
  };
  mix(dag.node_count());
  mix(dag.edge_count());
  mix(dag.depth());
  const auto order = dag.topological_order();
  for (const Node n : *order) {
    mix(n.index);
  }
  for (std::uint32_t n = 0; n < dag.node_count(); ++n) {
    for (const Node s : dag.successors(Node{n})) {
      mix(s.index);
    }
    mix(0xFFFFFFFFu);
    for (const Node p : dag.predecessors(Node{n})) {
      mix(p.index);
    }
    mix(0xFFFFFFFEu);
  }
  return hash;
}

}  // namespace qelto::ir::testing
