#pragma once

// A state-vector simulator for the compile tests: the reference model that
// compiled circuits are compared against. Its gate matrices are written out
// here from the gates' definitions, independently of the compile library.

#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <span>
#include <vector>
#include <algorithm>
#include <cassert>
#include <numbers>
#include <variant>

#include "ir/circuit.hpp"
#include "ir/gate_catalogue.hpp"

namespace qelto::compile::testing {

using Complex = std::complex<double>;
using State = std::vector<Complex>;

// Matrix of a gate on k operands, row-major, 2^k x 2^k; operand j is bit j
// of the row and column index.
struct Matrix {
  std::uint32_t operands = 1;
  std::vector<Complex> m;
};


namespace detail {

using Kind = ir::StandardGate::Kind;
using std::numbers::pi;
inline const Complex kI{0, 1};

using M2 = std::array<Complex, 4>;

inline M2 rx(double t) {
  return {std::cos(t / 2), -kI * std::sin(t / 2), -kI * std::sin(t / 2),
          std::cos(t / 2)};
}
inline M2 ry(double t) {
  return {std::cos(t / 2), -std::sin(t / 2), std::sin(t / 2), std::cos(t / 2)};
}
inline M2 rz(double t) {
  return {std::exp(-kI * t / 2.0), 0, 0, std::exp(kI * t / 2.0)};
}
inline M2 phase(double t) { return {1, 0, 0, std::exp(kI * t)}; }

inline M2 one_qubit(Kind kind, const std::vector<double>& p) {
  const double r = 1 / std::numbers::sqrt2;
  switch (kind) {
    case Kind::Id:
      return {1, 0, 0, 1};
    case Kind::X:
      return {0, 1, 1, 0};
    case Kind::Y:
      return {0, -kI, kI, 0};
    case Kind::Z:
      return {1, 0, 0, -1};
    case Kind::H:
      return {r, r, r, -r};
    case Kind::S:
      return phase(pi / 2);
    case Kind::Sdg:
      return phase(-pi / 2);
    case Kind::T:
      return phase(pi / 4);
    case Kind::Tdg:
      return phase(-pi / 4);
    case Kind::Sx:
      return {(1.0 + kI) / 2.0, (1.0 - kI) / 2.0, (1.0 - kI) / 2.0,
              (1.0 + kI) / 2.0};
    case Kind::Sxdg:
      return {(1.0 - kI) / 2.0, (1.0 + kI) / 2.0, (1.0 + kI) / 2.0,
              (1.0 - kI) / 2.0};
    case Kind::Rx:
      return rx(p[0]);
    case Kind::Ry:
      return ry(p[0]);
    case Kind::Rz:
      return rz(p[0]);
    case Kind::P:
      return phase(p[0]);
    case Kind::U: {
      const double c = std::cos(p[0] / 2);
      const double s = std::sin(p[0] / 2);
      return {c, -std::exp(kI * p[2]) * s, std::exp(kI * p[1]) * s,
              std::exp(kI * (p[1] + p[2])) * c};
    }
    case Kind::Prx: {
      const double c = std::cos(p[0] / 2);
      const double s = std::sin(p[0] / 2);
      return {c, -kI * std::exp(-kI * p[1]) * s, -kI * std::exp(kI * p[1]) * s,
              c};
    }
    default:
      assert(false && "not a one-qubit gate");
      return {};
  }
}

// Controlled-u with operand 0 the control.
inline Matrix controlled(const M2& u) {
  Matrix g{2, std::vector<Complex>(16)};
  g.m[0 * 4 + 0] = 1;
  g.m[2 * 4 + 2] = 1;
  // Local index = control + 2 * target; control set: indices 1 and 3.
  g.m[1 * 4 + 1] = u[0];
  g.m[1 * 4 + 3] = u[1];
  g.m[3 * 4 + 1] = u[2];
  g.m[3 * 4 + 3] = u[3];
  return g;
}

// exp(-i t/2 P⊗P) for a Pauli p with p·p = I.
inline Matrix pauli_pair(const M2& p, double t) {
  Matrix g{2, std::vector<Complex>(16)};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      const Complex pp = p[(row & 1) * 2 + (col & 1)] *
                         p[(row >> 1) * 2 + (col >> 1)];
      g.m[row * 4 + col] =
          (row == col ? std::cos(t / 2) : 0.0) - kI * std::sin(t / 2) * pp;
    }
  }
  return g;
}

