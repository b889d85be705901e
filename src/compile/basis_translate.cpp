#include "compile/basis_translate.hpp"

#include <array>
#include <numbers>
#include <string>
#include <utility>

#include "compile/decompose.hpp"
#include "compile/gate_writer.hpp"
#include "compile/rotation.hpp"

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;

std::string describe(const BasisGates& basis) {
  std::string text = "[";
  for (const std::string& name : basis.gates()) {
    if (text.size() > 1) {
      text += ", ";
    }
    text += name;
  }
  return text + "]";
}

class Translator {
 public:
  Translator(const FlatCircuit& in, const BasisGates& basis, FlatCircuit& out)
      : in_(in),
        basis_(basis),
        one_qubit_(one_qubit_basis(basis)),
        entangler_(cx_entangler(basis)),
        writer_(out, one_qubit_) {
    for (std::size_t k = 0; k < ir::StandardGate::kNumKinds; ++k) {
      in_basis_[k] = basis.contains(ir::StandardGate::name(Kind(k)));
    }
  }

  CompileResult<void> run() {
    find_fusions();
    for (std::size_t i = 0; i < in_.ops.size(); ++i) {
      if (fused_into_[i] == kMerged) {
        continue;
      }
      const FlatOp& op = in_.ops[i];
      bool written;
      if (fused_into_[i] == kAlone) {
        written = add(op);
      } else {
        // Written apart when the pair's shared form is outside the basis.
        const FlatOp& partner = in_.ops[fused_into_[i]];
        written = add_fused(op, partner) || (add(op) && add(partner));
      }
      if (!written) {
        return std::unexpected(CompileError{
            CompileError::Kind::UnsupportedGate,
            "gate '" + std::string(in_.op_name(op)) +
                "' cannot be expressed in the basis " + describe(basis_)});
      }
    }
    writer_.finish();
    return {};
  }

 private:
  static constexpr std::uint32_t kAlone = 0xFFFFFFFF;
  static constexpr std::uint32_t kMerged = 0xFFFFFFFE;

  bool in_basis(Kind kind) const {
    return in_basis_[static_cast<std::size_t>(kind)];
  }

  static bool fuses_with_swap(const FlatOp& op) {
    if (!is_standard(op.code) || op.num_qubits != 2) {
      return false;
    }
    switch (gate_kind(op.code)) {
      case Kind::Cx:
      case Kind::Cz:
      case Kind::Cp:
      case Kind::Crz:
      case Kind::Rzz:
        return true;
      default:
        return false;
    }
  }

  // A swap that the basis lacks and a gate next to it on the same two
  // qubits are written together: a swap beside cx costs two cx instead of
  // four, beside a z-z rotation (cz, cp, crz, rzz) three instead of five.
  // The earlier one of each pair (which nothing on its wires separates from
  // the later one) writes both.
  void find_fusions() {
    fused_into_.assign(in_.ops.size(), kAlone);
    if (in_basis(Kind::Swap)) {
      return;
    }
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    std::vector<std::uint32_t> last(in_.num_qubits, kNone);
    for (std::uint32_t i = 0; i < in_.ops.size(); ++i) {
      const FlatOp& op = in_.ops[i];
      if (op.num_qubits == 2 && is_standard(op.code)) {
        const std::uint32_t j = last[op.q[0]];
        if (j != kNone && j == last[op.q[1]] && fused_into_[j] == kAlone) {
          const FlatOp& prev = in_.ops[j];
          const bool swap_then = gate_kind(prev.code) == Kind::Swap &&
                                 fuses_with_swap(op);
          const bool then_swap = gate_kind(op.code) == Kind::Swap &&
                                 fuses_with_swap(prev);
          if (swap_then || then_swap) {
            fused_into_[j] = i;
            fused_into_[i] = kMerged;
          }
        }
      }
      for (const std::uint32_t q : in_.qubits(op)) {
        last[q] = i;
      }
    }
  }

