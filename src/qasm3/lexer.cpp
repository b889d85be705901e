#include "qasm3/lexer.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <string>
#include <utility>

#include "qasm3/number.hpp"
#include "qasm3/scanner.hpp"

namespace qelto::qasm3 {
namespace {

void add_failure(LexResult& out, std::string_view source, Span span) {
  std::string message = "Invalid token: '";
  message.append(source.substr(span.start, span.end - span.start));
  message.push_back('\'');
  out.failures.push_back(LexFailure{span, std::move(message)});
}

void add_lexeme(LexResult& out, std::string_view source, const Lexeme& lexeme) {
  const Span span = lexeme.span;
  switch (lexeme.cls) {
    case LexemeClass::Fixed:
      out.tokens.emplace_back(lexeme.kind, span);
      return;
    case LexemeClass::Identifier:
      out.tokens.emplace_back(TokenKind::Identifier, span);
      return;
    case LexemeClass::Float: {
      const double value =
          parse_float(source.substr(span.start, span.end - span.start));
      out.tokens.emplace_back(TokenKind::FloatLiteral, span,
                              std::bit_cast<std::uint64_t>(value));
      return;
    }
    case LexemeClass::String:
      out.tokens.emplace_back(TokenKind::StringLiteral, span);
      return;
    case LexemeClass::Integer:
      out.tokens.emplace_back(TokenKind::IntLiteral, span, lexeme.value);
      return;
    case LexemeClass::Invalid:
      return add_failure(out, source, span);
  }
}

}  // namespace

LexedToken::LexedToken(TokenKind kind, Span span, std::uint64_t value) noexcept
    : value_(value),
      start_(span.start),
      end_and_kind_(span.end |
                    std::uint64_t{static_cast<std::uint8_t>(kind)}
                        << kKindShift) {
  assert(span.end <= kEndMask && "offset beyond 2^56");
}

std::uint64_t LexedToken::int_value() const {
  assert(kind() == TokenKind::IntLiteral && "not an IntLiteral");
  return value_;
}

double LexedToken::float_value() const {
  assert(kind() == TokenKind::FloatLiteral && "not a FloatLiteral");
  return std::bit_cast<double>(value_);
}

std::string_view LexedToken::text(std::string_view source) const {
  const Span s = span();
  if (kind() == TokenKind::StringLiteral) {
    return source.substr(s.start + 1, s.end - s.start - 2);
  }
  assert(kind() == TokenKind::Identifier && "token carries no text");
  return source.substr(s.start, s.end - s.start);
}

Token LexedToken::token(std::string_view source) const {
  switch (kind()) {
    case TokenKind::FloatLiteral:
      return Token::float_literal(float_value());
    case TokenKind::IntLiteral:
      return Token::int_literal(int_value());
    case TokenKind::StringLiteral:
      return Token::string_literal(std::string(text(source)));
    case TokenKind::Identifier:
      return Token::identifier(std::string(text(source)));
    default:
      return Token::of(kind());
  }
}

SpannedToken LexedToken::spanned(std::string_view source) const {
  return SpannedToken{token(source), span()};
}

// The list grows by doubling: entries are plain bytes, so each growth is
// one block copy, cheaper than a counting pass over the text.
LexResult tokenize(std::string_view source) {
  LexResult out;
  {
    Scanner counter(source);
    Lexeme l;
    std::size_t n = 0;
    while (counter.next(l)) ++n;
    out.tokens.reserve(n);
  }
  Scanner scanner(source);
  Lexeme lexeme;
  while (scanner.next(lexeme)) {
    add_lexeme(out, source, lexeme);
  }
  return out;
}

ParseResult<std::vector<LexedToken>> collect_tokens(LexResult&& lexed) {
  if (!lexed.failures.empty()) {
    LexFailure& first = lexed.failures.front();
    return std::unexpected(
        LexerError{std::move(first.message), first.span.start});
  }
  return std::move(lexed.tokens);
}

std::size_t line_of(std::string_view source, std::size_t offset) {
  const std::string_view before = source.substr(0, offset);
  return 1 + static_cast<std::size_t>(
                 std::count(before.begin(), before.end(), '\n'));
}

}  // namespace qelto::qasm3
