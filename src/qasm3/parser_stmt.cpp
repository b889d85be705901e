#include <memory>
#include <utility>

#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

std::unique_ptr<Expression> box(Expression expression) {
  return std::make_unique<Expression>(std::move(expression));
}

}  // namespace

ParseResult<Statement> Parser::parse_statement() {
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"statement"});
  }
  if (!readable()) {
    return std::unexpected(unexpected("statement"));
  }
  switch (kind_) {
    case TokenKind::Include:
      return parse_include();
    case TokenKind::Qubit:
    case TokenKind::Bit:
      return parse_declaration(kind_);
    case TokenKind::Measure:
      return parse_measure();
    case TokenKind::Reset:
      return parse_reset();
    case TokenKind::Barrier:
      return parse_barrier();
    case TokenKind::Gate:
      return parse_gate_def();
    case TokenKind::If:
      return parse_if();
    case TokenKind::For:
      return parse_for();
    case TokenKind::Identifier:
      return parse_identifier_statement();
    default:
      return std::unexpected(unexpected("statement"));
  }
}

ParseResult<Statement> Parser::parse_include() {
  advance();
  if (at_end()) {
    return std::unexpected(UnexpectedEof{"include path"});
  }
  if (!next_is(TokenKind::StringLiteral)) {
    return std::unexpected(unexpected("string literal"));
  }
  std::string path(text().substr(1, text().size() - 2));
  advance();
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return Statement{stmt::Include{std::move(path)}};
}

ParseResult<Statement> Parser::parse_declaration(TokenKind kind) {
  advance();
  std::optional<std::uint64_t> size;
  if (consume(TokenKind::LBracket)) {
    auto value = parse_bracketed_int();
    if (!value) {
      return std::unexpected(std::move(value.error()));
    }
    size = *value;
  }
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  if (kind == TokenKind::Qubit) {
    return Statement{stmt::QubitDecl{std::move(*name), size}};
  }
  return Statement{stmt::BitDecl{std::move(*name), size}};
}

ParseResult<Statement> Parser::parse_measure() {
  advance();
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  stmt::Measure measure{std::move(*qubits), {}};
  if (consume(TokenKind::Arrow)) {
    auto bits = parse_qubit_refs();
    if (!bits) {
      return std::unexpected(std::move(bits.error()));
    }
    measure.bits = std::move(*bits);
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return Statement{std::move(measure)};
}

ParseResult<Statement> Parser::parse_reset() {
  advance();
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return Statement{stmt::Reset{std::move(*qubits)}};
}

ParseResult<Statement> Parser::parse_barrier() {
  advance();
  if (consume(TokenKind::Semicolon)) {
    return Statement{stmt::Barrier{}};
  }
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return Statement{stmt::Barrier{std::move(*qubits)}};
}

ParseResult<Statement> Parser::parse_gate_def() {
  advance();
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  stmt::GateDef def{std::move(*name), {}, {}, {}};
  if (consume(TokenKind::LParen)) {
    auto params = parse_identifier_list();
    if (!params) {
      return std::unexpected(std::move(params.error()));
    }
    def.params = std::move(*params);
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(std::move(closed.error()));
    }
  }
  auto qubits = parse_identifier_list();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  def.qubits = std::move(*qubits);
  if (auto open = expect(TokenKind::LBrace); !open) {
    return std::unexpected(std::move(open.error()));
  }
  auto body = parse_block_rest();
  if (!body) {
    return std::unexpected(std::move(body.error()));
  }
  def.body = std::move(*body);
  return Statement{std::move(def)};
}

ParseResult<Statement> Parser::parse_if() {
  advance();
  if (auto open = expect(TokenKind::LParen); !open) {
    return std::unexpected(std::move(open.error()));
  }
  auto condition = parse_expression();
  if (!condition) {
    return std::unexpected(std::move(condition.error()));
  }
  if (auto closed = expect(TokenKind::RParen); !closed) {
    return std::unexpected(std::move(closed.error()));
  }
  auto then_body = parse_block_or_statement();
  if (!then_body) {
    return std::unexpected(std::move(then_body.error()));
  }
  stmt::If statement{box(std::move(*condition)), std::move(*then_body), {}};
  if (consume(TokenKind::Else)) {
    auto else_body = parse_block_or_statement();
    if (!else_body) {
      return std::unexpected(std::move(else_body.error()));
    }
    statement.else_body = std::move(*else_body);
  }
  return Statement{std::move(statement)};
}

