#include "qasm3/lexer.hpp"

#include <algorithm>
#include <utility>

#include "qasm3/number.hpp"
#include "qasm3/scanner.hpp"

namespace qelto::qasm3 {
namespace {

// Lexemes in `source`, so the token list is allocated once at its final size
// instead of growing (growth moves every token and touches twice the memory).
std::size_t count_lexemes(std::string_view source) {
  Scanner scanner(source);
  Lexeme lexeme;
  std::size_t count = 0;
  while (scanner.next(lexeme)) {
    ++count;
  }
  return count;
}

void add_failure(LexResult& out, std::string_view source, Span span) {
  std::string message = "Invalid token: '";
  message.append(source.substr(span.start, span.end - span.start));
  message.push_back('\'');
  out.failures.push_back(LexFailure{span, std::move(message)});
}

void add_lexeme(LexResult& out, std::string_view source, const Lexeme& lexeme) {
  const Span span = lexeme.span;
  const std::string_view text =
      source.substr(span.start, span.end - span.start);
  switch (lexeme.cls) {
    case LexemeClass::Fixed:
      out.tokens.push_back({Token{lexeme.kind, std::monostate{}}, span});
      return;
    case LexemeClass::Identifier:
      out.tokens.push_back({Token::identifier(std::string(text)), span});
      return;
    case LexemeClass::Float:
      out.tokens.push_back({Token::float_literal(parse_float(text)), span});
      return;
    case LexemeClass::String:
      out.tokens.push_back(
          {Token::string_literal(std::string(text.substr(1, text.size() - 2))),
           span});
      return;
    case LexemeClass::Integer:
      if (const auto value = parse_u64(text)) {
        out.tokens.push_back({Token::int_literal(*value), span});
        return;
      }
      return add_failure(out, source, span);
    case LexemeClass::Invalid:
      return add_failure(out, source, span);
  }
}

}  // namespace

LexResult tokenize(std::string_view source) {
  LexResult out;
  out.tokens.reserve(count_lexemes(source));
  Scanner scanner(source);
  Lexeme lexeme;
  while (scanner.next(lexeme)) {
    add_lexeme(out, source, lexeme);
  }
  return out;
}

ParseResult<std::vector<SpannedToken>> collect_tokens(LexResult&& lexed) {
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
