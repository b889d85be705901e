#include "ir/error.hpp"

#include <cmath>
#include <type_traits>

namespace qelto::ir {
namespace {

std::string gate_suffix(const std::optional<std::string>& gate_name) {
  return gate_name ? " (gate: " + *gate_name + ")" : std::string();
}

std::string non_finite_text(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  return std::to_string(value);
}

}  // namespace

std::string to_string(const IrError& error) {
  return std::visit(
      [](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, QubitNotFound>) {
          return "Qubit " + to_string(e.qubit) + " not found in circuit" +
                 gate_suffix(e.gate_name);
        } else if constexpr (std::is_same_v<E, ClbitNotFound>) {
          return "Classical bit " + to_string(e.clbit) +
                 " not found in circuit" + gate_suffix(e.gate_name);
        } else if constexpr (std::is_same_v<E, InvalidDag>) {
          return "Invalid DAG structure: " + e.message;
        } else if constexpr (std::is_same_v<E, InvalidNodeIndex>) {
          return "Invalid node index";
        } else if constexpr (std::is_same_v<E, QubitCountMismatch>) {
          return "Gate '" + e.gate_name + "' requires " +
                 std::to_string(e.expected) + " qubits, got " +
                 std::to_string(e.got);
        } else if constexpr (std::is_same_v<E, UnboundParameter>) {
          return "Parameter '" + e.name + "' is unbound";
        } else if constexpr (std::is_same_v<E, ParameterizedCircuit>) {
          return "Cannot perform operation on parameterized circuit";
        } else if constexpr (std::is_same_v<E, DuplicateQubit>) {
          return "Duplicate qubit " + to_string(e.qubit) + " in operation" +
                 gate_suffix(e.gate_name);
        } else if constexpr (std::is_same_v<E, UnknownParameters>) {
          std::string text = "Parameters not in the circuit:";
          for (std::size_t i = 0; i < e.names.size(); ++i) {
            text += (i == 0 ? " '" : ", '") + e.names[i] + "'";
          }
          return text;
        } else if constexpr (std::is_same_v<E, NonFiniteParameterValue>) {
          return "Parameter '" + e.name + "' cannot take the value " +
                 non_finite_text(e.value) + ": values must be finite";
        } else if constexpr (std::is_same_v<E, InvalidBitMapping>) {
          return "Cannot compose: " + e.message;
        } else if constexpr (std::is_same_v<E, NotInvertible>) {
          return "Cannot invert the circuit: operation " +
                 std::to_string(e.position) + " (" + e.operation +
                 ") has no inverse";
        } else {
          static_assert(std::is_same_v<E, MalformedCircuitData>);
          return "Malformed circuit data: " + e.message;
        }
      },
      error);
}

}  // namespace qelto::ir
