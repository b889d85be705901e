#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "ir/error.hpp"

namespace qelto::qasm3 {

// A token the lexer could not read; `position` is the byte offset where the
// failing range starts.
struct LexerError {
  std::string message;
  std::size_t position = 0;
};

// `expected` and `found` are display texts; `line` is 1-based.
struct UnexpectedToken {
  std::string expected;
  std::string found;
  std::size_t line = 1;
};

struct UnexpectedEof {
  std::string text;
};

struct InvalidVersion {
  std::string text;
};

struct UndefinedIdentifier {
  std::string name;
};

struct DuplicateDeclaration {
  std::string name;
};

struct UnknownGate {
  std::string name;
};

struct WrongQubitCount {
  std::string gate;
  std::size_t expected = 0;
  std::size_t got = 0;
};

struct WrongParamCount {
  std::string gate;
  std::size_t expected = 0;
  std::size_t got = 0;
};

// `index` is kept at full width so an index beyond 32 bits is reported as
// written, not wrapped.
struct IndexOutOfBounds {
  std::uint64_t index = 0;
  std::string register_name;
  std::uint64_t size = 0;
};

struct CircuitError {
  ir::IrError error;
};

struct Other {
  std::string text;
};

// The OpenQASM library's only error type. Owns its texts; a plain value.
using ParseError =
    std::variant<LexerError, UnexpectedToken, UnexpectedEof, InvalidVersion,
                 UndefinedIdentifier, DuplicateDeclaration, UnknownGate,
                 WrongQubitCount, WrongParamCount, IndexOutOfBounds,
                 CircuitError, Other>;

template <class T>
using ParseResult = std::expected<T, ParseError>;

// A reading error and where in the source it was found.
struct SourceError {
  ParseError error;
  // Byte offset into the source.
  std::size_t offset = 0;
  // 1-based line and column; the column counts characters (a UTF-8
  // sequence is one), not bytes.
  std::size_t line = 1;
  std::size_t column = 1;
};

// `error` found at byte `offset` of `source` (clamped to its end), with the
// line and column of that offset.
[[nodiscard]] SourceError locate(std::string_view source, ParseError error,
                                 std::size_t offset);

// An IR error becomes CircuitError unchanged.
[[nodiscard]] ParseError to_parse_error(ir::IrError error);

// The fixed display text, e.g.
// "Unexpected token at line 3: expected ;, found qubit".
[[nodiscard]] std::string to_string(const ParseError& error);

}  // namespace qelto::qasm3