ParseResult<Statement> Parser::parse_for() {
  advance();
  auto variable = parse_identifier();
  if (!variable) {
    return std::unexpected(std::move(variable.error()));
  }
  for (TokenKind kind : {TokenKind::In, TokenKind::LBracket}) {
    if (auto fixed = expect(kind); !fixed) {
      return std::unexpected(std::move(fixed.error()));
    }
  }
  auto start = parse_expression();
  if (!start) {
    return std::unexpected(std::move(start.error()));
  }
  if (auto colon = expect(TokenKind::Colon); !colon) {
    return std::unexpected(std::move(colon.error()));
  }
  auto end = parse_expression();
  if (!end) {
    return std::unexpected(std::move(end.error()));
  }
  stmt::For loop{std::move(*variable),
                 box(std::move(*start)),
                 box(std::move(*end)),
                 nullptr,
                 {}};
  if (consume(TokenKind::Colon)) {
    auto step = parse_expression();
    if (!step) {
      return std::unexpected(std::move(step.error()));
    }
    loop.step = box(std::move(*step));
  }
  if (auto closed = expect(TokenKind::RBracket); !closed) {
    return std::unexpected(std::move(closed.error()));
  }
  auto body = parse_block_or_statement();
  if (!body) {
    return std::unexpected(std::move(body.error()));
  }
  loop.body = std::move(*body);
  return Statement{std::move(loop)};
}

ParseResult<std::vector<Statement>> Parser::parse_block_or_statement() {
  if (consume(TokenKind::LBrace)) {
    return parse_block_rest();
  }
  if (depth_ >= kMaxNestingDepth) {
    return std::unexpected(too_deep());
  }
  DepthGuard guard(depth_);
  auto statement = parse_statement();
  if (!statement) {
    return std::unexpected(std::move(statement.error()));
  }
  std::vector<Statement> body;
  body.push_back(std::move(*statement));
  return body;
}

// Statements up to and including the closing brace; the opening brace has
// been consumed.
ParseResult<std::vector<Statement>> Parser::parse_block_rest() {
  if (depth_ >= kMaxNestingDepth) {
    return std::unexpected(too_deep());
  }
  DepthGuard guard(depth_);
  std::vector<Statement> body;
  while (!consume(TokenKind::RBrace)) {
    auto statement = parse_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    body.push_back(std::move(*statement));
  }
  return body;
}

ParseResult<Statement> Parser::parse_identifier_statement() {
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  if (consume(TokenKind::LBracket)) {
    auto index = parse_bracketed_int();
    if (!index) {
      return std::unexpected(std::move(index.error()));
    }
    return parse_assignment(std::move(*name), *index);
  }
  if (next_is(TokenKind::Equals)) {
    return parse_assignment(std::move(*name), std::nullopt);
  }
  if (consume(TokenKind::LParen)) {
    auto params = parse_expression_list();
    if (!params) {
      return std::unexpected(std::move(params.error()));
    }
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(std::move(closed.error()));
    }
    return parse_gate_call(std::move(*name), std::move(params->expressions));
  }
  return parse_gate_call(std::move(*name), {});
}

ParseResult<Statement> Parser::parse_assignment(
    std::string name, std::optional<std::uint64_t> index) {
  if (auto equals = expect(TokenKind::Equals); !equals) {
    return std::unexpected(std::move(equals.error()));
  }
  if (consume(TokenKind::Measure)) {
    auto qubits = parse_qubit_refs();
    if (!qubits) {
      return std::unexpected(std::move(qubits.error()));
    }
    if (auto end = expect(TokenKind::Semicolon); !end) {
      return std::unexpected(std::move(end.error()));
    }
    std::vector<BitRef> bits;
    bits.push_back(BitRef{std::move(name), index});
    return Statement{stmt::Measure{std::move(*qubits), std::move(bits)}};
  }
  auto value = parse_expression();
  if (!value) {
    return std::unexpected(std::move(value.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return Statement{
      stmt::Assign{std::move(name), index, box(std::move(*value))}};
}

ParseResult<Statement> Parser::parse_gate_call(std::string name,
                                               std::vector<Expression> params) {
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return Statement{stmt::GateCall{
      std::move(name), std::move(params), std::move(*qubits), {}}};
}

}  // namespace qelto::qasm3
