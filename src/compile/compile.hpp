#pragma once

#include <cstdint>

#include "compile/compile_error.hpp"
#include "compile/layout.hpp"
#include "compile/placement.hpp"
#include "compile/property_set.hpp"
#include "ir/circuit.hpp"

namespace qelto::compile {

struct CompileOptions {
  // Layout search effort; scaled down for circuits with very many two-qubit
  // gates so that large circuits stay fast (see compile.cpp).
  LayoutOptions layout;
  // Routing runs with this many seeds; the run whose swaps cost least is
  // kept.
  std::uint32_t routing_trials = 2;
  // Passed to both simplifications (see SimplifyOptions::tolerance): zero
  // compiles exactly; above zero, gates within it of the identity (tiny
  // controlled phases) are left out before routing, and after it runs on a
  // pair may be written with fewer cx within it.
  double tolerance = 0;
};

// Compiles `circuit` for the target in `properties`: unroll, simplify
// (without block re-synthesis), place (the layout in `properties` if it has
// one, else choose_layout), route, then translate to the basis and
// simplify. Returns a new circuit on the device's physical qubits (as many
// qubits as the coupling map has, the same classical bits); the input is
// unchanged. On success the property set's initial_layout is where the
// circuit's qubits start and its layout where they end (logical ->
// physical). Equal inputs and seed give equal outputs, and the same as the
// passes below run one after the other with the same seed.
//
// Refused, with nothing changed: no coupling map or no basis gates
// (MissingTarget), and every error of the passes (too many qubits, a
// disconnected device, an invalid layout, a gate outside the basis, an
// angle without a value). May throw std::bad_alloc, also with nothing
// changed.
[[nodiscard]] CompileResult<ir::Circuit> compile(
    const ir::Circuit& circuit, PropertySet& properties, std::uint64_t seed,
    const CompileOptions& options = {});

// The placement compile() searches for (see sabre_placement, with effort
// scaled down for very large circuits) on the coupling map of `target`, as
// a layout of the circuit's qubits. Refused without a coupling map
// (MissingTarget), for a gate on three or more qubits (UnsupportedGate:
// unroll first), and as sabre_placement.
[[nodiscard]] CompileResult<Layout> choose_layout(
    const ir::Circuit& circuit, const PropertySet& target, std::uint64_t seed,
    const CompileOptions& options = {});

// Routing as compile() does it, on the coupling map of `target`, from the
// target's layout (logical qubit l on physical l without one): the
// cheapest of the routing trials (see route and swap_cost). Returns the
// circuit on the device's physical qubits; on success the target's
// initial_layout is where the qubits start and its layout where they end.
// Refused, with the target unchanged: no coupling map (MissingTarget), a
// gate on three or more qubits (UnsupportedGate: unroll first), an
// invalid layout, too many qubits or interacting qubits in different parts
// of the device (as given_placement), an angle without a value.
[[nodiscard]] CompileResult<ir::Circuit> route(
    const ir::Circuit& circuit, PropertySet& target, std::uint64_t seed,
    const CompileOptions& options = {});

}  // namespace qelto::compile
