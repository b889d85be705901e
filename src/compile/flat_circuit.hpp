#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "compile/compile_error.hpp"
#include "ir/circuit.hpp"
#include "ir/gate.hpp"

namespace qelto::compile {

// What one flat operation does: a standard gate (its catalogue kind) or one
// of the non-gate kinds after them.
enum class OpCode : std::uint16_t {
  // Values below kFirstNonGate are ir::StandardGate::Kind values.
  kMeasure = 0x100,
  kReset,
  kBarrier,
  kDelay,
  // A custom gate, kept whole; `aux` indexes FlatCircuit::customs.
  kCustom,
};
inline constexpr std::uint16_t kFirstNonGate = 0x100;

[[nodiscard]] constexpr OpCode gate_code(ir::StandardGate::Kind kind) {
  return static_cast<OpCode>(kind);
}
[[nodiscard]] constexpr bool is_standard(OpCode code) {
  return static_cast<std::uint16_t>(code) < kFirstNonGate;
}
[[nodiscard]] constexpr ir::StandardGate::Kind gate_kind(OpCode code) {
  return static_cast<ir::StandardGate::Kind>(code);
}

// One operation of a flat circuit: numeric angles, qubits inline. The
// passes work on these instead of on the circuit's graph, because they
// touch every operation several times and want them contiguous.
struct FlatOp {
  // Marks an operation whose qubits live in FlatCircuit::wide_qubits
  // (barriers over more than kInline qubits): q[0] is the offset there,
  // q[1] the count.
  static constexpr std::uint8_t kWide = 0xFF;
  // `aux` of a measurement that writes no classical bit.
  static constexpr std::uint64_t kNoClbit = ~std::uint64_t{0};

  OpCode code = OpCode::kBarrier;
  std::uint8_t num_qubits = 0;
  // Inline room for the widest catalogue gate.
  static constexpr std::size_t kInline = ir::StandardGate::kMaxQubits;
  std::uint32_t q[kInline] = {};
  // Measure: the classical bit. Delay: the duration. Custom: the index of
  // its record in FlatCircuit::customs.
  std::uint64_t aux = 0;
  // The catalogue's parameters in order (theta, phi, lam, ...), unused
  // ones 0.
  double params[ir::StandardGate::kMaxParams] = {};

  [[nodiscard]] bool is_gate() const {
    return is_standard(code) || code == OpCode::kCustom;
  }
};

// A circuit as a list of operations in an order that respects every wire
// (each qubit's and each classical bit's operations appear in the order
// they act). Qubits are 0 .. num_qubits - 1, classical bits likewise.
struct FlatCircuit {
  std::string name;
  std::uint32_t num_qubits = 0;
  std::uint32_t num_clbits = 0;
  std::vector<FlatOp> ops;
  std::vector<std::uint32_t> wide_qubits;
  std::vector<ir::CustomGate> customs;

  // The qubits of `op` (inline or wide).
  [[nodiscard]] std::span<const std::uint32_t> qubits(const FlatOp& op) const {
    if (op.num_qubits == FlatOp::kWide) {
      return {wide_qubits.data() + op.q[0], op.q[1]};
    }
    return {op.q, op.num_qubits};
  }
  [[nodiscard]] std::span<std::uint32_t> qubits(FlatOp& op) {
    if (op.num_qubits == FlatOp::kWide) {
      return {wide_qubits.data() + op.q[0], op.q[1]};
    }
    return {op.q, op.num_qubits};
  }
  // The name a pass reports: the catalogue name, the custom gate's name,
  // or measure / reset / barrier / delay.
  [[nodiscard]] std::string_view op_name(const FlatOp& op) const;
  // A copy with the same qubits, classical bits and custom records but no
  // operations, ready for a pass to fill.
  [[nodiscard]] FlatCircuit empty_like() const;
};

// Makes a gate operation with inline qubits.
[[nodiscard]] FlatOp make_gate(ir::StandardGate::Kind kind,
                               std::span<const std::uint32_t> qubits,
                               std::span<const double> params = {});

// Reads a circuit in the order its operations were added (which respects
// every wire). Measurements, resets and delays
// over several qubits become one operation per qubit (the same effect, as
// each acts on its qubits independently); barriers stay whole. Angles are
// evaluated to numbers: an angle with a free parameter is refused
// (UnboundParameter). May throw std::bad_alloc.
[[nodiscard]] CompileResult<FlatCircuit> flatten(const ir::Circuit& circuit);

// Builds the circuit: `num_qubits` qubits and `num_clbits` classical bits
// made singly, then the operations in order. May throw std::bad_alloc.
[[nodiscard]] ir::Circuit to_circuit(const FlatCircuit& flat);

// A flat pass run on a circuit: flatten, the pass, back to a new circuit.
// `pass` returns a FlatCircuit or a CompileResult<FlatCircuit>.
template <class Pass>
[[nodiscard]] CompileResult<ir::Circuit> on_circuit(const ir::Circuit& circuit,
                                                    Pass&& pass) {
  auto flat = flatten(circuit);
  if (!flat) {
    return std::unexpected(std::move(flat.error()));
  }
  CompileResult<FlatCircuit> done = pass(*flat);
  if (!done) {
    return std::unexpected(std::move(done.error()));
  }
  return to_circuit(*done);
}

}  // namespace qelto::compile
