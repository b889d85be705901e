#include "qasm3/parser.hpp"

#include <algorithm>
#include <utility>

#include "qasm3/lexer.hpp"
#include "qasm3/lower.hpp"

namespace qelto::qasm3 {

Parser::Parser(std::vector<SpannedToken> tokens, std::string_view source)
    : tokens_(std::move(tokens)) {
  // Lines are counted once, in one pass, so that an error can name its line
  // without the parser keeping the source.
  lines_.reserve(tokens_.size());
  std::size_t line = 1;
  std::size_t counted_to = 0;
  for (const SpannedToken& token : tokens_) {
    std::size_t start = std::min(token.span.start, source.size());
    if (start > counted_to) {
      line += static_cast<std::size_t>(std::count(
          source.begin() + static_cast<std::ptrdiff_t>(counted_to),
          source.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
      counted_to = start;
    }
    lines_.push_back(line);
  }
}

bool Parser::next_is(TokenKind kind) const {
  return !at_end() && next().kind == kind;
}

bool Parser::peek_is(std::size_t ahead, TokenKind kind) const {
  return pos_ + ahead < tokens_.size() &&
         tokens_[pos_ + ahead].token.kind == kind;
}

bool Parser::consume(TokenKind kind) {
  if (!next_is(kind)) {
    return false;
  }
  ++pos_;
  return true;
}

ParseResult<void> Parser::expect(TokenKind kind) {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"expected " + to_string(kind)});
  }
  if (next().kind != kind) {
    auto error = unexpected(to_string(kind));
    ++pos_;
    return std::unexpected(std::move(error));
  }
  ++pos_;
  return {};
}

ParseError Parser::unexpected(std::string expected) const {
  return UnexpectedToken{std::move(expected), to_string(next()), lines_[pos_]};
}

ParseError Parser::too_deep() const {
  return Other{"Nesting deeper than " + std::to_string(kMaxNestingDepth) +
               " levels is not supported"};
}

ParseResult<std::string> Parser::parse_identifier() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"identifier"});
  }
  if (next().kind != TokenKind::Identifier) {
    return std::unexpected(unexpected("identifier"));
  }
  // The parser owns its tokens and never revisits one, so the text can move.
  return std::move(std::get<std::string>(tokens_[pos_++].token.value));
}

ParseResult<std::uint64_t> Parser::parse_int_literal() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"integer"});
  }
  if (next().kind != TokenKind::IntLiteral) {
    return std::unexpected(unexpected("integer"));
  }
  return tokens_[pos_++].token.int_value();
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
  const Token& token = tokens_[pos_++].token;
  switch (token.kind) {
    case TokenKind::FloatLiteral:
      return format_float(token.float_value());
    case TokenKind::IntLiteral:
      return std::to_string(token.int_value()) + ".0";
    default:
      return std::unexpected(InvalidVersion{to_string(token)});
  }
}

ParseResult<Program> Parser::parse_program() {
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
  auto tokens = collect_tokens(tokenize(source));
  if (!tokens) {
    return std::unexpected(std::move(tokens.error()));
  }
  return Parser(std::move(*tokens), source).parse_program();
}

ParseResult<ir::Circuit> parse(std::string_view source) {
  auto program = parse_program(source);
  if (!program) {
    return std::unexpected(std::move(program.error()));
  }
  return Lowerer().lower(*program);
}

}  // namespace qelto::qasm3
