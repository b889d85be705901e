#include "qasm3/parser.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "qasm3/lexer.hpp"
#include "qasm3/number.hpp"

namespace qelto::qasm3 {
namespace {

// Counted in blocks short enough for a one-byte tally, which the compiler
// turns into wide byte comparisons; a plain count runs several times slower.
std::size_t count_semicolons(std::string_view text) {
  constexpr std::size_t kBlock = 255;
  std::size_t total = 0;
  for (std::size_t start = 0; start < text.size(); start += kBlock) {
    const std::string_view block = text.substr(start, kBlock);
    std::uint8_t tally = 0;
    for (const char c : block) {
      tally = static_cast<std::uint8_t>(tally + (c == ';'));
    }
    total += tally;
  }
  return total;
}

}  // namespace

Parser::Parser(std::string_view source) : source_(source), scanner_(source) {
  advance();
}

void Parser::note_failure() {
  if (!first_failure_) {
    first_failure_ =
        LexerError{lex_failure_message(source_, lexeme_.span), lexeme_.span.start};
  }
}

std::string_view Parser::text() const {
  return std::string_view(source_.data() + lexeme_.span.start,
                          lexeme_.span.end - lexeme_.span.start);
}

// The current token as the lexer would have built it, for error texts. A
// failed lexeme shows its raw text, though the lexing error it causes is
// what gets reported.
Token Parser::current_token() const {
  if (!readable()) {
    return Token::identifier(at_end_ ? std::string() : std::string(text()));
  }
  switch (lexeme_.kind) {
    case TokenKind::Identifier:
      return Token::identifier(std::string(text()));
    case TokenKind::IntLiteral:
      return Token::int_literal(lexeme_.value);
    case TokenKind::FloatLiteral:
      return Token::float_literal(parse_float(text()));
    case TokenKind::StringLiteral:
      return Token::string_literal(
          std::string(text().substr(1, text().size() - 2)));
    default:
      return Token::of(lexeme_.kind);
  }
}

bool Parser::consume(TokenKind kind) {
  if (!next_is(kind)) {
    return false;
  }
  advance();
  return true;
}

ParseStep<void> Parser::expect(TokenKind kind) {
  if (at_end()) {
    return fail(UnexpectedEof{"expected " + to_string(kind)});
  }
  if (!next_is(kind)) {
    auto failed = fail(unexpected(to_string(kind)));
    advance();
    return failed;
  }
  advance();
  return {};
}

// The line is counted only here: errors are rare, and counting as tokens
// go by would cost every successful parse.
ParseError Parser::unexpected(std::string expected) const {
  return UnexpectedToken{std::move(expected), to_string(current_token()),
                         line_of(source_, lexeme_.span.start)};
}

ParseError Parser::too_deep() const {
  return Other{"Nesting deeper than " + std::to_string(kMaxNestingDepth) +
               " levels is not supported"};
}

std::unexpected<ParseFailed> Parser::fail(ParseError error) {
  error_ = std::move(error);
  error_offset_ = at_end_ ? source_.size() : lexeme_.span.start;
  return std::unexpected(ParseFailed{});
}

std::unexpected<ParseFailed> Parser::unsupported(std::string_view feature) {
  return fail(Other{std::string(feature) + " are not supported"});
}

ParseError Parser::reported_error() {
  if (auto failure = first_lexer_failure()) {
    error_offset_ = failure->position;
    return std::move(*failure);
  }
  return std::move(*error_);
}

// The first lexing failure of the whole text: one already met, or else one
// in the part the parser did not reach.
std::optional<LexerError> Parser::first_lexer_failure() {
  while (!first_failure_ && !at_end_) {
    advance();
  }
  return first_failure_;
}

ParseStep<std::string_view> Parser::parse_identifier() {
  if (at_end()) {
    return fail(UnexpectedEof{"identifier"});
  }
  if (!next_is(TokenKind::Identifier)) {
    return fail(unexpected("identifier"));
  }
  std::string_view name = text();
  advance();
  return name;
}

ParseStep<std::uint64_t> Parser::parse_int_literal() {
  if (at_end()) {
    return fail(UnexpectedEof{"integer"});
  }
  if (!next_is(TokenKind::IntLiteral)) {
    return fail(unexpected("integer"));
  }
  std::uint64_t value = lexeme_.value;
  advance();
  return value;
}

ParseStep<std::uint64_t> Parser::parse_bracketed_int() {
  auto value = parse_int_literal();
  if (!value) {
    return value;
  }
  if (auto closed = expect(TokenKind::RBracket); !closed) {
    return std::unexpected(std::move(closed.error()));
  }
  return value;
}

// Identifier lists hold nothing that nests, so they are appended in place.
ParseStep<SyntaxRange> Parser::parse_identifier_list() {
  const auto first = static_cast<std::uint32_t>(syntax_.names.size());
  do {
    auto name = parse_identifier();
    if (!name) {
      return std::unexpected(std::move(name.error()));
    }
    append(syntax_.names) = *name;
  } while (consume(TokenKind::Comma));
  return SyntaxRange{first,
                     static_cast<std::uint32_t>(syntax_.names.size()) - first};
}

// The reference is built in place: copying it in from values just returned
// stalls on memory that is still being written.
ParseStep<void> Parser::parse_bit_ref() {
  if (!next_is(TokenKind::Identifier)) {
    return std::unexpected(parse_identifier().error());
  }
  SyntaxRef& ref = append(syntax_.refs);
  ref.name = text();
  ref.offset = lexeme_.span.start;
  advance();
  if (consume(TokenKind::LBracket)) {
    auto value = parse_bracketed_int();
    if (!value) {
      return std::unexpected(std::move(value.error()));
    }
    ref.index = *value;
  }
  return {};
}

// References hold nothing that nests, so they are appended in place.
ParseStep<SyntaxRange> Parser::parse_qubit_refs() {
  const auto first = static_cast<std::uint32_t>(syntax_.refs.size());
  do {
    if (auto ref = parse_bit_ref(); !ref) {
      return std::unexpected(std::move(ref.error()));
    }
  } while (consume(TokenKind::Comma));
  return SyntaxRange{first,
                     static_cast<std::uint32_t>(syntax_.refs.size()) - first};
}

ParseStep<std::string> Parser::parse_version() {
  if (at_end()) {
    return fail(UnexpectedEof{"version number"});
  }
  std::string version;
  if (next_is(TokenKind::FloatLiteral)) {
    version = format_float(parse_float(text()));
  } else if (next_is(TokenKind::IntLiteral)) {
    version = std::to_string(lexeme_.value) + ".0";
  } else {
    auto failed = fail(InvalidVersion{to_string(current_token())});
    advance();
    return failed;
  }
  advance();
  return version;
}

ParseResult<std::string> Parser::parse_header() {
  if (!consume(TokenKind::OpenQasm)) {
    return std::string();
  }
  auto version = parse_version();
  if (!version) {
    return std::unexpected(reported_error());
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(reported_error());
  }
  return std::move(*version);
}

ParseResult<const SyntaxStmt*> Parser::next_statement() {
  syntax_.clear();
  pending_expressions_.clear();
  pending_statements_.clear();
  if (at_end()) {
    if (auto failure = first_lexer_failure()) {
      error_offset_ = failure->position;
      return std::unexpected(std::move(*failure));
    }
    return nullptr;
  }
  auto statement = parse_statement();
  if (!statement) {
    return std::unexpected(reported_error());
  }
  return &syntax_.statements[*statement];
}

// Most statements end in a semicolon. No statement is shorter than a few
// bytes, so only semicolons inside comments or strings can lead the count
// astray, and the cap bounds how far.
std::size_t statement_hint(std::string_view source) {
  constexpr std::size_t kMinBytesPerStatement = 8;
  return std::min(count_semicolons(source),
                  source.size() / kMinBytesPerStatement);
}

SyntaxExpr& Parser::new_expression(SyntaxExprKind kind) {
  SyntaxExpr& expression = append(syntax_.expressions);
  expression.kind = kind;
  return expression;
}

SyntaxStmt& Parser::new_statement(SyntaxStmtKind kind) {
  SyntaxStmt& statement = append(syntax_.statements);
  statement.kind = kind;
  return statement;
}

std::uint32_t Parser::add(SyntaxStmt statement, const SyntaxDetail& detail) {
  statement.detail = static_cast<std::uint32_t>(syntax_.details.size());
  append(syntax_.details) = detail;
  append(syntax_.statements) = statement;
  return last_statement();
}

namespace {

// Positions are 32-bit here too (see Parser::append).
SyntaxRange take(std::vector<std::uint32_t>& pending, std::size_t mark,
                 std::vector<std::uint32_t>& lists) {
  if (lists.size() + (pending.size() - mark) >=
      std::numeric_limits<std::uint32_t>::max()) {
    throw std::bad_alloc();
  }
  const SyntaxRange range{static_cast<std::uint32_t>(lists.size()),
                          static_cast<std::uint32_t>(pending.size() - mark)};
  lists.insert(lists.end(), pending.begin() + static_cast<std::ptrdiff_t>(mark),
               pending.end());
  pending.resize(mark);
  return range;
}

}  // namespace

SyntaxRange Parser::take_expressions(std::size_t mark) {
  return take(pending_expressions_, mark, syntax_.expression_lists);
}

SyntaxRange Parser::take_statements(std::size_t mark) {
  return take(pending_statements_, mark, syntax_.statement_lists);
}

}  // namespace qelto::qasm3
