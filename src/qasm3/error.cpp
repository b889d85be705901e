#include "qasm3/error.hpp"

#include <algorithm>
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

SourceError locate(std::string_view source, ParseError error,
                   std::size_t offset) {
  offset = std::min(offset, source.size());
  const std::string_view before = source.substr(0, offset);
  const std::size_t line_start = before.rfind('\n') + 1;  // npos + 1 == 0
  std::size_t line = 1;
  for (const char c : before) {
    line += c == '\n' ? 1 : 0;
  }
  std::size_t column = 1;
  for (const char c : before.substr(line_start)) {
    // Continuation bytes of a UTF-8 sequence add no column.
    column += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
  }
  return SourceError{std::move(error), offset, line, column};
}

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
