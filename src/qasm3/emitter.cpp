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

namespace {

// The longest text of one operand with its separator: ", q[4294967295]".
constexpr std::size_t kOperandText = 15;

// Names and keywords are a few characters: a loop beats calling memcpy.
char* write_text(char* out, std::string_view text) {
  for (const char c : text) {
    *out++ = c;
  }
  return out;
}

char* write_number(char* out, std::uint64_t value) {
  // Most operands are below 100.
  if (value < 10) {
    *out++ = static_cast<char>('0' + value);
    return out;
  }
  if (value < 100) {
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
  }
  return std::to_chars(out, out + 20, value).ptr;
}

// "q[0], q[3]" (or "c[...]" with `array` 'c').
template <class Id>
char* write_operands(char* out, std::span<const Id> ids, char array) {
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) {
      *out++ = ',';
      *out++ = ' ';
    }
    *out++ = array;
    *out++ = '[';
    out = write_number(out, ids[i].index);
    *out++ = ']';
  }
  return out;
}

}  // namespace

template <class Write>
void Emitter::put(std::size_t bound, Write write) {
  const std::size_t size = output_.size();
  // The text is written straight into the buffer: no append call and no
  // capacity check per piece.
  output_.resize_and_overwrite(size + bound, [&](char* data, std::size_t) {
    return static_cast<std::size_t>(write(data + size) - data);
  });
}

void Emitter::append_qubits(std::span<const ir::QubitId> qubits) {
  put(kOperandText * qubits.size(), [qubits](char* out) {
    return write_operands(out, qubits, 'q');
  });
}

void Emitter::write_instruction(ir::OperationRef operation) {
  const ir::OperationFields op = operation.fields();
  std::string_view head;
  switch (op.kind) {
    case ir::OperationKind::Gate:
      return write_gate(gate_name(op), op.parameters, op.qubits);
    case ir::OperationKind::Measure:
      return write_measure(op.qubits, op.clbits);
    case ir::OperationKind::Reset:
      head = "reset ";
      break;
    case ir::OperationKind::Barrier:
      head = op.qubits.empty() ? "barrier" : "barrier ";
      break;
    case ir::OperationKind::Delay:
      head = "delay[";
      break;
  }
  const bool delay = op.kind == ir::OperationKind::Delay;
  const std::string_view unit = options_.portable ? "dt] " : "] ";
  const std::size_t indent = 4 * std::size_t{indent_};
  put(indent + head.size() + 20 + unit.size() +
          kOperandText * op.qubits.size() + 2,
      [&](char* out) {
        out = std::fill_n(out, indent, ' ');
        out = write_text(out, head);
        if (delay) {
          out = write_number(out, op.delay_duration);
          out = write_text(out, unit);
        }
        out = write_operands(out, op.qubits, 'q');
        *out++ = ';';
        *out++ = '\n';
        return out;
      });
}

void Emitter::write_gate(std::string_view name,
                         std::span<const ir::ParameterExpression> params,
                         std::span<const ir::QubitId> qubits) {
  const NumberStyle style =
      options_.portable ? NumberStyle::Shortest : NumberStyle::Fixed;
  const std::size_t indent = 4 * std::size_t{indent_};
  const bool constants = std::all_of(
      params.begin(), params.end(), [](const ir::ParameterExpression& p) {
        return p.get_if<ir::ParameterExpression::Constant>() != nullptr;
      });
  if (!constants) {
    // Expressions: their text is as long as they are deep. The parameter
    // list is dropped when its text comes out empty, so the opening
    // parenthesis is only kept if something follows it.
    begin_line();
    output_ += name;
    const std::size_t open = output_.size();
    output_ += '(';
    for (std::size_t i = 0; i < params.size(); ++i) {
      if (i > 0) {
        output_ += ", ";
      }
      append_param(output_, params[i], style);
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
    return;
  }
  put(indent + name.size() + params.size() * (kMaxConstantText + 2) + 2 +
          kOperandText * qubits.size() + 2,
      [&](char* out) {
        out = std::fill_n(out, indent, ' ');
        out = write_text(out, name);
        for (std::size_t i = 0; i < params.size(); ++i) {
          *out++ = i == 0 ? '(' : ',';
          if (i > 0) {
            *out++ = ' ';
          }
          out = write_constant(
              out, params[i].get_if<ir::ParameterExpression::Constant>()->value,
              style);
        }
        if (!params.empty()) {
          *out++ = ')';
        }
        *out++ = ' ';
        out = write_operands(out, qubits, 'q');
        *out++ = ';';
        *out++ = '\n';
        return out;
      });
}

// A single-qubit measurement is the k = 0 case of the pairwise form, so one
// rule covers both: qubit k into classical bit k, as far as both exist.
void Emitter::write_measure(std::span<const ir::QubitId> qubits,
                            std::span<const ir::ClbitId> clbits) {
  const std::size_t pairs = std::min(qubits.size(), clbits.size());
  const std::size_t indent = 4 * std::size_t{indent_};
  // "c[" n "] = measure q[" n "];\n"
  constexpr std::size_t kPairText = 2 + 10 + 14 + 10 + 3;
  put(pairs * (indent + kPairText), [&](char* out) {
    for (std::size_t k = 0; k < pairs; ++k) {
      out = std::fill_n(out, indent, ' ');
      out = write_operands(out, clbits.subspan(k, 1), 'c');
      out = write_text(out, " = measure ");
      out = write_operands(out, qubits.subspan(k, 1), 'q');
      *out++ = ';';
      *out++ = '\n';
    }
    return out;
  });
}

std::string_view Emitter::gate_name(const ir::OperationFields& op) const {
  return options_.portable && op.standard_gate
             ? portable_name(*op.standard_gate)
             : op.gate_name;
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

// Room for the operations' text at once, so that the text is not copied as
// it grows: a short name and punctuation per operation and "q[n], " per
// operand cover typical circuits; a longer text grows as usual.
void reserve_operations(Emitter& emitter, const ir::CircuitDag& dag) {
  const std::size_t operands = dag.edge_count() - dag.num_qubit_wires() -
                               dag.num_clbit_wires();
  emitter.reserve(12 * dag.num_operations() + 7 * operands);
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
    reserve_operations(emitter, dag);
    for (const std::uint32_t op : dag.operation_order()) {
      emitter.write_instruction(dag.operation(op));
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
  reserve_operations(emitter, dag);
  for (std::size_t i = 0; i < dag.num_operations(); ++i) {
    emitter.write_instruction(dag.operation(i));
  }
  return emitter.take_output();
}

}  // namespace qelto::qasm3
