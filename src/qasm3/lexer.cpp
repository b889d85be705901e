#include "qasm3/lexer.hpp"

#include <algorithm>
#include <cassert>
#include <new>
#include <string>
#include <utility>

#include "qasm3/number.hpp"
#include "qasm3/scanner.hpp"

namespace qelto::qasm3 {
namespace {

std::string invalid_token(std::string_view source, Span span) {
  std::string message = "Invalid token: '";
  message.append(source.substr(span.start, span.end - span.start));
  message.push_back('\'');
  return message;
}

void add_failure(LexResult& out, std::string_view source, Span span) {
  out.failures.push_back(LexFailure{span, invalid_token(source, span)});
}

bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The language feature a range the scanner cannot read belongs to, if it
// is one the reader knows it lacks.
std::string_view unsupported_feature(std::string_view source, Span span) {
  const char first = source[span.start];
  const char next = span.end < source.size() ? source[span.end] : '\0';
  if (first == '$' && span.end - span.start == 1 && next >= '0' &&
      next <= '9') {
    return "physical qubits ($0, $1, ...) are not supported";
  }
  if (first == '#' && span.end - span.start == 1 && is_ascii_letter(next)) {
    return "directives (#pragma, #dim) are not supported";
  }
  if (static_cast<unsigned char>(first) >= 0x80) {
    return "characters outside ASCII are not supported outside comments and "
           "strings";
  }
  return {};
}

// Every lexeme is at least a byte long, so the length of the text bounds
// the list. Reserving the bound costs address space only (pages the list
// never reaches are never touched) and saves both a counting pass and the
// copies of growing; where even the address space cannot be had, the
// lexemes are counted first.
void reserve_tokens(std::vector<LexedToken>& tokens, std::string_view source) {
  try {
    tokens.reserve(source.size());
    return;
  } catch (const std::bad_alloc&) {
    // Counted below.
  }
  Scanner scanner(source);
  Lexeme lexeme;
  std::size_t count = 0;
  while (scanner.next(lexeme)) {
    count += lexeme.failed ? 0 : 1;
  }
  tokens.reserve(count);
}

}  // namespace

LexedToken::LexedToken(TokenKind kind, Span span) noexcept
    : start_(span.start),
      end_and_kind_(span.end |
                    std::uint64_t{static_cast<std::uint8_t>(kind)}
                        << kKindShift) {
  assert(span.end <= kEndMask && "offset beyond 2^56");
}

std::string_view LexedToken::slice(std::string_view source) const {
  const Span s = span();
  return source.substr(s.start, s.end - s.start);
}

// The lexer only lists integers that fit 64 bits.
std::uint64_t LexedToken::int_value(std::string_view source) const {
  assert(kind() == TokenKind::IntLiteral && "not an IntLiteral");
  std::uint64_t value = 0;
  for (const char digit : slice(source)) {
    value = value * 10 + static_cast<std::uint64_t>(digit - '0');
  }
  return value;
}

double LexedToken::float_value(std::string_view source) const {
  assert(kind() == TokenKind::FloatLiteral && "not a FloatLiteral");
  return parse_float(slice(source));
}

std::string_view LexedToken::text(std::string_view source) const {
  if (kind() == TokenKind::StringLiteral) {
    const std::string_view quoted = slice(source);
    return quoted.substr(1, quoted.size() - 2);
  }
  assert(kind() == TokenKind::Identifier && "token carries no text");
  return slice(source);
}

Token LexedToken::token(std::string_view source) const {
  switch (kind()) {
    case TokenKind::FloatLiteral:
      return Token::float_literal(float_value(source));
    case TokenKind::IntLiteral:
      return Token::int_literal(int_value(source));
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

LexResult tokenize(std::string_view source) {
  LexResult out;
  reserve_tokens(out.tokens, source);
  Scanner scanner(source);
  Lexeme lexeme;
  while (scanner.next(lexeme)) {
    if (lexeme.failed) {
      add_failure(out, source, lexeme.span);
    } else {
      out.tokens.emplace_back(lexeme.kind, lexeme.span);
    }
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

std::string lex_failure_message(std::string_view source, Span span) {
  std::string message = invalid_token(source, span);
  if (const std::string_view feature = unsupported_feature(source, span);
      !feature.empty()) {
    message.append(": ");
    message.append(feature);
  }
  return message;
}

std::size_t line_of(std::string_view source, std::size_t offset) {
  const std::string_view before = source.substr(0, offset);
  return 1 + static_cast<std::size_t>(
                 std::count(before.begin(), before.end(), '\n'));
}

}  // namespace qelto::qasm3
