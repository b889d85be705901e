#pragma once

#include <cstdint>
#include <vector>

#include "compile/compile_error.hpp"
#include "compile/device.hpp"
#include "compile/flat_circuit.hpp"
#include "ir/circuit.hpp"

namespace qelto::compile {

// A placement of every logical qubit on a distinct physical qubit:
// physical[l] for l = 0 .. device size - 1. The circuit's qubits come
// first; the rest are idle qubits that fill the remaining physical qubits.
using Placement = std::vector<std::uint32_t>;

struct Routed {
  // On the device's physical qubits (num_qubits = device size).
  FlatCircuit circuit;
  // Where each logical qubit sits after the last operation.
  Placement final_placement;
  std::uint64_t swaps = 0;
  // Swaps written right after a gate on the same two qubits, with only
  // one-qubit gates between: a later pass merges them with it (a swap
  // next to cx or cp costs one cx more instead of three).
  std::uint64_t merged_swaps = 0;
};

// What the inserted swaps will cost in cx once written and merged: three
// for a swap alone, one for a swap that merges with its neighbour.
[[nodiscard]] inline std::uint64_t swap_cost(const Routed& routed) {
  return 3 * routed.swaps - 2 * routed.merged_swaps;
}

// How hard routing looks ahead. The defaults follow the SABRE method
// (Li, Ding and Xie, 2019) as refined since.
struct RouteOptions {
  // Two-qubit gates beyond the front layer that the choice of swap weighs.
  std::uint32_t extended_set_size = 20;
  double lookahead_weight = 0.5;
  // Added to a qubit's decay for every swap on it, so that swapping the same
  // qubits back and forth costs more and more.
  double decay_step = 0.001;
  std::uint32_t decay_reset_interval = 5;
  // Subtracted from the score of a swap that would merge with the gate
  // just run on the same two qubits (see Routed::merged_swaps). Half a
  // unit of distance: measured on QFT and random circuits on heavy-hex and
  // grid maps, it merges most such swaps without steering routing off
  // course (0.3 to 0.7 all did about as well, 1 and more worse).
  double merge_bonus = 0.5;
  // Whether to write the routed circuit (layout search only counts swaps).
  bool emit = true;
  // Whether the circuit's own swaps are followed by renaming instead of
  // being written: the qubits' states then simply sit where the other's
  // were, which the final placement records.
  bool elide_swaps = true;
};

// Inserts swaps so that every two-qubit gate of `circuit` (gates on at most
// two qubits; unroll wider gates first) acts on coupled physical qubits,
// starting from `initial`. Gates go out as soon as their qubits are coupled;
// otherwise the swap that most reduces the distances of the waiting gates
// (the front layer) and, with less weight, of the gates after them, with a
// decay against undoing recent swaps, is applied; ties are broken by
// `seed`. When many swaps bring no gate closer to running, the nearest
// waiting gate is brought together along a shortest path, so routing always
// ends, after at most that bound plus a path length of swaps per gate.
// Measurements, resets, delays and barriers move with their qubits. The
// circuit's own swap gates cost nothing with `elide_swaps` (see
// RouteOptions).
//
// `initial` must place interacting qubits in the same connected part of the
// device (choose_placement checks this). May throw std::bad_alloc.
[[nodiscard]] Routed route(const FlatCircuit& circuit, const Device& device,
                           Placement initial, std::uint64_t seed,
                           const RouteOptions& options = {});

}  // namespace qelto::compile