inline Matrix permutation(std::uint32_t operands,
                   const std::vector<std::uint32_t>& image) {
  const std::size_t dim = std::size_t{1} << operands;
  Matrix g{operands, std::vector<Complex>(dim * dim)};
  for (std::size_t col = 0; col < dim; ++col) {
    g.m[image[col] * dim + col] = 1;
  }
  return g;
}

inline void apply(const Matrix& g, std::span<const std::uint32_t> qubits,
                  State& state) {
  const std::size_t dim = std::size_t{1} << g.operands;
  std::vector<std::uint32_t> sorted(qubits.begin(), qubits.end());
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::size_t> offset(dim);
  for (std::size_t local = 0; local < dim; ++local) {
    for (std::uint32_t j = 0; j < g.operands; ++j) {
      if ((local >> j) & 1) {
        offset[local] |= std::size_t{1} << qubits[j];
      }
    }
  }
  std::vector<Complex> in(dim);
  const std::size_t count = state.size() >> g.operands;
  for (std::size_t i = 0; i < count; ++i) {
    // Spread i over the bits outside the gate's qubits.
    std::size_t base = i;
    for (const std::uint32_t q : sorted) {
      const std::size_t low = base & ((std::size_t{1} << q) - 1);
      base = ((base >> q) << (q + 1)) | low;
    }
    for (std::size_t local = 0; local < dim; ++local) {
      in[local] = state[base | offset[local]];
    }
    for (std::size_t row = 0; row < dim; ++row) {
      Complex sum = 0;
      for (std::size_t col = 0; col < dim; ++col) {
        sum += g.m[row * dim + col] * in[col];
      }
      state[base | offset[row]] = sum;
    }
  }
}

}  // namespace detail
using namespace detail;

inline Matrix gate_matrix(const ir::StandardGate& gate);

// The gates beyond the original catalogue, from the gate table's
// definitions (exact up to global phase, checked by the IR's tests).
inline Matrix definition_matrix(const ir::StandardGate& gate,
                                const std::vector<double>& p) {
  const ir::GateInfo& info = ir::gate_info(gate.kind());
  std::array<ir::GateStep, 64> steps{};
  bool failed = false;
  const std::size_t count =
      ir::gate_text::steps(info, info.definition, steps, failed);
  assert(!failed && !info.definition.empty() && "gate without a matrix");
  const std::uint32_t k = gate.num_qubits();
  const std::size_t dim = std::size_t{1} << k;
  Matrix out{k, std::vector<Complex>(dim * dim)};
  for (std::size_t col = 0; col < dim; ++col) {
    State state(dim);
    state[col] = 1;
    for (std::size_t i = 0; i < count; ++i) {
      std::vector<ir::ParameterExpression> params;
      for (std::size_t a = 0; a < ir::StandardGate::num_params(steps[i].kind);
           ++a) {
        const ir::GateArgument& arg = steps[i].args[a];
        double value = arg.value;
        if (arg.source == ir::GateArgument::Source::Param) {
          value = p[static_cast<std::size_t>(arg.value)];
        } else if (arg.source == ir::GateArgument::Source::PiOver) {
          value = pi / arg.value;
        }
        params.push_back(
            ir::ParameterExpression::constant(arg.negated ? -value : value));
      }
      const auto step =
          ir::StandardGate::make(steps[i].kind, std::move(params));
      std::vector<std::uint32_t> qubits;
      for (std::uint32_t j = 0; j < step->num_qubits(); ++j) {
        qubits.push_back(steps[i].operands[j]);
      }
      apply(gate_matrix(*step), qubits, state);
    }
    for (std::size_t row = 0; row < dim; ++row) {
      out.m[row * dim + col] = state[row];
    }
  }
  return out;
}

