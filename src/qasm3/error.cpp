#include "qasm3/error.hpp"

#include <type_traits>
#include <utility>

namespace qelto::qasm3 {
namespace {

std::string counted(const std::string& gate, std::size_t expected,
                    std::size_t got, const char* what) {
  return "Gate '" + gate + "' expects " + std::to_string(expected) + " " +
         what + ", got " + std::to_string(got);
}

}  // namespace

ParseError to_parse_error(ir::IrError error) {
  return ParseError(std::in_place_type<CircuitError>, std::move(error));
}

std::string to_string(const ParseError& error) {
  return std::visit(
      [](const auto& e) -> std::string {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, LexerError>) {
          return "Lexer error at position " + std::to_string(e.position) +
                 ": " + e.message;
        } else if constexpr (std::is_same_v<E, UnexpectedToken>) {
          return "Unexpected token at line " + std::to_string(e.line) +
                 ": expected " + e.expected + ", found " + e.found;
        } else if constexpr (std::is_same_v<E, UnexpectedEof>) {
          return "Unexpected end of input: " + e.text;
        } else if constexpr (std::is_same_v<E, InvalidVersion>) {
          return "Invalid OPENQASM version: " + e.text;
        } else if constexpr (std::is_same_v<E, UndefinedIdentifier>) {
          return "Undefined identifier: " + e.name;
        } else if constexpr (std::is_same_v<E, DuplicateDeclaration>) {
          return "Duplicate declaration: " + e.name;
        } else if constexpr (std::is_same_v<E, UnknownGate>) {
          return "Unknown gate: " + e.name;
        } else if constexpr (std::is_same_v<E, WrongQubitCount>) {
          return counted(e.gate, e.expected, e.got, "qubits");
        } else if constexpr (std::is_same_v<E, WrongParamCount>) {
          return counted(e.gate, e.expected, e.got, "parameters");
        } else if constexpr (std::is_same_v<E, IndexOutOfBounds>) {
          return "Index " + std::to_string(e.index) + " out of bounds for " +
                 "register '" + e.register_name + "' of size " +
                 std::to_string(e.size);
        } else if constexpr (std::is_same_v<E, CircuitError>) {
          return "Circuit error: " + ir::to_string(e.error);
        } else {
          static_assert(std::is_same_v<E, Other>);
          return "Parse error: " + e.text;
        }
      },
      error);
}

}  // namespace qelto::qasm3
