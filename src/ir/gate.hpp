#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "ir/parameter.hpp"

namespace qelto::ir {

// One of the built-in gates of the catalogue (src/ir/gates.def), with its
// parameters. Parameterised kinds own their `ParameterExpression` values, in
// the order the table names them (theta, phi, lam, gamma); the counts run
// from 0 to 4.
//
// Representation: a one-byte kind plus one heap block holding the
// parameters (no block for parameterless gates), so a gate is 16 bytes.
// Move-only; deep copies are explicit (`clone`). A moved-from gate is `Id`.
class StandardGate {
 public:
  // The enumerators, in catalogue order (the first 32 are values 0..31 and
  // keep them). Also reachable as `StandardGate::Cx` etc. through `using enum`.
  enum class Kind : std::uint8_t {
#define QELTO_GATE(Enum, ...) Enum,
#include "ir/gates.def"
  };
  using enum Kind;
  static constexpr std::size_t kNumKinds = 0
#define QELTO_GATE(...) +1
#include "ir/gates.def"
      ;
  // The widest rows of the catalogue.
  static constexpr std::size_t kMaxParams = 4;
  static constexpr std::size_t kMaxQubits = 5;

  // Catalogue tables, usable without a gate value.
  // OpenQASM name, lower case ("id", "x", ..., "cswap", "prx").
  [[nodiscard]] static std::string_view name(Kind kind) noexcept;
  // Qubit count: 1 to kMaxQubits.
  [[nodiscard]] static std::uint32_t num_qubits(Kind kind) noexcept;
  // Parameter count: 0 to kMaxParams.
  [[nodiscard]] static std::uint32_t num_params(Kind kind) noexcept;
  // The kind whose OpenQASM name is exactly `name` (lower case only; the
  // reader's further names are the aliases of gate_catalogue.hpp).
  [[nodiscard]] static std::optional<Kind> from_name(
      std::string_view name) noexcept;

  // `Id`.
  StandardGate() noexcept = default;
  // Constructors by parameter count. Passing a kind whose parameter count
  // differs is a programming error (assert); use `make` for unchecked input.
  explicit StandardGate(Kind kind) noexcept;
  StandardGate(Kind kind, ParameterExpression theta);
  StandardGate(Kind kind, ParameterExpression theta, ParameterExpression phi);
  StandardGate(Kind kind, ParameterExpression theta, ParameterExpression phi,
               ParameterExpression lam);
  StandardGate(Kind kind, ParameterExpression theta, ParameterExpression phi,
               ParameterExpression lam, ParameterExpression gamma);
  // Checked construction: nullopt when `params.size() != num_params(kind)`.
  [[nodiscard]] static std::optional<StandardGate> make(
      Kind kind, std::vector<ParameterExpression> params);

  // Moves and destruction are defined here so that they inline: every
  // instruction moves its gate several times on its way into a circuit.
  StandardGate(StandardGate&& other) noexcept
      : kind_(std::exchange(other.kind_, Kind::Id)),
        params_(std::move(other.params_)) {}
  StandardGate& operator=(StandardGate&& other) noexcept {
    if (this != &other) {
      kind_ = std::exchange(other.kind_, Kind::Id);
      params_ = std::move(other.params_);
    }
    return *this;
  }
  StandardGate(const StandardGate&) = delete;
  StandardGate& operator=(const StandardGate&) = delete;
  ~StandardGate() = default;

  [[nodiscard]] StandardGate clone() const;

  [[nodiscard]] Kind kind() const noexcept { return kind_; }
  [[nodiscard]] std::string_view name() const noexcept { return name(kind_); }
  [[nodiscard]] std::uint32_t num_qubits() const noexcept {
    return num_qubits(kind_);
  }
  // Read-only view of the stored parameters in catalogue order (theta, phi,
  // lam, gamma); its length is the parameter count. Valid while the gate
  // lives and is not moved from.
  [[nodiscard]] std::span<const ParameterExpression> parameters()
      const noexcept;

 private:
  Kind kind_ = Kind::Id;
  // num_params(kind_) expressions; null when there are none.
  std::unique_ptr<ParameterExpression[]> params_;
};

// A user-defined gate (never created by this system's builders, lowering or
// Python layer, but applied, copied and written like any other gate).
struct CustomGate {
  std::string name;
  std::uint32_t num_qubits = 0;
  std::vector<ParameterExpression> params;

  [[nodiscard]] CustomGate clone() const;
};

// GateKind: `Standard` is the StandardGate alternative; `Custom` is the
// CustomGate record, boxed (custom gates are rare and their record is large;
// boxing keeps every Instruction compact). The box is never null except in
// a moved-from value.
using GateKind = std::variant<StandardGate, std::unique_ptr<CustomGate>>;

// One gate: a standard gate or a custom one.
struct Gate {
  GateKind kind;

  Gate() noexcept = default;
  Gate(StandardGate g) noexcept : kind(std::move(g)) {}  // NOLINT: implicit
  Gate(CustomGate g);                                    // NOLINT: implicit

  [[nodiscard]] Gate clone() const;

  // The standard gate, or nullptr for a custom gate.
  [[nodiscard]] const StandardGate* standard() const noexcept;
  // The custom gate record, or nullptr for a standard gate.
  [[nodiscard]] const CustomGate* custom() const noexcept;
  // OpenQASM name of a standard gate, stored name of a custom gate.
  [[nodiscard]] std::string_view name() const noexcept;
  // Catalogue count of a standard gate, `num_qubits` of a custom gate.
  [[nodiscard]] std::uint32_t num_qubits() const noexcept;
  // Parameters in order: StandardGate::parameters or the custom `params`.
  [[nodiscard]] std::span<const ParameterExpression> parameters()
      const noexcept;
};

}  // namespace qelto::ir
