#pragma once

#include <cstdint>
#include <optional>

#include "compile/compile_error.hpp"
#include "compile/device.hpp"
#include "compile/flat_circuit.hpp"
#include "compile/layout.hpp"
#include "compile/route.hpp"

namespace qelto::compile {

// How the layout search spends its time. Each trial starts from its own
// placement (the first a compact one, the second along a long path of the
// device, the others random by the seed), then routes the circuit's
// two-qubit gates forward and backward `iterations` times, each pass
// starting where the previous one ended. Every placement a forward pass
// starts from is scored by that pass's swap cost (see swap_cost); the
// cheapest wins.
//
// Measured on random and QFT circuits, random starts rarely beat the
// compact and path ones (the spread between seeds is larger than the
// gain), so the default spends little on them.
struct LayoutOptions {
  std::uint32_t trials = 3;
  std::uint32_t iterations = 2;
  // The search routes only the circuit's first `max_gates` two-qubit
  // gates: where the qubits start matters most for the gates that run
  // first, since routing moves them on anyway.
  std::uint64_t max_gates = ~std::uint64_t{0};
};

// Logical qubit l of the circuit on physical qubit l, the device's other
// qubits filled in order. Checked like given_placement.
[[nodiscard]] CompileResult<Placement> trivial_placement(
    const FlatCircuit& circuit, const Device& device);

// The placement a layout describes for the circuit's qubits, the device's
// other qubits filled in order. Refused (InvalidLayout) when a circuit
// qubit is not placed, sits beyond the device or shares its physical qubit;
// refused (DisconnectedDevice) when two interacting qubits sit in different
// connected parts of the device.
[[nodiscard]] CompileResult<Placement> given_placement(
    const FlatCircuit& circuit, const Device& device, const Layout& layout);

// A good placement found by the forward-backward routing search of the
// SABRE method (Li, Ding and Xie, 2019), equal for equal inputs and seed.
// Refused (TooManyQubits) when the circuit has more qubits than the device,
// (DisconnectedDevice) when its groups of interacting qubits cannot be
// spread over the device's connected parts. May throw std::bad_alloc.
[[nodiscard]] CompileResult<Placement> sabre_placement(
    const FlatCircuit& circuit, const Device& device, std::uint64_t seed,
    const LayoutOptions& options = {});

// The circuit's part of a placement as a Layout (logical -> physical).
[[nodiscard]] Layout to_layout(const Placement& placement,
                               std::uint32_t num_circuit_qubits);

}  // namespace qelto::compile
