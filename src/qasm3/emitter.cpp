#include "qasm3/emitter.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "qasm3/gate_definitions.hpp"

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

void Emitter::write_instruction(ir::OperationRef operation) {
  const std::span<const ir::QubitId> qubits = operation.qubits();
  switch (operation.kind()) {
    case ir::OperationKind::Gate:
      return write_gate(gate_name(operation), operation.parameters(), qubits);
    case ir::OperationKind::Measure:
      return write_measure(operation);
    case ir::OperationKind::Reset:
      begin_line();
      output_ += "reset ";
      break;
    case ir::OperationKind::Barrier:
      begin_line();
      output_ += qubits.empty() ? "barrier" : "barrier ";
      break;
    case ir::OperationKind::Delay:
      begin_line();
      output_ += "delay[";
      append_number(operation.delay_duration());
      output_ += options_.portable ? "dt] " : "] ";
      break;
  }
  append_qubits(qubits);
  output_ += ';';
  end_line();
}

void Emitter::write_gate(std::string_view name,
                         std::span<const ir::ParameterExpression> params,
                         std::span<const ir::QubitId> qubits) {
  begin_line();
  output_ += name;
  // The parameter list is dropped when its text comes out empty, so the
  // opening parenthesis is only kept if something follows it.
  const std::size_t open = output_.size();
  output_ += '(';
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i > 0) {
      output_ += ", ";
    }
    append_param(output_, params[i],
                 options_.portable ? NumberStyle::Shortest : NumberStyle::Fixed);
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
void Emitter::write_measure(ir::OperationRef operation) {
  const std::span<const ir::QubitId> qubits = operation.qubits();
  const std::span<const ir::ClbitId> clbits = operation.clbits();
  const std::size_t pairs = std::min(qubits.size(), clbits.size());
  for (std::size_t k = 0; k < pairs; ++k) {
    begin_line();
    output_ += "c[";
    append_number(clbits[k].index);
    output_ += "] = measure q[";
    append_number(qubits[k].index);
    output_ += "];";
    end_line();
  }
}

std::string_view Emitter::gate_name(ir::OperationRef operation) const {
  const std::optional<ir::StandardGate::Kind> kind = operation.standard_gate();
  return options_.portable && kind ? portable_name(*kind)
                                   : operation.gate_name();
}

void Emitter::write_definition(ir::StandardGate::Kind kind) {
  const GateDefinition definition = portable_definition(kind);
  writeln(definition.head + " {");
  ++indent_;
  for (const std::string& statement : definition.statements) {
    writeln(statement);
  }
  --indent_;
  writeln("}");
}

namespace {

// The gates the circuit calls that need a definition; an error for an
// angle no portable text can hold.
ParseResult<GateDefinitions> portable_definitions(const ir::CircuitDag& dag) {
  GateDefinitions definitions;
  for (std::size_t i = 0; i < dag.num_operations(); ++i) {
    const ir::OperationRef op = dag.operation(i);
    if (op.kind() != ir::OperationKind::Gate) {
      continue;
    }
    if (const auto kind = op.standard_gate()) {
      definitions.use(*kind);
    }
    for (const ir::ParameterExpression& param : op.parameters()) {
      if (!has_finite_constants(param)) {
        return std::unexpected(Other{"Cannot write a non-finite angle (gate " +
                                     std::string(op.gate_name()) + ")"});
      }
    }
  }
  return definitions;
}

void write_declarations(Emitter& emitter, const ir::Circuit& circuit) {
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
}

}  // namespace

ParseResult<std::string> emit(const ir::Circuit& circuit, EmitOptions options) {
  Emitter emitter(options);
  emitter.writeln("OPENQASM 3.0;");
  const ir::CircuitDag& dag = circuit.dag();
  if (!options.portable) {
    emitter.writeln("");
    write_declarations(emitter, circuit);
    for (const ir::OpRef& op : dag.topological_ops()) {
      emitter.write_instruction(op.operation);
    }
    return emitter.take_output();
  }
  auto definitions = portable_definitions(dag);
  if (!definitions) {
    return std::unexpected(std::move(definitions.error()));
  }
  emitter.writeln("include \"stdgates.inc\";");
  emitter.writeln("");
  for (const ir::StandardGate::Kind kind : definitions->kinds_to_define()) {
    emitter.write_definition(kind);
    emitter.writeln("");
  }
  write_declarations(emitter, circuit);
  for (std::size_t i = 0; i < dag.num_operations(); ++i) {
    emitter.write_instruction(dag.operation(i));
  }
  return emitter.take_output();
}

}  // namespace qelto::qasm3
