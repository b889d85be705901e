#pragma once

// Random circuits over the whole catalogue for the compile tests.

#include <cstdint>
#include <random>
#include <vector>

#include "ir/circuit.hpp"

namespace qelto::compile::testing {

// Up to `gates` random catalogue gates (every kind equally likely, angles
// uniform in [-2 pi, 2 pi]) on distinct random qubits of an n-qubit
// circuit; draws of gates wider than n are skipped.
inline ir::Circuit random_circuit(std::uint32_t n, std::uint32_t gates,
                                  std::mt19937_64& rng) {
  using ir::StandardGate;
  ir::Circuit c = ir::Circuit::with_size("random", n, 0);
  std::uniform_int_distribution<std::size_t> pick_kind(
      0, StandardGate::kNumKinds - 1);
  std::uniform_real_distribution<double> angle(-6.283, 6.283);
  std::vector<std::uint32_t> qubits(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    qubits[i] = i;
  }
  for (std::uint32_t g = 0; g < gates; ++g) {
    const auto kind = static_cast<StandardGate::Kind>(pick_kind(rng));
    if (StandardGate::num_qubits(kind) > n) {
      continue;
    }
    std::vector<ir::ParameterExpression> params;
    for (std::uint32_t p = 0; p < StandardGate::num_params(kind); ++p) {
      params.push_back(ir::ParameterExpression::constant(angle(rng)));
    }
    std::shuffle(qubits.begin(), qubits.end(), rng);
    ir::QubitList operands;
    for (std::uint32_t k = 0; k < StandardGate::num_qubits(kind); ++k) {
      operands.push_back(ir::QubitId{qubits[k]});
    }
    auto gate = StandardGate::make(kind, std::move(params));
    (void)c.apply(ir::Instruction{operands, {}, ir::Gate(std::move(*gate))});
  }
  return c;
}

}  // namespace qelto::compile::testing
