#include "qasm3/parser.hpp"

#include <algorithm>
#include <new>
#include <utility>

#include "qasm3/lexer.hpp"
#include "qasm3/number.hpp"

namespace qelto::qasm3 {

Parser::Parser(std::string_view source) : source_(source), scanner_(source) {
  advance();
}

void Parser::advance() {
  if (!scanner_.next(lexeme_)) {
    at_end_ = true;
    failed_ = false;
    return;
  }
  failed_ = false;
  switch (lexeme_.cls) {
    case LexemeClass::Fixed:
      kind_ = lexeme_.kind;
      return;
    case LexemeClass::Identifier:
      kind_ = TokenKind::Identifier;
      return;
    case LexemeClass::Float:
      kind_ = TokenKind::FloatLiteral;
      return;
    case LexemeClass::String:
      kind_ = TokenKind::StringLiteral;
      return;
    case LexemeClass::Integer:
      kind_ = TokenKind::IntLiteral;
      int_value_ = lexeme_.value;
      return;
    case LexemeClass::Invalid:
      break;
  }
  failed_ = true;
  if (!first_failure_) {
    first_failure_ = LexerError{"Invalid token: '" + std::string(text()) + "'",
                                lexeme_.span.start};
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
  switch (kind_) {
    case TokenKind::Identifier:
      return Token::identifier(std::string(text()));
    case TokenKind::IntLiteral:
      return Token::int_literal(int_value_);
    case TokenKind::FloatLiteral:
      return Token::float_literal(parse_float(text()));
    case TokenKind::StringLiteral:
      return Token::string_literal(
          std::string(text().substr(1, text().size() - 2)));
    default:
      return Token::of(kind_);
  }
}

bool Parser::consume(TokenKind kind) {
  if (!next_is(kind)) {
    return false;
  }
  advance();
  return true;
}

ParseResult<void> Parser::expect(TokenKind kind) {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"expected " + to_string(kind)});
  }
  if (!next_is(kind)) {
    auto error = unexpected(to_string(kind));
    advance();
    return std::unexpected(std::move(error));
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

ParseError Parser::lexer_failure_or(ParseError error) {
  if (auto failure = first_lexer_failure()) {
    return std::move(*failure);
  }
  return error;
}

// The first lexing failure of the whole text: one already met, or else one
// in the part the parser did not reach.
std::optional<LexerError> Parser::first_lexer_failure() {
  while (!first_failure_ && !at_end_) {
    advance();
  }
  return first_failure_;
}

ParseResult<std::string_view> Parser::parse_identifier() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"identifier"});
  }
  if (!next_is(TokenKind::Identifier)) {
    return std::unexpected(unexpected("identifier"));
  }
  std::string_view name = text();
  advance();
  return name;
}

ParseResult<std::uint64_t> Parser::parse_int_literal() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"integer"});
  }
  if (!next_is(TokenKind::IntLiteral)) {
    return std::unexpected(unexpected("integer"));
  }
  std::uint64_t value = int_value_;
  advance();
  return value;
}

ParseResult<std::uint64_t> Parser::parse_bracketed_int() {
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
ParseResult<SyntaxRange> Parser::parse_identifier_list() {
  const auto first = static_cast<std::uint32_t>(syntax_.names.size());
  do {
    auto name = parse_identifier();
    if (!name) {
      return std::unexpected(std::move(name.error()));
    }
    syntax_.names.push_back(*name);
  } while (consume(TokenKind::Comma));
  return SyntaxRange{first,
                     static_cast<std::uint32_t>(syntax_.names.size()) - first};
}

ParseResult<void> Parser::parse_bit_ref() {
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  std::optional<std::uint64_t> index;
  if (consume(TokenKind::LBracket)) {
    auto value = parse_bracketed_int();
    if (!value) {
      return std::unexpected(std::move(value.error()));
    }
    index = *value;
  }
  syntax_.refs.push_back(SyntaxRef{*name, index});
  return {};
}

// References hold nothing that nests, so they are appended in place.
ParseResult<SyntaxRange> Parser::parse_qubit_refs() {
  const auto first = static_cast<std::uint32_t>(syntax_.refs.size());
  do {
    if (auto ref = parse_bit_ref(); !ref) {
      return std::unexpected(std::move(ref.error()));
    }
  } while (consume(TokenKind::Comma));
  return SyntaxRange{first,
                     static_cast<std::uint32_t>(syntax_.refs.size()) - first};
}

ParseResult<std::string> Parser::parse_version() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"version number"});
  }
  std::string version;
  if (next_is(TokenKind::FloatLiteral)) {
    version = format_float(parse_float(text()));
  } else if (next_is(TokenKind::IntLiteral)) {
    version = std::to_string(int_value_) + ".0";
  } else {
    auto error = InvalidVersion{to_string(current_token())};
    advance();
    return std::unexpected(std::move(error));
  }
  advance();
  return version;
}

ParseResult<std::string> Parser::parse_header() {
  if (auto header = expect(TokenKind::OpenQasm); !header) {
    return std::unexpected(lexer_failure_or(std::move(header.error())));
  }
  auto version = parse_version();
  if (!version) {
    return std::unexpected(lexer_failure_or(std::move(version.error())));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(lexer_failure_or(std::move(end.error())));
  }
  return version;
}

ParseResult<const SyntaxStmt*> Parser::next_statement() {
  syntax_.clear();
  pending_expressions_.clear();
  pending_statements_.clear();
  if (at_end()) {
    if (auto failure = first_lexer_failure()) {
      return std::unexpected(std::move(*failure));
    }
    return nullptr;
  }
  auto statement = parse_statement();
  if (!statement) {
    return std::unexpected(lexer_failure_or(std::move(statement.error())));
  }
  return &syntax_.statements[*statement];
}

// Most statements end in a semicolon. No statement is shorter than a few
// bytes, so only semicolons inside comments or strings can lead the count
// astray, and the cap bounds how far.
std::size_t Parser::statement_hint() const {
  constexpr std::size_t kMinBytesPerStatement = 8;
  auto semicolons =
      static_cast<std::size_t>(std::count(source_.begin(), source_.end(), ';'));
  return std::min(semicolons, source_.size() / kMinBytesPerStatement);
}

std::uint32_t Parser::add(SyntaxExpr expression) {
  syntax_.expressions.push_back(expression);
  return static_cast<std::uint32_t>(syntax_.expressions.size() - 1);
}

std::uint32_t Parser::add(SyntaxStmt statement) {
  syntax_.statements.push_back(statement);
  return static_cast<std::uint32_t>(syntax_.statements.size() - 1);
}

namespace {

SyntaxRange take(std::vector<std::uint32_t>& pending, std::size_t mark,
                 std::vector<std::uint32_t>& lists) {
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

// Growing the statement list by doublings would move every statement
// several times and return freed blocks to the allocator in bulk, so it is
// sized from the parser's hint; a reservation that cannot be had is simply
// skipped.
ParseResult<Program> parse_program(std::string_view source) {
  Parser parser(source);
  auto version = parser.parse_header();
  if (!version) {
    return std::unexpected(std::move(version.error()));
  }
  Program program{std::move(*version), {}};
  try {
    program.statements.reserve(parser.statement_hint());
  } catch (const std::bad_alloc&) {
    // Growing on demand still works; only the head start is lost.
  }
  for (;;) {
    auto statement = parser.next_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    if (*statement == nullptr) {
      return program;
    }
    program.statements.push_back(to_statement(parser.syntax(), **statement));
  }
}

}  // namespace qelto::qasm3
