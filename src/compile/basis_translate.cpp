#include "compile/basis_translate.hpp"

#include <array>
#include <string>
#include <utility>

#include "compile/decompose.hpp"
#include "compile/gate_writer.hpp"
#include "compile/rotation.hpp"

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;

// Two-qubit gates that make cx with one-qubit gates, in order of preference
// (cx itself first, then those needing the fewest extra gates).
constexpr std::array kEntanglers = {Kind::Cx,  Kind::Cz, Kind::Cp, Kind::Crz,
                                    Kind::Rzz, Kind::Cy, Kind::Rxx};

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
        writer_(out, one_qubit_) {
    for (const Kind kind : kEntanglers) {
      if (basis.contains(ir::StandardGate::name(kind))) {
        entangler_ = kind;
        break;
      }
    }
    for (std::size_t k = 0; k < ir::StandardGate::kNumKinds; ++k) {
      in_basis_[k] = basis.contains(ir::StandardGate::name(Kind(k)));
    }
  }

  CompileResult<void> run() {
    for (const FlatOp& op : in_.ops) {
      if (!add(op)) {
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
  bool in_basis(Kind kind) const {
    return in_basis_[static_cast<std::size_t>(kind)];
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
    expanded_.clear();
    if (!decompose_to_cx(op, expanded_)) {
      return false;
    }
    // The expansion is checked whole before any of it is written, so that
    // a refused gate leaves no partial expansion behind.
    std::vector<FlatOp> steps;
    for (const FlatOp& step : expanded_) {
      if (gate_kind(step.code) != Kind::Cx || in_basis(Kind::Cx)) {
        steps.push_back(step);
      } else if (!entangler_ ||
                 !cx_from(*entangler_, step.q[0], step.q[1], steps)) {
        return false;
      }
    }
    for (const FlatOp& step : steps) {
      const Kind k = gate_kind(step.code);
      if (const auto rotation = rotation_of(k, step.params)) {
        if (!one_qubit_ && !in_basis(k)) {
          return false;
        }
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
  std::vector<FlatOp> expanded_;
};

}  // namespace

CompileResult<FlatCircuit> translate_to_basis(const FlatCircuit& circuit,
                                              const BasisGates& basis) {
  FlatCircuit out = circuit.empty_like();
  out.ops.reserve(circuit.ops.size());
  Translator translator(circuit, basis, out);
  if (auto done = translator.run(); !done) {
    return std::unexpected(std::move(done.error()));
  }
  return out;
}

CompileResult<ir::Circuit> translate_to_basis(const ir::Circuit& circuit,
                                              const BasisGates& basis) {
  auto flat = flatten(circuit);
  if (!flat) {
    return std::unexpected(std::move(flat.error()));
  }
  auto translated = translate_to_basis(*flat, basis);
  if (!translated) {
    return std::unexpected(std::move(translated.error()));
  }
  return to_circuit(*translated);
}

}  // namespace qelto::compile
