#include "compile/decompose.hpp"

#include "ir/gate_catalogue.hpp"

#include <array>
#include <initializer_list>
#include <numbers>

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;
using std::numbers::pi;

// Appends gates on the qubits of one operation, named by position.
class Writer {
 public:
  Writer(std::vector<FlatOp>& out, std::initializer_list<std::uint32_t> qubits)
      : out_(out) {
    std::size_t i = 0;
    for (const std::uint32_t q : qubits) {
      qubits_[i++] = q;
    }
  }
  void operator()(Kind kind, std::initializer_list<int> at,
                  std::initializer_list<double> params = {}) {
    std::uint32_t qubits[3];
    std::size_t n = 0;
    for (const int i : at) {
      qubits[n++] = qubits_[i];
    }
    out_.push_back(
        make_gate(kind, {qubits, n}, {params.begin(), params.size()}));
  }

 private:
  std::vector<FlatOp>& out_;
  std::uint32_t qubits_[3] = {0, 0, 0};
};

void ccx(Writer& g, int a, int b, int c) {
  g(Kind::H, {c});
  g(Kind::Cx, {b, c});
  g(Kind::Tdg, {c});
  g(Kind::Cx, {a, c});
  g(Kind::T, {c});
  g(Kind::Cx, {b, c});
  g(Kind::Tdg, {c});
  g(Kind::Cx, {a, c});
  g(Kind::T, {b});
  g(Kind::T, {c});
  g(Kind::H, {c});
  g(Kind::Cx, {a, b});
  g(Kind::T, {a});
  g(Kind::Tdg, {b});
  g(Kind::Cx, {a, b});
}

// A controlled rotation about z of angle t: target turns by t/2, then by
// -t/2 conjugated by cx.
void crz(Writer& g, double t) {
  g(Kind::Rz, {1}, {t / 2});
  g(Kind::Cx, {0, 1});
  g(Kind::Rz, {1}, {-t / 2});
  g(Kind::Cx, {0, 1});
}

void rzz(Writer& g, double t) {
  g(Kind::Cx, {0, 1});
  g(Kind::Rz, {1}, {t});
  g(Kind::Cx, {0, 1});
}

// One level of expansion by this file's own table, which writes only cx and
// one-qubit gates; false for gates it does not list.
bool expand_known(const FlatOp& op, std::vector<FlatOp>& out) {
  Writer g(out, {op.q[0], op.q[1], op.q[2]});
  const double t = op.params[0];
  switch (gate_kind(op.code)) {
    case Kind::Cx:
      g(Kind::Cx, {0, 1});
      return true;
    case Kind::Cz:
      g(Kind::H, {1});
      g(Kind::Cx, {0, 1});
      g(Kind::H, {1});
      return true;
    case Kind::Cy:
      g(Kind::Sdg, {1});
      g(Kind::Cx, {0, 1});
      g(Kind::S, {1});
      return true;
    case Kind::Ch:
      // H = Ry(-pi/4) X Ry(pi/4).
      g(Kind::Ry, {1}, {pi / 4});
      g(Kind::Cx, {0, 1});
      g(Kind::Ry, {1}, {-pi / 4});
      return true;
    case Kind::Swap:
      g(Kind::Cx, {0, 1});
      g(Kind::Cx, {1, 0});
      g(Kind::Cx, {0, 1});
      return true;
    case Kind::ISwap:
      g(Kind::S, {0});
      g(Kind::S, {1});
      g(Kind::H, {0});
      g(Kind::Cx, {0, 1});
      g(Kind::Cx, {1, 0});
      g(Kind::H, {1});
      return true;
    case Kind::Cp:
      g(Kind::P, {0}, {t / 2});
      crz(g, t);
      return true;
    case Kind::Crz:
      crz(g, t);
      return true;
    case Kind::Cry:
      g(Kind::Ry, {1}, {t / 2});
      g(Kind::Cx, {0, 1});
      g(Kind::Ry, {1}, {-t / 2});
      g(Kind::Cx, {0, 1});
      return true;
    case Kind::Crx:
      // Rx = H Rz H on the target.
      g(Kind::H, {1});
      crz(g, t);
      g(Kind::H, {1});
      return true;
    case Kind::Rzz:
      rzz(g, t);
      return true;
    case Kind::Rxx:
      g(Kind::H, {0});
      g(Kind::H, {1});
      rzz(g, t);
      g(Kind::H, {0});
      g(Kind::H, {1});
      return true;
    case Kind::Ryy:
      g(Kind::Rx, {0}, {pi / 2});
      g(Kind::Rx, {1}, {pi / 2});
      rzz(g, t);
      g(Kind::Rx, {0}, {-pi / 2});
      g(Kind::Rx, {1}, {-pi / 2});
      return true;
    case Kind::Ccx:
      ccx(g, 0, 1, 2);
      return true;
    case Kind::CSwap:
      g(Kind::Cx, {2, 1});
      ccx(g, 0, 1, 2);
      g(Kind::Cx, {2, 1});
      return true;
    case Kind::Cu: {
      // p(gamma) on the control, then the controlled U(theta, phi, lam).
      const double phi = op.params[1];
      const double lam = op.params[2];
      g(Kind::P, {0}, {op.params[3]});
      g(Kind::P, {0}, {(lam + phi) / 2});
      g(Kind::P, {1}, {(lam - phi) / 2});
      g(Kind::Cx, {0, 1});
      g(Kind::U, {1}, {-t / 2, 0, -(phi + lam) / 2});
      g(Kind::Cx, {0, 1});
      g(Kind::U, {1}, {t / 2, phi, 0});
      return true;
    }
    default:
      return false;
  }
}

