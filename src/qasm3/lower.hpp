#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ir/circuit.hpp"
#include "ir/parameter.hpp"
#include "qasm3/ast.hpp"
#include "qasm3/error.hpp"

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
  // The first `n` indexes (n <= size()).
  [[nodiscard]] std::vector<std::uint32_t> first(std::size_t n) const;

 private:
  std::vector<Run> runs_;
  std::uint64_t size_ = 0;
};

// Where a register lies on the flat range of its kind.
struct Register {
  std::uint32_t first = 0;
  std::uint32_t size = 0;
};

// Lowers one Program into a Circuit: lays the declared registers out on one
// flat range of qubits and one of classical bits (pass 1), then applies each
// top-level statement in order (pass 2). Each call of `lower` starts from a
// clean state.
class Lowerer {
 public:
  // Builds the circuit "qasm_circuit", or the first error. Throws
  // std::bad_alloc when the declared registers cannot be allocated.
  [[nodiscard]] ParseResult<ir::Circuit> lower(const Program& program);

  // The qubits `refs` denote, in order, appended to `out`. Fails with
  // UndefinedIdentifier for a name that is no qubit register and with
  // IndexOutOfBounds for an index at or beyond the register's size.
  [[nodiscard]] ParseResult<void> resolve_qubits(
      const std::vector<BitRef>& refs, BitRuns& out) const;
  // The same against the classical-bit registers.
  [[nodiscard]] ParseResult<void> resolve_clbits(
      const std::vector<BitRef>& refs, BitRuns& out) const;

 private:
  using RegisterMap = std::unordered_map<std::string, Register>;

  [[nodiscard]] ParseResult<void> declare(const Statement& statement);
  [[nodiscard]] ParseResult<void> lower_statement(ir::Circuit& circuit,
                                                  const Statement& statement);
  [[nodiscard]] ParseResult<void> lower_gate(ir::Circuit& circuit,
                                             const stmt::GateCall& call);
  [[nodiscard]] ParseResult<void> lower_measure(ir::Circuit& circuit,
                                                const stmt::Measure& measure);
  [[nodiscard]] ParseResult<void> lower_reset(ir::Circuit& circuit,
                                              const stmt::Reset& reset);
  [[nodiscard]] ParseResult<void> lower_barrier(ir::Circuit& circuit,
                                                const stmt::Barrier& barrier);

  RegisterMap qubit_registers_;
  RegisterMap clbit_registers_;
  std::uint32_t num_qubits_ = 0;
  std::uint32_t num_clbits_ = 0;
  // Reused by every statement so that lowering one needs no allocation.
  BitRuns qubits_;
  BitRuns clbits_;
  std::vector<ir::ParameterExpression> params_;
};

// A gate parameter from a parsed expression: numbers become Constants
// (tau and euler too), names Symbols, pi Pi, negation Neg, parentheses
// vanish, and +, -, *, / the matching node. A call of sin, cos, tan, exp,
// ln or sqrt becomes the Constant of its value when its one argument folds
// to a number. Every other form is an Other error.
[[nodiscard]] ParseResult<ir::ParameterExpression> expr_to_param(
    const Expression& expression);

// Succeed when `got == expected`; otherwise WrongParamCount /
// WrongQubitCount naming `gate`.
[[nodiscard]] ParseResult<void> check_param_count(std::string_view gate,
                                                  std::uint64_t got,
                                                  std::uint64_t expected);
[[nodiscard]] ParseResult<void> check_qubit_count(std::string_view gate,
                                                  std::uint64_t got,
                                                  std::uint64_t expected);

}  // namespace qelto::qasm3
