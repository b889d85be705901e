#include "qasm3/parser.hpp"

#include <algorithm>
#include <new>
#include <utility>

#include "qasm3/lexer.hpp"
#include "qasm3/lower.hpp"
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
      if (auto value = parse_u64(text())) {
        kind_ = TokenKind::IntLiteral;
        int_value_ = *value;
        return;
      }
      break;
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
  return source_.substr(lexeme_.span.start,
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

// The first lexing failure of the whole text: one already met, or else one
// in the part the parser did not reach.
std::optional<LexerError> Parser::first_lexer_failure() {
  while (!first_failure_ && !at_end_) {
    advance();
  }
  return first_failure_;
}

ParseResult<std::string> Parser::parse_identifier() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"identifier"});
  }
  if (!next_is(TokenKind::Identifier)) {
    return std::unexpected(unexpected("identifier"));
  }
  std::string name(text());
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

ParseResult<std::vector<std::string>> Parser::parse_identifier_list() {
  std::vector<std::string> names;
  do {
    auto name = parse_identifier();
    if (!name) {
      return std::unexpected(std::move(name.error()));
    }
    names.push_back(std::move(*name));
  } while (consume(TokenKind::Comma));
  return names;
}

ParseResult<BitRef> Parser::parse_bit_ref() {
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  BitRef ref{std::move(*name), std::nullopt};
  if (consume(TokenKind::LBracket)) {
    auto index = parse_bracketed_int();
    if (!index) {
      return std::unexpected(std::move(index.error()));
    }
    ref.index = *index;
  }
  return ref;
}

ParseResult<std::vector<BitRef>> Parser::parse_qubit_refs() {
  std::vector<BitRef> refs;
  do {
    auto ref = parse_bit_ref();
    if (!ref) {
      return std::unexpected(std::move(ref.error()));
    }
    refs.push_back(std::move(*ref));
  } while (consume(TokenKind::Comma));
  return refs;
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

ParseResult<Program> Parser::parse_program() {
  auto program = parse_header_and_statements();
  if (auto failure = first_lexer_failure()) {
    return std::unexpected(std::move(*failure));
  }
  return program;
}

// Growing the statement list by doublings would move every statement
// several times and return freed blocks to the allocator in bulk. Most
// statements end in a semicolon, so their count is a good first size. The
// hint is capped in proportion to the text (no statement is shorter than a
// few bytes, so only semicolons inside comments or strings can lead it
// astray), and a reservation that cannot be had is simply skipped.
void Parser::reserve_statements(std::vector<Statement>& statements) const {
  constexpr std::size_t kMinBytesPerStatement = 8;
  auto semicolons =
      static_cast<std::size_t>(std::count(source_.begin(), source_.end(), ';'));
  try {
    statements.reserve(
        std::min(semicolons, source_.size() / kMinBytesPerStatement));
  } catch (const std::bad_alloc&) {
    // Growing on demand still works; only the head start is lost.
  }
}

ParseResult<Program> Parser::parse_header_and_statements() {
  if (auto header = expect(TokenKind::OpenQasm); !header) {
    return std::unexpected(std::move(header.error()));
  }
  auto version = parse_version();
  if (!version) {
    return std::unexpected(std::move(version.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  Program program{std::move(*version), {}};
  reserve_statements(program.statements);
  while (!at_end()) {
    auto statement = parse_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    program.statements.push_back(std::move(*statement));
  }
  return program;
}

ParseResult<Program> parse_program(std::string_view source) {
  return Parser(source).parse_program();
}

ParseResult<ir::Circuit> parse(std::string_view source) {
  auto program = parse_program(source);
  if (!program) {
    return std::unexpected(std::move(program.error()));
  }
  return Lowerer().lower(*program);
}

}  // namespace qelto::qasm3