// One level of expansion by the gate table's definition (for the gates
// beyond this file's table); false when the gate has none.
bool expand_by_definition(const FlatOp& op, std::vector<FlatOp>& out) {
  const ir::GateInfo& info = ir::gate_info(gate_kind(op.code));
  if (info.definition.empty()) {
    return false;
  }
  // The longest definition in the table has 27 statements.
  std::array<ir::GateStep, 64> steps{};
  bool failed = false;
  const std::size_t count =
      ir::gate_text::steps(info, info.definition, steps, failed);
  if (failed) {
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const ir::GateStep& step = steps[i];
    FlatOp next;
    next.code = gate_code(step.kind);
    next.num_qubits =
        static_cast<std::uint8_t>(ir::StandardGate::num_qubits(step.kind));
    for (std::size_t k = 0; k < next.num_qubits; ++k) {
      next.q[k] = op.q[step.operands[k]];
    }
    for (std::size_t k = 0; k < ir::StandardGate::num_params(step.kind); ++k) {
      const ir::GateArgument& arg = step.args[k];
      double value = arg.value;
      if (arg.source == ir::GateArgument::Source::Param) {
        value = op.params[arg.value];
      } else if (arg.source == ir::GateArgument::Source::PiOver) {
        value = pi / arg.value;
      }
      next.params[k] = arg.negated ? -value : value;
    }
    out.push_back(next);
  }
  return true;
}

bool is_cx_level(const FlatOp& op) {
  return gate_kind(op.code) == Kind::Cx || op.num_qubits == 1;
}

}  // namespace

bool decompose_to_cx(const FlatOp& op, std::vector<FlatOp>& out) {
  if (!is_standard(op.code) || op.num_qubits < 2) {
    return false;
  }
  // Expands depth first with an explicit stack, in order: each popped gate
  // is written if it is cx or one-qubit, else replaced by its expansion.
  // Definitions only use gates of earlier rows, so this ends; the bound is
  // a guard, far above what the widest gate (c4x) needs.
  constexpr std::size_t kMaxExpansions = 1 << 16;
  const std::size_t start = out.size();
  std::vector<FlatOp> stack{op};
  std::vector<FlatOp> level;
  std::size_t expansions = 0;
  while (!stack.empty()) {
    const FlatOp next = stack.back();
    stack.pop_back();
    if (is_cx_level(next)) {
      out.push_back(next);
      continue;
    }
    level.clear();
    if (++expansions > kMaxExpansions ||
        !(expand_known(next, level) || expand_by_definition(next, level))) {
      out.resize(start);
      return false;
    }
    stack.insert(stack.end(), level.rbegin(), level.rend());
  }
  return true;
}

bool cx_from(Kind entangler, std::uint32_t control, std::uint32_t target,
             std::vector<FlatOp>& out) {
  Writer g(out, {control, target});
  switch (entangler) {
    case Kind::Cx:
      g(Kind::Cx, {0, 1});
      return true;
    case Kind::Cz:
      g(Kind::H, {1});
      g(Kind::Cz, {0, 1});
      g(Kind::H, {1});
      return true;
    case Kind::Cy:
      g(Kind::S, {1});
      g(Kind::Cy, {0, 1});
      g(Kind::Sdg, {1});
      return true;
    case Kind::Cp:
      // cp(pi) is cz.
      g(Kind::H, {1});
      g(Kind::Cp, {0, 1}, {pi});
      g(Kind::H, {1});
      return true;
    case Kind::Crz:
      // cz = (S on the control) crz(pi).
      g(Kind::H, {1});
      g(Kind::Crz, {0, 1}, {pi});
      g(Kind::S, {0});
      g(Kind::H, {1});
      return true;
    case Kind::Rzz:
      // cz = (Rz(-pi/2) on both) rzz(pi/2).
      g(Kind::H, {1});
      g(Kind::Rzz, {0, 1}, {pi / 2});
      g(Kind::Rz, {0}, {-pi / 2});
      g(Kind::Rz, {1}, {-pi / 2});
      g(Kind::H, {1});
      return true;
    case Kind::Rxx:
      // rzz = (H on both) rxx (H on both); the H on the target cancel
      // against those that make cx of cz.
      g(Kind::H, {0});
      g(Kind::Rxx, {0, 1}, {pi / 2});
      g(Kind::H, {0});
      g(Kind::Rz, {0}, {-pi / 2});
      g(Kind::H, {1});
      g(Kind::Rz, {1}, {-pi / 2});
      g(Kind::H, {1});
      return true;
    default:
      return false;
  }
}

std::optional<Kind> cx_entangler(const BasisGates& basis) {
  for (const Kind kind : {Kind::Cx, Kind::Cz, Kind::Cp, Kind::Crz, Kind::Rzz,
                          Kind::Cy, Kind::Rxx}) {
    if (basis.contains(ir::StandardGate::name(kind))) {
      return kind;
    }
  }
  return std::nullopt;
}

}  // namespace qelto::compile
