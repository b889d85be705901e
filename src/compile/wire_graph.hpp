#pragma once

#include <cstdint>
#include <vector>

#include "compile/flat_circuit.hpp"

namespace qelto::compile {

// Each operation's successor on each of its wires (qubits, then its
// classical bit), and how many of its wires still wait for a predecessor.
struct WireGraph {
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  std::vector<std::uint32_t> first_slot;  // per op, plus one at the end
  std::vector<std::uint32_t> next;        // per slot: successor op or kNone
  std::vector<std::uint32_t> waiting;     // per op

  explicit WireGraph(const FlatCircuit& c) {
    const std::size_t n = c.ops.size();
    first_slot.resize(n + 1);
    waiting.assign(n, 0);
    std::vector<std::uint32_t> last_slot(
        std::size_t{c.num_qubits} + c.num_clbits, kNone);
    for (std::size_t i = 0; i < n; ++i) {
      first_slot[i + 1] = first_slot[i] + wire_count(c, c.ops[i]);
    }
    next.assign(first_slot[n], kNone);
    for (std::size_t i = 0; i < n; ++i) {
      std::uint32_t slot = first_slot[i];
      const auto link = [&](std::size_t wire) {
        if (last_slot[wire] != kNone) {
          next[last_slot[wire]] = static_cast<std::uint32_t>(i);
          ++waiting[i];
        }
        last_slot[wire] = slot++;
      };
      for (const std::uint32_t q : c.qubits(c.ops[i])) {
        link(q);
      }
      if (has_clbit(c.ops[i])) {
        link(std::size_t{c.num_qubits} + c.ops[i].aux);
      }
    }
  }

  static bool has_clbit(const FlatOp& op) {
    return op.code == OpCode::kMeasure && op.aux != FlatOp::kNoClbit;
  }
  static std::uint32_t wire_count(const FlatCircuit& c, const FlatOp& op) {
    return static_cast<std::uint32_t>(c.qubits(op).size()) +
           (has_clbit(op) ? 1 : 0);
  }
};

}  // namespace qelto::compile
