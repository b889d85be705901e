#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "compile/flat_circuit.hpp"
#include "compile/rotation.hpp"

namespace qelto::compile {

// Writes operations into a circuit while simplifying as it goes:
// - one-qubit gates wait per qubit and merge into one rotation; when the
//   run ends (another operation touches the qubit, or finish()) it is
//   dropped if it is the identity, else written as the fewest gates of the
//   one-qubit basis, or as given when that is no longer (or when there is
//   no one-qubit basis);
// - a two-qubit gate that directly follows its inverse on the same qubits
//   cancels it (cx, cy, cz, ch, swap), and two rotations of one kind on the
//   same qubits merge into one (cp, crx, cry, crz, rxx, ryy, rzz), dropped
//   when the sum is the identity up to global phase;
// - such a rotation whose angle is the identity up to global phase (within
//   1e-9 rad of a multiple of its period) is dropped.
// With a `tolerance` above zero, a run of one-qubit gates and a two-qubit
// rotation are also dropped when they are within `tolerance` of the
// identity (the least operator-norm distance over global phases); each
// such drop moves the circuit's action by at most that much.
class GateWriter {
 public:
  GateWriter(FlatCircuit& out, std::optional<OneQubitBasis> basis,
             double tolerance = 0);

  // A one-qubit catalogue gate with its rotation; `in_basis` says whether
  // the gate may be written as it is.
  void one_qubit(const FlatOp& op, const Rotation& rotation, bool in_basis);
  // A two-qubit gate, written as given unless it cancels or merges.
  void two_qubit(const FlatOp& op);
  // Anything else (measurements, barriers, custom gates, ...): written as
  // given after the runs on its qubits.
  void other(const FlatOp& op, std::span<const std::uint32_t> wide = {});
  // Ends every run and removes the cancelled operations. Call once.
  void finish();
  // Whether a tolerance is set and the two-qubit gate is a rotation within
  // it of the identity, which two_qubit() would drop.
  [[nodiscard]] bool approximately_identity(const FlatOp& op) const;

 private:
  struct Run {
    Rotation rotation;
    std::vector<FlatOp> gates;
    bool all_in_basis = true;
  };
  void flush(std::uint32_t qubit);
  void append(const FlatOp& op);
  bool cancels(const FlatOp& op);
  // Whether a two-qubit rotation of `kind` by `angle` may be left out.
  bool negligible(ir::StandardGate::Kind kind, double angle) const;

  FlatCircuit& out_;
  std::optional<OneQubitBasis> basis_;
  double tolerance_;
  std::vector<Run> runs_;
  // Qubits with a run waiting, so that finish() touches only those.
  std::vector<std::uint32_t> pending_;
  // Last written operation on each qubit, and for each written operation
  // the one before it on its first two qubits (to step back on a cancel).
  std::vector<std::uint32_t> last_;
  std::vector<std::array<std::uint32_t, 2>> before_;
  std::vector<bool> dead_;
  std::vector<FlatOp> scratch_;
};

}  // namespace qelto::compile
