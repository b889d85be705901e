#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ir/circuit.hpp"
#include "ir/parameter.hpp"
#include "qasm3/error.hpp"
#include "qasm3/syntax.hpp"

namespace qelto::qasm3 {

// The bits a list of register references denotes, in order, duplicates kept.
// Held as runs of consecutive indexes, so naming a whole register costs no
// memory per bit.
class BitRuns {
 public:
  struct Run {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };

  void clear() {
    runs_.clear();
    size_ = 0;
  }
  void append(std::uint32_t first, std::uint32_t count);
  [[nodiscard]] std::uint64_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] const std::vector<Run>& runs() const { return runs_; }

 private:
  std::vector<Run> runs_;
  std::uint64_t size_ = 0;
};

// Where a register lies on the flat range of its kind.
struct Register {
  std::uint32_t first = 0;
  std::uint32_t size = 0;
};

// The registers of one kind by name; a later declaration of a name replaces
// the earlier one.
class RegisterTable {
 public:
  void assign(std::string_view name, Register reg);
  // The register named `name`, or nullptr. Valid until the next assign.
  [[nodiscard]] const Register* find(std::string_view name) const;

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>{}(text);
    }
  };
  using Map = std::unordered_map<std::string, Register, Hash, std::equal_to<>>;

  Map map_;
  // Programs name the same register over and over; the last one found is
  // checked before hashing.
  mutable const Map::value_type* last_ = nullptr;
};

// Lowers a program into a Circuit one top-level statement at a time, in two
// passes over the statements: `declare` lays the declared registers out on
// one flat range of qubits and one of classical bits (pass 1), and `lower`
// applies each statement once every declaration is known (pass 2).
class Lowerer {
 public:
  // Pass 1. Adds a QubitDecl or BitDecl to its namespace and ignores every
  // other statement. Fails when a size or a running total exceeds 32 bits.
  [[nodiscard]] ParseResult<void> declare(const SyntaxStmt& statement);

  // The circuit "qasm_circuit" with every qubit and classical bit declared
  // so far. Throws std::bad_alloc when they cannot be allocated.
  [[nodiscard]] ir::Circuit make_circuit() const;

  // Pass 2 for one statement of `tree`: applies gates, measurements,
  // resets and barriers to `circuit`; includes, declarations and
  // assignments do nothing; if, for and gate definitions fail. Within a
  // gate call the first failure among qubit references, parameters, the
  // gate name and the counts is reported, in that order.
  [[nodiscard]] ParseResult<void> lower(ir::Circuit& circuit,
                                        const SyntaxTree& tree,
                                        const SyntaxStmt& statement);

  // True for the statements pass 2 does something with (applies or fails).
  [[nodiscard]] static bool is_operation(const SyntaxStmt& statement);
  // True for the declarations of registers.
  [[nodiscard]] static bool is_register(const SyntaxStmt& statement);

 private:
  [[nodiscard]] ParseResult<void> resolve_qubits(const SyntaxTree& tree,
                                                 SyntaxRange refs,
                                                 BitRuns& out) const;
  [[nodiscard]] ParseResult<void> resolve_clbits(const SyntaxTree& tree,
                                                 SyntaxRange refs,
                                                 BitRuns& out) const;
  [[nodiscard]] ParseResult<void> lower_gate(ir::Circuit& circuit,
                                             const SyntaxTree& tree,
                                             const SyntaxStmt& call);
  [[nodiscard]] ParseResult<void> lower_measure(ir::Circuit& circuit,
                                                const SyntaxTree& tree,
                                                const SyntaxStmt& measure);
  [[nodiscard]] ParseResult<void> lower_reset(ir::Circuit& circuit,
                                              const SyntaxTree& tree,
                                              const SyntaxStmt& reset);
  [[nodiscard]] ParseResult<void> lower_barrier(ir::Circuit& circuit,
                                                const SyntaxTree& tree,
                                                const SyntaxStmt& barrier);

  RegisterTable qubit_registers_;
  RegisterTable clbit_registers_;
  std::uint32_t num_qubits_ = 0;
  std::uint32_t num_clbits_ = 0;
  // Reused by every statement so that lowering one needs no allocation.
  BitRuns qubits_;
  BitRuns clbits_;
  std::vector<ir::ParameterExpression> params_;
};

// A gate parameter from a parsed expression of `tree`: numbers become
// Constants (tau and euler too), names Symbols, pi Pi, negation Neg,
// parentheses vanish, and +, -, *, / the matching node. A call of sin, cos,
// tan, exp, ln or sqrt becomes the Constant of its value when its one
// argument folds to a number. Every other form is an Other error.
[[nodiscard]] ParseResult<ir::ParameterExpression> expr_to_param(
    const SyntaxTree& tree, std::uint32_t expression);

// Succeed when `got == expected`; otherwise WrongParamCount /
// WrongQubitCount naming `gate`.
[[nodiscard]] ParseResult<void> check_param_count(std::string_view gate,
                                                  std::uint64_t got,
                                                  std::uint64_t expected);
[[nodiscard]] ParseResult<void> check_qubit_count(std::string_view gate,
                                                  std::uint64_t got,
                                                  std::uint64_t expected);

}  // namespace qelto::qasm3
