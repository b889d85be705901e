#pragma once

// Circuits read from text, shown as text, for the reader's table tests.

#include <array>
#include <optional>
#include <charconv>
#include <string>
#include <type_traits>
#include <variant>

#include "ir/circuit.hpp"
#include "qasm3/read.hpp"

namespace qelto::qasm3::testing_support {

using ir::ParameterExpression;

inline std::string number(double value) {
  std::array<char, 64> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return std::string(buf.data(), end);
}

inline std::string param_text(const ParameterExpression& p) {
  return std::visit(
      [](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        using PE = ParameterExpression;
        if constexpr (std::is_same_v<E, PE::Constant>) {
          return number(e.value);
        } else if constexpr (std::is_same_v<E, PE::Symbol>) {
          return e.name;
        } else if constexpr (std::is_same_v<E, PE::Pi>) {
          return "pi";
        } else if constexpr (std::is_same_v<E, PE::Neg>) {
          return "-" + param_text(*e.operand);
        } else {
          const char* op = std::is_same_v<E, PE::Add>   ? " + "
                           : std::is_same_v<E, PE::Sub> ? " - "
                           : std::is_same_v<E, PE::Mul> ? " * "
                                                        : " / ";
          return "(" + param_text(*e.left) + op + param_text(*e.right) + ")";
        }
      },
      p.node());
}

template <class List>
inline std::string operands(const List& list) {
  std::string out;
  for (const auto& id : list) {
    out += (out.empty() ? "" : ",") + std::to_string(id.index);
  }
  return out;
}

inline std::string instruction_text(const ir::Instruction& instruction) {
  if (const ir::Gate* gate = instruction.gate()) {
    std::string text(gate->name());
    std::string params;
    for (const ParameterExpression& p : gate->parameters()) {
      params += (params.empty() ? "" : ", ") + param_text(p);
    }
    if (!params.empty()) {
      text += "(" + params + ")";
    }
    return text + " " + operands(instruction.qubits);
  }
  if (std::holds_alternative<ir::Measure>(instruction.kind)) {
    return "measure " + operands(instruction.qubits) + "->" +
           operands(instruction.clbits);
  }
  if (const auto* delay = std::get_if<ir::Delay>(&instruction.kind)) {
    return "delay[" + std::to_string(delay->duration) + "] " +
           operands(instruction.qubits);
  }
  if (std::holds_alternative<ir::Reset>(instruction.kind)) {
    return "reset " + operands(instruction.qubits);
  }
  return "barrier " + operands(instruction.qubits);
}

// "q=2 c=2 | h 0; cx 0,1" with the operations in the order they were
// applied, or the error's display text.
// Reading without any limit on what a program may declare or apply.
inline const ReadOptions kNoLimits{std::nullopt, std::nullopt, std::nullopt};

inline std::string lowered(const std::string& body,
                           const ReadOptions& limits = {}) {
  auto circuit = parse("OPENQASM 3.0;\n" + body, limits);
  if (!circuit) {
    return to_string(circuit.error());
  }
  std::string out = "q=" + std::to_string(circuit->num_qubits()) +
                    " c=" + std::to_string(circuit->num_clbits()) + " |";
  const ir::CircuitDag& dag = circuit->dag();
  for (std::uint32_t i = 0; i < dag.node_count(); ++i) {
    const auto node = dag.node(ir::NodeIndex{i});
    if (const auto* op = std::get_if<ir::OperationRef>(&*node)) {
      out += " " + instruction_text(op->to_instruction()) + ";";
    }
  }
  return out;
}

}  // namespace qelto::qasm3::testing_support