inline Matrix gate_matrix(const ir::StandardGate& gate) {
  std::vector<double> p;
  for (const auto& e : gate.parameters()) {
    p.push_back(e.get_if<ir::ParameterExpression::Constant>()->value);
  }
  const Kind kind = gate.kind();
  if (gate.num_qubits() == 1) {
    const M2 u = one_qubit(kind, p);
    return Matrix{1, {u.begin(), u.end()}};
  }
  switch (kind) {
    case Kind::Cx:
      return controlled(one_qubit(Kind::X, p));
    case Kind::Cy:
      return controlled(one_qubit(Kind::Y, p));
    case Kind::Cz:
      return controlled(one_qubit(Kind::Z, p));
    case Kind::Ch:
      return controlled(one_qubit(Kind::H, p));
    case Kind::Crx:
      return controlled(rx(p[0]));
    case Kind::Cry:
      return controlled(ry(p[0]));
    case Kind::Crz:
      return controlled(rz(p[0]));
    case Kind::Cp:
      return controlled(phase(p[0]));
    case Kind::Swap:
      return permutation(2, {0, 2, 1, 3});
    case Kind::ISwap: {
      Matrix g = permutation(2, {0, 2, 1, 3});
      g.m[2 * 4 + 1] = kI;
      g.m[1 * 4 + 2] = kI;
      return g;
    }
    case Kind::Rxx:
      return pauli_pair(one_qubit(Kind::X, p), p[0]);
    case Kind::Ryy:
      return pauli_pair(one_qubit(Kind::Y, p), p[0]);
    case Kind::Rzz:
      return pauli_pair(one_qubit(Kind::Z, p), p[0]);
    case Kind::Ccx:
      // Bits 0 and 1 control, bit 2 flips.
      return permutation(3, {0, 1, 2, 7, 4, 5, 6, 3});
    case Kind::CSwap:
      // Bit 0 controls the exchange of bits 1 and 2.
      return permutation(3, {0, 1, 2, 5, 4, 3, 6, 7});
    case Kind::Cu: {
      M2 u = one_qubit(Kind::U, p);
      for (Complex& a : u) {
        a *= std::exp(kI * p[3]);
      }
      return controlled(u);
    }
    default:
      return definition_matrix(gate, p);
  }
}

// Applies every operation of the circuit in topological order, qubit q of
// the circuit on qubit `where[q]` of the state (q itself when `where` is
// empty). Barriers and delays do nothing; the circuit must hold no
// measurement or reset.
inline void run(const ir::Circuit& circuit, State& state,
                std::span<const std::uint32_t> where = {}) {
  for (const ir::OpRef& ref : circuit.dag().topological_ops()) {
    const ir::Instruction in = ref.operation.to_instruction();
    const ir::Gate* gate = in.gate();
    if (gate == nullptr) {
      assert((std::holds_alternative<ir::Barrier>(in.kind) ||
              std::holds_alternative<ir::Delay>(in.kind)) &&
             "only unitary operations");
      continue;
    }
    std::vector<std::uint32_t> qubits;
    for (const ir::QubitId q : in.qubits) {
      qubits.push_back(where.empty() ? q.index : where[q.index]);
    }
    apply(gate_matrix(*gate->standard()), qubits, state);
  }
}

inline State random_state(std::uint32_t n, std::mt19937_64& rng) {
  std::normal_distribution<double> normal;
  State state(std::size_t{1} << n);
  double norm = 0;
  for (Complex& a : state) {
    a = {normal(rng), normal(rng)};
    norm += std::norm(a);
  }
  for (Complex& a : state) {
    a /= std::sqrt(norm);
  }
  return state;
}

inline bool equal_up_to_phase(const State& a, const State& b,
                              double tolerance = 1e-7) {
  if (a.size() != b.size()) {
    return false;
  }
  Complex overlap = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    overlap += std::conj(b[i]) * a[i];
  }
  if (std::abs(overlap) < 1e-12) {
    return false;
  }
  const Complex phase = overlap / std::abs(overlap);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::abs(a[i] - phase * b[i]) > tolerance) {
      return false;
    }
  }
  return true;
}

inline State embed(const State& logical, std::uint32_t num_logical,
            std::uint32_t device, std::span<const std::uint32_t> physical) {
  State out(std::size_t{1} << device);
  for (std::size_t i = 0; i < logical.size(); ++i) {
    std::size_t j = 0;
    for (std::uint32_t l = 0; l < num_logical; ++l) {
      if ((i >> l) & 1) {
        j |= std::size_t{1} << physical[l];
      }
    }
    out[j] = logical[i];
  }
  return out;
}

}  // namespace qelto::compile::testing
