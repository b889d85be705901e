#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "qasm3/token.hpp"

namespace qelto::qasm3 {

// What a lexeme is, before any text is copied.
enum class LexemeClass : std::uint8_t {
  // A keyword, operator or punctuation token of kind `kind`.
  Fixed,
  Identifier,
  // A digit run that fits 64 bits; its value is in `value`.
  Integer,
  Float,
  // A complete string literal, quotes included in the span.
  String,
  // A range the lexer cannot read (an integer above 64 bits among them).
  Invalid,
};

struct Lexeme {
  LexemeClass cls = LexemeClass::Invalid;
  TokenKind kind = TokenKind::OpenQasm;
  Span span;
  // Integer only.
  std::uint64_t value = 0;
};

// Splits source text into lexemes without copying any text. Whitespace and
// comments are skipped. The view must outlive the scanner.
class Scanner {
 public:
  explicit Scanner(std::string_view source) : src_(source) {}

  // The next lexeme, or false at the end of input.
  [[nodiscard]] bool next(Lexeme& lexeme);

 private:
  std::string_view src_;
  std::size_t pos_ = 0;
};

}  // namespace qelto::qasm3
