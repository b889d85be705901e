#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "qasm3/token.hpp"

namespace qelto::qasm3 {

// What a lexeme is, before any value is converted.
enum class LexemeClass : std::uint8_t {
  // A keyword, operator or punctuation token of kind `kind`.
  Fixed,
  Identifier,
  // A digit run that still has to fit 64 bits.
  Integer,
  Float,
  // A complete string literal, quotes included in the span.
  String,
  // A range the lexer cannot read.
  Invalid,
};

struct Lexeme {
  LexemeClass cls = LexemeClass::Invalid;
  TokenKind kind = TokenKind::OpenQasm;
  Span span;
};

// Splits source text into lexemes without building any value, so a counting
// pass is cheap. Whitespace and comments are skipped. The view must outlive
// the scanner.
class Scanner {
 public:
  explicit Scanner(std::string_view source) : src_(source) {}

  // The next lexeme, or false at the end of input.
  [[nodiscard]] bool next(Lexeme& lexeme);

 private:
  bool skip_trivia(Lexeme& lexeme, bool& failed);
  void scan_word(Lexeme& lexeme);
  void scan_number(Lexeme& lexeme);
  void scan_string(Lexeme& lexeme);
  bool scan_operator(Lexeme& lexeme);
  void scan_invalid(Lexeme& lexeme);
  void take(Lexeme& lexeme, LexemeClass cls, std::size_t end);

  std::string_view src_;
  std::size_t pos_ = 0;
};

}  // namespace qelto::qasm3
