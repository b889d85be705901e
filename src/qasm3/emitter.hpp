#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ir/circuit.hpp"
#include "ir/instruction.hpp"
#include "ir/parameter.hpp"
#include "ir/qubit.hpp"
#include "ir/gate.hpp"
#include "qasm3/error.hpp"
#include "qasm3/param_text.hpp"

namespace qelto::qasm3 {

struct EmitOptions {
  // Text that any OpenQASM 3 reader takes (see `emit`).
  bool portable = false;
};

// Writes OpenQASM 3 text line by line into one growing buffer. Every qubit
// is written as an element of the array "q", every classical bit of "c",
// indexed by its id; register names are not written.
class Emitter {
 public:
  Emitter() = default;
  // With `portable`, gates are called by their portable names (the built-in
  // U for u), delays count in `dt` and numbers take the Shortest style.
  explicit Emitter(EmitOptions options) noexcept : options_(options) {}

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

  // Room for `bytes` more characters of output. May throw std::bad_alloc.
  void reserve(std::size_t bytes) { output_.reserve(output_.size() + bytes); }

  [[nodiscard]] const std::string& output() const noexcept { return output_; }
  // Hands over the text written so far and leaves the buffer empty.
  [[nodiscard]] std::string take_output() noexcept;
  // Indentation level in steps of four spaces: 1 inside a gate body,
  // 0 everywhere else.
  [[nodiscard]] std::uint32_t indent() const noexcept { return indent_; }

  // Writes "gate name(params) qubits {", the body one statement a line,
  // and "}" (see gate_definitions.hpp).
  void write_definition(ir::StandardGate::Kind kind);

 private:
  void begin_line();
  void end_line();
  // Writes at most `bound` characters at the end of the output through
  // `write(char* at)`, which returns the end of what it wrote.
  template <class Write>
  void put(std::size_t bound, Write write);
  void append_qubits(std::span<const ir::QubitId> qubits);
  void write_gate(std::string_view name,
                  std::span<const ir::ParameterExpression> params,
                  std::span<const ir::QubitId> qubits);
  void write_measure(std::span<const ir::QubitId> qubits,
                     std::span<const ir::ClbitId> clbits);
  // The name a gate call is written with (see portable_name).
  [[nodiscard]] std::string_view gate_name(
      const ir::OperationFields& op) const;

  std::string output_;
  std::uint32_t indent_ = 0;
  EmitOptions options_;
};

// The whole circuit as OpenQASM 3 text: "OPENQASM 3.0;", an empty line, the
// declarations "qubit[n] q;" and "bit[m] c;" (each only when non-zero, then
// an empty line), and the operations in the DAG's topological order, their
// numbers in the Fixed style. Every line ends in a line feed. Iterative in
// the number of operations and in parameter nesting.
//
// With `options.portable` the text is valid OpenQASM 3 for other readers
// (Qiskit's importer, the reference parser) and reads back into the same
// operations, so written, read and written again it comes out the same:
// after the version line come `include "stdgates.inc";`, an empty line and
// a `gate` definition for every catalogue gate the text calls that
// stdgates.inc lacks (and the gates their bodies call; each followed by an
// empty line), then the declarations as above; u is called as the built-in
// U, delays read `delay[Ndt]`, numbers take the Shortest style (every angle
// exact), and the operations come in the order they were added. Free
// symbols and custom gates are written by name, undeclared.
//
// Fails only in portable mode, for a parameter with a non-finite constant
// (no OpenQASM text denotes it).
[[nodiscard]] ParseResult<std::string> emit(const ir::Circuit& circuit,
                                            EmitOptions options = {});

}  // namespace qelto::qasm3
