#include "compile/gate_writer.hpp"

#include <cmath>
#include <numbers>

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr double kAngleTolerance = 1e-9;

bool is_symmetric(Kind kind) {
  switch (kind) {
    case Kind::Cz:
    case Kind::Swap:
    case Kind::Cp:
    case Kind::Rxx:
    case Kind::Ryy:
    case Kind::Rzz:
      return true;
    default:
      return false;
  }
}

bool is_self_inverse(Kind kind) {
  switch (kind) {
    case Kind::Cx:
    case Kind::Cy:
    case Kind::Cz:
    case Kind::Ch:
    case Kind::Swap:
      return true;
    default:
      return false;
  }
}

// The angle after which a rotation kind is the identity up to global
// phase, or 0 when angles of the kind do not add.
double period(Kind kind) {
  switch (kind) {
    case Kind::Cp:
    case Kind::Rxx:
    case Kind::Ryy:
    case Kind::Rzz:
      return 2 * std::numbers::pi;
    case Kind::Crx:
    case Kind::Cry:
    case Kind::Crz:
      // crz(2 pi) is a z on the control, not the identity.
      return 4 * std::numbers::pi;
    default:
      return 0;
  }
}

bool is_multiple(double angle, double of) {
  return std::abs(std::remainder(angle, of)) < kAngleTolerance;
}

}  // namespace

GateWriter::GateWriter(FlatCircuit& out, std::optional<OneQubitBasis> basis,
                       double tolerance)
    : out_(out),
      basis_(basis),
      tolerance_(tolerance),
      runs_(out.num_qubits),
      last_(out.num_qubits, kNone) {}

void GateWriter::one_qubit(const FlatOp& op, const Rotation& rotation,
                           bool in_basis) {
  Run& run = runs_[op.q[0]];
  if (run.gates.empty()) {
    pending_.push_back(op.q[0]);
  }
  run.rotation = rotation * run.rotation;
  run.gates.push_back(op);
  run.all_in_basis = run.all_in_basis && in_basis;
}

void GateWriter::flush(std::uint32_t qubit) {
  Run& run = runs_[qubit];
  if (run.gates.empty()) {
    return;
  }
  if (!is_identity(run.rotation) &&
      !(tolerance_ > 0 && distance_from_identity(run.rotation) <= tolerance_)) {
    scratch_.clear();
    if (basis_) {
      synthesize(run.rotation, *basis_, qubit, scratch_);
    }
    const bool keep = !basis_ || (run.all_in_basis &&
                                  run.gates.size() <= scratch_.size());
    for (const FlatOp& op : keep ? run.gates : scratch_) {
      append(op);
    }
  }
  run.gates.clear();
  run.rotation = Rotation{};
  run.all_in_basis = true;
}

void GateWriter::append(const FlatOp& op) {
  const auto index = static_cast<std::uint32_t>(out_.ops.size());
  std::array<std::uint32_t, 2> before{kNone, kNone};
  if (op.num_qubits != FlatOp::kWide) {
    for (std::uint32_t k = 0; k < op.num_qubits; ++k) {
      if (k < 2) {
        before[k] = last_[op.q[k]];
      }
      last_[op.q[k]] = index;
    }
  } else {
    for (const std::uint32_t q : out_.qubits(op)) {
      last_[q] = index;
    }
  }
  out_.ops.push_back(op);
  before_.push_back(before);
  dead_.push_back(false);
}

bool GateWriter::cancels(const FlatOp& op) {
  const std::uint32_t k = last_[op.q[0]];
  if (k == kNone || last_[op.q[1]] != k || !is_standard(op.code)) {
    return false;
  }
  FlatOp& prev = out_.ops[k];
  if (prev.code != op.code || prev.num_qubits != 2) {
    return false;
  }
  const Kind kind = gate_kind(op.code);
  const bool same = prev.q[0] == op.q[0] && prev.q[1] == op.q[1];
  if (!same && !is_symmetric(kind)) {
    return false;
  }
  if (!is_self_inverse(kind)) {
    const double p = period(kind);
    if (p == 0) {
      return false;
    }
    const double sum = prev.params[0] + op.params[0];
    if (!negligible(kind, sum)) {
      prev.params[0] = std::remainder(sum, p);
      return true;
    }
  }
  // The pair is the identity: step both wires back past the earlier gate.
  dead_[k] = true;
  last_[prev.q[0]] = before_[k][0];
  last_[prev.q[1]] = before_[k][1];
  return true;
}

void GateWriter::two_qubit(const FlatOp& op) {
  if (is_standard(op.code)) {
    // A rotation by a multiple of its period is the identity (up to global
    // phase); angles within rounding of one count too.
    if (negligible(gate_kind(op.code), op.params[0])) {
      return;
    }
  }
  flush(op.q[0]);
  flush(op.q[1]);
  if (!cancels(op)) {
    append(op);
  }
}

bool GateWriter::approximately_identity(const FlatOp& op) const {
  return tolerance_ > 0 && is_standard(op.code) &&
         negligible(gate_kind(op.code), op.params[0]);
}

bool GateWriter::negligible(Kind kind, double angle) const {
  const double p = period(kind);
  if (p == 0) {
    return false;
  }
  if (is_multiple(angle, p)) {
    return true;
  }
  // Each of these rotations by r has eigenphases within |r| / 2 of one
  // another's mean (cp: 0 and r; crz: 0 and +-r/2; rzz: +-r/2), so its
  // distance from the identity up to phase is at most |1 - e^(i r/4)|
  // doubled, 2 sin(|r| / 4).
  const double r = std::abs(std::remainder(angle, p));
  return tolerance_ > 0 && 2 * std::sin(r / 4) <= tolerance_;
}

void GateWriter::other(const FlatOp& op, std::span<const std::uint32_t> wide) {
  FlatOp copy = op;
  if (op.num_qubits == FlatOp::kWide) {
    copy.q[0] = static_cast<std::uint32_t>(out_.wide_qubits.size());
    out_.wide_qubits.insert(out_.wide_qubits.end(), wide.begin(), wide.end());
  }
  for (const std::uint32_t q : out_.qubits(copy)) {
    flush(q);
  }
  append(copy);
}

void GateWriter::finish() {
  for (const std::uint32_t q : pending_) {
    flush(q);
  }
  pending_.clear();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < out_.ops.size(); ++i) {
    if (!dead_[i]) {
      out_.ops[kept++] = out_.ops[i];
    }
  }
  out_.ops.resize(kept);
}

}  // namespace qelto::compile
