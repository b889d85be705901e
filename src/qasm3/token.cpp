#include "qasm3/token.hpp"

#include <array>
#include <cassert>
#include <charconv>
#include <utility>

namespace qelto::qasm3 {
static_assert(static_cast<std::size_t>(TokenKind::Dot) + 1 == kTokenKindCount);
static_assert(spelling(TokenKind::Identifier).empty());
static_assert(spelling(TokenKind::Plus) == "+");
static_assert(spelling(TokenKind::Dot) == ".");

Token Token::of(TokenKind kind) {
  switch (kind) {
    case TokenKind::FloatLiteral:
      return float_literal(0.0);
    case TokenKind::IntLiteral:
      return int_literal(0);
    case TokenKind::StringLiteral:
      return string_literal({});
    case TokenKind::Identifier:
      return identifier({});
    default:
      return Token{kind, std::monostate{}};
  }
}

Token Token::float_literal(double value) {
  return Token{TokenKind::FloatLiteral, value};
}

Token Token::int_literal(std::uint64_t value) {
  return Token{TokenKind::IntLiteral, value};
}

Token Token::string_literal(std::string text) {
  return Token{TokenKind::StringLiteral, std::move(text)};
}

Token Token::identifier(std::string text) {
  return Token{TokenKind::Identifier, std::move(text)};
}

double Token::float_value() const {
  assert(kind == TokenKind::FloatLiteral && "not a FloatLiteral");
  return std::get<double>(value);
}

std::uint64_t Token::int_value() const {
  assert(kind == TokenKind::IntLiteral && "not an IntLiteral");
  return std::get<std::uint64_t>(value);
}

const std::string& Token::text() const {
  assert((kind == TokenKind::StringLiteral || kind == TokenKind::Identifier) &&
         "token carries no text");
  return std::get<std::string>(value);
}

std::string format_float(double value) {
  // Fixed notation of a double needs at most 1 sign + 309 integer digits, or
  // "0." and 324 fraction digits for the smallest subnormal.
  std::array<char, 400> buffer;
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                    std::chars_format::fixed);
  assert(result.ec == std::errc() && "fixed buffer too small");
  return std::string(buffer.data(), result.ptr);
}

std::string to_string(const Token& token) {
  switch (token.kind) {
    case TokenKind::FloatLiteral:
      return format_float(token.float_value());
    case TokenKind::IntLiteral:
      return std::to_string(token.int_value());
    case TokenKind::StringLiteral:
      return '"' + token.text() + '"';
    case TokenKind::Identifier:
      return token.text();
    default:
      return std::string(spelling(token.kind));
  }
}

std::string to_string(TokenKind kind) { return to_string(Token::of(kind)); }

}  // namespace qelto::qasm3