  // `first` and `second` act on the same two qubits, one of them a swap.
  bool add_fused(const FlatOp& first, const FlatOp& second) {
    const bool swap_first = gate_kind(first.code) == Kind::Swap;
    const FlatOp& gate = swap_first ? second : first;
    const std::uint32_t a = gate.q[0];
    const std::uint32_t b = gate.q[1];
    const double t = gate.params[0];
    steps_.clear();
    const auto add_step = [&](Kind kind, std::uint32_t q0, std::uint32_t q1,
                              double angle) {
      const std::uint32_t qubits[2] = {q0, q1};
      const double params[1] = {angle};
      const std::size_t n = kind == Kind::Cx ? 2 : 1;
      steps_.push_back(make_gate(kind, {qubits, n},
                                 {params, kind == Kind::Cx ? 0u : 1u}));
    };
    const Kind kind = gate_kind(gate.code);
    if (kind == Kind::Cx) {
      // With the swap as cx(a,b) cx(b,a) cx(a,b), its cx next to the gate
      // cancels the gate.
      add_step(Kind::Cx, swap_first ? a : b, swap_first ? b : a, 0);
      add_step(Kind::Cx, swap_first ? b : a, swap_first ? a : b, 0);
      return write_cx_level(steps_);
    }
    // The gate is Rz(alpha_a) Rz(alpha_b) rzz(phi) up to global phase.
    double alpha_a = 0;
    double alpha_b = 0;
    double phi = t;
    if (kind == Kind::Cz || kind == Kind::Cp) {
      const double theta = kind == Kind::Cz ? std::numbers::pi : t;
      alpha_a = alpha_b = theta / 2;
      phi = -theta / 2;
    } else if (kind == Kind::Crz) {
      alpha_b = t / 2;
      phi = -t / 2;
    }
    // swap · rzz(phi) (they commute) is cx(a,b), rz(phi) on b, cx(b,a),
    // cx(a,b). A gate before the swap has its one-qubit part carried across
    // it to the other qubit.
    add_step(Kind::Cx, a, b, 0);
    add_step(Kind::Rz, b, 0, phi);
    add_step(Kind::Cx, b, a, 0);
    add_step(Kind::Cx, a, b, 0);
    add_step(Kind::Rz, swap_first ? a : b, 0, alpha_a);
    add_step(Kind::Rz, swap_first ? b : a, 0, alpha_b);
    return write_cx_level(steps_);
  }

  bool add(const FlatOp& op) {
    if (op.code == OpCode::kCustom) {
      if (!basis_.contains(in_.op_name(op))) {
        return false;
      }
      writer_.other(op);
      return true;
    }
    if (!is_standard(op.code)) {
      writer_.other(op, in_.qubits(op));
      return true;
    }
    const Kind kind = gate_kind(op.code);
    if (const auto rotation = rotation_of(kind, op.params)) {
      if (!one_qubit_ && !in_basis(kind)) {
        return false;
      }
      writer_.one_qubit(op, *rotation, in_basis(kind));
      return true;
    }
    if (op.num_qubits == 2 && in_basis(kind)) {
      writer_.two_qubit(op);
      return true;
    }
    steps_.clear();
    if (!decompose_to_cx(op, steps_)) {
      return false;
    }
    return write_cx_level(steps_);
  }

  // Writes gates given with cx and one-qubit catalogue gates, cx made from
  // the basis's two-qubit gate. Checked whole before any of it is written,
  // so that a refused gate leaves no partial expansion behind.
  bool write_cx_level(const std::vector<FlatOp>& cx_level) {
    std::vector<FlatOp>& steps = expanded_;
    steps.clear();
    for (const FlatOp& step : cx_level) {
      if (gate_kind(step.code) != Kind::Cx || in_basis(Kind::Cx)) {
        steps.push_back(step);
      } else if (!entangler_ ||
                 !cx_from(*entangler_, step.q[0], step.q[1], steps)) {
        return false;
      }
    }
    for (const FlatOp& step : steps) {
      const Kind k = gate_kind(step.code);
      if (rotation_of(k, step.params) && !one_qubit_ && !in_basis(k)) {
        return false;
      }
    }
    for (const FlatOp& step : steps) {
      const Kind k = gate_kind(step.code);
      if (const auto rotation = rotation_of(k, step.params)) {
        writer_.one_qubit(step, *rotation, in_basis(k));
      } else {
        writer_.two_qubit(step);
      }
    }
    return true;
  }

  const FlatCircuit& in_;
  const BasisGates& basis_;
  std::optional<OneQubitBasis> one_qubit_;
  std::optional<Kind> entangler_;
  std::array<bool, ir::StandardGate::kNumKinds> in_basis_{};
  GateWriter writer_;
  std::vector<FlatOp> steps_;
  std::vector<FlatOp> expanded_;
  // Per input operation: kAlone, kMerged (written by its partner), or the
  // index of the later operation it is written together with.
  std::vector<std::uint32_t> fused_into_;
};

}  // namespace

CompileResult<FlatCircuit> translate_to_basis(const FlatCircuit& circuit,
                                              const BasisGates& basis) {
  FlatCircuit out = circuit.empty_like();
  // Room for the usual growth (a swap becomes three cx, a one-qubit run up
  // to five gates); pages are only touched as they fill.
  out.ops.reserve(3 * circuit.ops.size());
  Translator translator(circuit, basis, out);
  if (auto done = translator.run(); !done) {
    return std::unexpected(std::move(done.error()));
  }
  return out;
}

CompileResult<ir::Circuit> translate_to_basis(const ir::Circuit& circuit,
                                              const BasisGates& basis) {
  return on_circuit(circuit, [&](const FlatCircuit& flat) {
    return translate_to_basis(flat, basis);
  });
}

}  // namespace qelto::compile
