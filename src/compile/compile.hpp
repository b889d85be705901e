#pragma once

#include <cstdint>

#include "compile/compile_error.hpp"
#include "compile/placement.hpp"
#include "compile/property_set.hpp"
#include "ir/circuit.hpp"

namespace qelto::compile {

struct CompileOptions {
  // Layout search effort; scaled down for circuits with very many two-qubit
  // gates so that large circuits stay fast (see compile.cpp).
  LayoutOptions layout;
  // Routing runs with this many seeds; the run with the fewest swaps is
  // kept.
  std::uint32_t routing_trials = 2;
};

// Compiles `circuit` for the target in `properties`: unroll, place (the
// layout in `properties` if it has one, else the SABRE search), route, then
// translate to the basis and simplify. Returns a new circuit on the
// device's physical qubits (as many qubits as the coupling map has, the
// same classical bits); the input is unchanged. On success the property
// set's initial_layout is where the circuit's qubits start and its layout
// where they end (logical -> physical). Equal inputs and seed give equal
// outputs.
//
// Refused, with nothing changed: no coupling map or no basis gates
// (MissingTarget), and every error of the passes (too many qubits, a
// disconnected device, an invalid layout, a gate outside the basis, an
// angle without a value). May throw std::bad_alloc, also with nothing
// changed.
[[nodiscard]] CompileResult<ir::Circuit> compile(
    const ir::Circuit& circuit, PropertySet& properties, std::uint64_t seed,
    const CompileOptions& options = {});

}  // namespace qelto::compile
