#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "compile/basis_gates.hpp"
#include "compile/flat_circuit.hpp"
#include "compile/gate_writer.hpp"
#include "compile/rotation.hpp"
#include "compile/two_qubit_synthesis.hpp"

namespace qelto::compile {

// Sits in front of a GateWriter and gathers blocks: maximal runs of
// standard gates on one pair of qubits (their two-qubit gates and the
// one-qubit gates between and after them), closed when any other operation
// touches either qubit. Each block is written either as given or, when that
// needs fewer two-qubit gates of the basis, as its matrix re-synthesised
// with the fewest cx (see synthesize_two_qubit), each cx written with the
// basis's two-qubit gate (see cx_entangler) and the one-qubit gates with
// the basis's one-qubit gates. A two-qubit gate costs one when the basis
// holds it, else the cx of its expression (swap 3, cp 2, cz 1, ...).
//
// With a `tolerance` above zero, a block (even of one two-qubit gate) may
// be written with fewer cx as a circuit within `tolerance` of its matrix
// (see synthesize_two_qubit).
//
// Re-synthesis needs a one-qubit family and a cx-capable gate in the basis;
// without them, or when `enabled` is false, everything passes straight to
// the GateWriter. The calls mirror GateWriter's; `writer` must outlive this
// object.
class BlockWriter {
 public:
  BlockWriter(GateWriter& writer, const BasisGates& basis,
              std::uint32_t num_qubits, bool enabled, double tolerance = 0);

  void one_qubit(const FlatOp& op, const Rotation& rotation);
  void two_qubit(const FlatOp& op);
  // Closes the blocks on `qubits` (the operation's qubits), then passes
  // the operation on.
  void other(const FlatOp& op, std::span<const std::uint32_t> qubits);
  // Writes the blocks still open. Call once, before the GateWriter's
  // finish().
  void finish();

  // Whether the basis holds the catalogue gate.
  [[nodiscard]] bool in_basis(ir::StandardGate::Kind kind) const {
    return in_basis_[static_cast<std::size_t>(kind)];
  }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;
  struct Block {
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    std::uint32_t cost = 0;
    std::vector<FlatOp> ops;
  };

  std::uint32_t cost(const FlatOp& op);
  void close(std::uint32_t slot);
  void write_as_given(const Block& block);
  bool write_resynthesised(const Block& block);
  void write_cx(std::uint32_t control, std::uint32_t target);

  GateWriter& writer_;
  std::array<bool, ir::StandardGate::kNumKinds> in_basis_{};
  // Cx count of each kind's expression, 0 until first needed.
  std::array<std::uint8_t, ir::StandardGate::kNumKinds> cx_cost_{};
  std::optional<ir::StandardGate::Kind> entangler_;
  bool enabled_;
  double tolerance_;
  // Open block of each qubit, as an index into blocks_.
  std::vector<std::uint32_t> open_;
  std::vector<Block> blocks_;
  std::vector<std::uint32_t> free_;
  std::vector<FlatOp> scratch_;
  std::vector<TwoQubitStep> steps_;
};

}  // namespace qelto::compile
