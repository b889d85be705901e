#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "qasm3/token.hpp"

namespace qelto::qasm3 {

// One lexeme: a token's kind and place, or a range the lexer cannot read.
struct Lexeme {
  // Meaningless when `failed`.
  TokenKind kind = TokenKind::OpenQasm;
  // A range the lexer cannot read, an integer above 64 bits among them.
  bool failed = false;
  // A string literal's span includes its quotes.
  Span span;
  // IntLiteral only.
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
