#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "ir/gate.hpp"

namespace qelto::qasm3 {

// The `gate` definitions a portable text carries: one for every catalogue
// gate it calls that stdgates.inc lacks, built from the gate table's
// definition bodies (exact up to global phase), and one for every such gate
// those bodies call in turn.
class GateDefinitions {
 public:
  using Kind = ir::StandardGate::Kind;

  // Notes that the text calls `kind`.
  void use(Kind kind) noexcept { used_[static_cast<std::size_t>(kind)] = true; }

  // The gates to define, each once, every gate after the gates its body
  // calls (bodies only call earlier rows of the table, so table order does
  // it).
  [[nodiscard]] std::vector<Kind> kinds_to_define() const;

 private:
  std::array<bool, ir::StandardGate::kNumKinds> used_{};
};

// One definition as text: `head` is "gate name(params) qubits" and each
// statement a complete "gate(args) operands;" line of the body.
struct GateDefinition {
  std::string head;
  std::vector<std::string> statements;
};

// The definition of `kind` (a gate stdgates.inc lacks). Parameter names are
// the table's when they already sort in declaration order, otherwise the
// table's names behind a position letter ("a_theta", "b_phi"): Qiskit's
// importer binds a defined gate's parameters in the alphabetical order of
// their names. A qubit name that is an OpenQASM keyword ("qubit") gets a
// trailing underscore.
[[nodiscard]] GateDefinition portable_definition(ir::StandardGate::Kind kind);

// The name a portable text calls `kind` by: the built-in "U" for u (its
// definition is exactly that call), the catalogue name otherwise.
[[nodiscard]] std::string_view portable_name(
    ir::StandardGate::Kind kind) noexcept;

}  // namespace qelto::qasm3
