#include "qasm3/emitter.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
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
            output_ += options_.portable ? "dt] " : "] ";
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
  const ir::StandardGate* standard = gate.standard();
  output_ += options_.portable && standard != nullptr
                 ? portable_name(standard->kind())
                 : gate.name();
  const NumberStyle style =
      options_.portable ? NumberStyle::Shortest : NumberStyle::Fixed;
  // The parameter list is dropped when its text comes out empty, so the
  // opening parenthesis is only kept if something follows it.
  const std::size_t open = output_.size();
  output_ += '(';
  const std::span<const ir::ParameterExpression> params = gate.parameters();
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

// The operations in the order they were added: the DAG numbers its nodes
// as they are created and never removes one.
std::vector<const ir::Instruction*> insertion_order(const ir::CircuitDag& dag) {
  std::vector<const ir::Instruction*> ops;
  ops.reserve(dag.node_count());
  for (std::uint32_t i = 0; i < dag.node_count(); ++i) {
    if (const auto* op = std::get_if<ir::Op>(dag.node(ir::NodeIndex{i}))) {
      ops.push_back(&op->instruction);
    }
  }
  return ops;
}

// The gates `ops` call that need a definition; an error for an angle no
// portable text can hold.
ParseResult<GateDefinitions> portable_definitions(
    std::span<const ir::Instruction* const> ops) {
  GateDefinitions definitions;
  for (const ir::Instruction* op : ops) {
    const auto* gate = std::get_if<ir::Gate>(&op->kind);
    if (gate == nullptr) {
      continue;
    }
    if (const ir::StandardGate* standard = gate->standard()) {
      definitions.use(standard->kind());
    }
    for (const ir::ParameterExpression& param : gate->parameters()) {
      if (!has_finite_constants(param)) {
        return std::unexpected(Other{"Cannot write a non-finite angle (gate " +
                                     std::string(gate->name()) + ")"});
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
  if (!options.portable) {
    emitter.writeln("");
    write_declarations(emitter, circuit);
    for (const ir::OpRef& op : circuit.dag().topological_ops()) {
      emitter.write_instruction(*op.instruction);
    }
    return emitter.take_output();
  }
  const std::vector<const ir::Instruction*> ops =
      insertion_order(circuit.dag());
  auto definitions = portable_definitions(ops);
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
  for (const ir::Instruction* op : ops) {
    emitter.write_instruction(*op);
  }
  return emitter.take_output();
}

}  // namespace qelto::qasm3
