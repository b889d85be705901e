#include "qasm3/emitter.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <type_traits>
#include <utility>
#include <variant>

namespace qelto::qasm3 {

void Emitter::writeln(std::string_view line) {
  begin_line();
  output_ += line;
  end_line();
}

std::string Emitter::emit_param(
    const ir::ParameterExpression& expression) const {
  return qasm3::emit_param(expression);
}

std::string Emitter::emit_qubits(std::span<const ir::QubitId> qubits) const {
  Emitter scratch;
  scratch.append_qubits(qubits);
  return std::move(scratch.output_);
}

std::string Emitter::take_output() noexcept {
  return std::exchange(output_, std::string());
}

void Emitter::begin_line() { output_.append(4 * std::size_t{indent_}, ' '); }

void Emitter::end_line() { output_ += '\n'; }

void Emitter::append_number(std::uint64_t value) {
  std::array<char, 20> digits;
  const auto result =
      std::to_chars(digits.data(), digits.data() + digits.size(), value);
  output_.append(digits.data(), result.ptr);
}

void Emitter::append_qubits(std::span<const ir::QubitId> qubits) {
  for (std::size_t i = 0; i < qubits.size(); ++i) {
    output_ += i == 0 ? "q[" : ", q[";
    append_number(qubits[i].index);
    output_ += ']';
  }
}

void Emitter::write_instruction(const ir::Instruction& instruction) {
  const std::span<const ir::QubitId> qubits = instruction.qubits;
  std::visit(
      [&](const auto& kind) {
        using Kind = std::decay_t<decltype(kind)>;
        if constexpr (std::is_same_v<Kind, ir::Gate>) {
          return write_gate(kind, qubits);
        } else if constexpr (std::is_same_v<Kind, ir::Measure>) {
          return write_measure(instruction);
        } else {
          begin_line();
          if constexpr (std::is_same_v<Kind, ir::Reset>) {
            output_ += "reset ";
          } else if constexpr (std::is_same_v<Kind, ir::Barrier>) {
            output_ += qubits.empty() ? "barrier" : "barrier ";
          } else {
            static_assert(std::is_same_v<Kind, ir::Delay>);
            output_ += "delay[";
            append_number(kind.duration);
            output_ += "] ";
          }
          append_qubits(qubits);
          output_ += ';';
          end_line();
        }
      },
      instruction.kind);
}

void Emitter::write_gate(const ir::Gate& gate,
                         std::span<const ir::QubitId> qubits) {
  begin_line();
  output_ += gate.name();
  // The parameter list is dropped when its text comes out empty, so the
  // opening parenthesis is only kept if something follows it.
  const std::size_t open = output_.size();
  output_ += '(';
  const std::span<const ir::ParameterExpression> params = gate.parameters();
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i > 0) {
      output_ += ", ";
    }
    append_param(output_, params[i]);
  }
  if (output_.size() == open + 1) {
    output_.resize(open);
    output_ += ' ';
  } else {
    output_ += ") ";
  }
  append_qubits(qubits);
  output_ += ';';
  end_line();
}

// A single-qubit measurement is the k = 0 case of the pairwise form, so one
// rule covers both: qubit k into classical bit k, as far as both exist.
void Emitter::write_measure(const ir::Instruction& instruction) {
  const std::size_t pairs =
      std::min(instruction.qubits.size(), instruction.clbits.size());
  for (std::size_t k = 0; k < pairs; ++k) {
    begin_line();
    output_ += "c[";
    append_number(instruction.clbits[k].index);
    output_ += "] = measure q[";
    append_number(instruction.qubits[k].index);
    output_ += "];";
    end_line();
  }
}

ParseResult<std::string> emit(const ir::Circuit& circuit) {
  Emitter emitter;
  emitter.writeln("OPENQASM 3.0;");
  emitter.writeln("");
  const bool has_qubits = circuit.num_qubits() > 0;
  const bool has_clbits = circuit.num_clbits() > 0;
  if (has_qubits) {
    emitter.writeln("qubit[" + std::to_string(circuit.num_qubits()) + "] q;");
  }
  if (has_clbits) {
    emitter.writeln("bit[" + std::to_string(circuit.num_clbits()) + "] c;");
  }
  if (has_qubits || has_clbits) {
    emitter.writeln("");
  }
  for (const ir::OpRef& op : circuit.dag().topological_ops()) {
    emitter.write_instruction(*op.instruction);
  }
  return emitter.take_output();
}

}  // namespace qelto::qasm3
