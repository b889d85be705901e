#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ir/circuit.hpp"
#include "ir/instruction.hpp"
#include "ir/parameter.hpp"
#include "ir/qubit.hpp"
#include "qasm3/error.hpp"
#include "qasm3/param_text.hpp"

namespace qelto::qasm3 {

// Writes OpenQASM 3 text line by line into one growing buffer. Every qubit
// is written as an element of the array "q", every classical bit of "c",
// indexed by its id; register names are not written.
class Emitter {
 public:
  // Appends four spaces per indent level, `line` and a line feed.
  void writeln(std::string_view line);

  // The text of one gate parameter (see the free `emit_param`).
  [[nodiscard]] std::string emit_param(
      const ir::ParameterExpression& expression) const;

  // "q[0], q[3]"; empty text for no qubits.
  [[nodiscard]] std::string emit_qubits(
      std::span<const ir::QubitId> qubits) const;

  // Writes the statement lines of one operation: a gate call, one
  // "c[i] = measure q[j];" line per qubit/bit pair of a measurement,
  // "reset ...;", "barrier ...;" (or "barrier;") or "delay[n] ...;".
  void write_instruction(ir::OperationRef operation);

  [[nodiscard]] const std::string& output() const noexcept { return output_; }
  // Hands over the text written so far and leaves the buffer empty.
  [[nodiscard]] std::string take_output() noexcept;
  // Indentation level in steps of four spaces; always 0 here.
  [[nodiscard]] std::uint32_t indent() const noexcept { return indent_; }

 private:
  void begin_line();
  void end_line();
  void append_number(std::uint64_t value);
  void append_qubits(std::span<const ir::QubitId> qubits);
  void write_gate(std::string_view name,
                  std::span<const ir::ParameterExpression> params,
                  std::span<const ir::QubitId> qubits);
  void write_measure(ir::OperationRef operation);

  std::string output_;
  std::uint32_t indent_ = 0;
};

// The whole circuit as OpenQASM 3 text: "OPENQASM 3.0;", an empty line, the
// declarations "qubit[n] q;" and "bit[m] c;" (each only when non-zero, then
// an empty line), and the operations in the DAG's topological order. Every
// line ends in a line feed. Never fails; the error side lets callers treat
// it like the library's other entry points. Iterative in the number of
// operations and in parameter nesting.
[[nodiscard]] ParseResult<std::string> emit(const ir::Circuit& circuit);

}  // namespace qelto::qasm3
