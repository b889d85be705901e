#include <utility>

#include "qasm3/parser.hpp"

namespace qelto::qasm3 {

ParseStep<std::uint32_t> Parser::parse_statement() {
  if (at_end()) {
    return fail(UnexpectedEof{"statement"});
  }
  if (!readable()) {
    return fail(unexpected("statement"));
  }
  switch (lexeme_.kind) {
    case TokenKind::Include:
      return parse_include();
    case TokenKind::Qubit:
    case TokenKind::Bit:
      return parse_declaration(lexeme_.kind);
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
      return fail(unexpected("statement"));
  }
}

ParseStep<std::uint32_t> Parser::parse_include() {
  advance();
  if (at_end()) {
    return fail(UnexpectedEof{"include path"});
  }
  if (!next_is(TokenKind::StringLiteral)) {
    return fail(unexpected("string literal"));
  }
  std::string_view path = text().substr(1, text().size() - 2);
  advance();
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  new_statement(SyntaxStmtKind::Include).name = path;
  return last_statement();
}

ParseStep<std::uint32_t> Parser::parse_declaration(TokenKind kind) {
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
  SyntaxStmt& decl = new_statement(kind == TokenKind::Qubit
                                       ? SyntaxStmtKind::QubitDecl
                                       : SyntaxStmtKind::BitDecl);
  decl.name = *name;
  decl.number = size;
  return last_statement();
}

ParseStep<std::uint32_t> Parser::parse_measure() {
  advance();
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  SyntaxRange bits{qubits->first + qubits->count, 0};
  if (consume(TokenKind::Arrow)) {
    auto targets = parse_qubit_refs();
    if (!targets) {
      return std::unexpected(std::move(targets.error()));
    }
    bits = *targets;
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  SyntaxStmt& measure = new_statement(SyntaxStmtKind::Measure);
  measure.qubits = *qubits;
  measure.bits = bits;
  return last_statement();
}

ParseStep<std::uint32_t> Parser::parse_reset() {
  advance();
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  new_statement(SyntaxStmtKind::Reset).qubits = *qubits;
  return last_statement();
}

ParseStep<std::uint32_t> Parser::parse_barrier() {
  advance();
  if (consume(TokenKind::Semicolon)) {
    new_statement(SyntaxStmtKind::Barrier).qubits.first =
        static_cast<std::uint32_t>(syntax_.refs.size());
    return last_statement();
  }
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  new_statement(SyntaxStmtKind::Barrier).qubits = *qubits;
  return last_statement();
}

ParseStep<std::uint32_t> Parser::parse_gate_def() {
  advance();
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  SyntaxStmt def;
  def.kind = SyntaxStmtKind::GateDef;
  def.name = *name;
  SyntaxDetail detail;
  detail.gate_params.first = static_cast<std::uint32_t>(syntax_.names.size());
  if (consume(TokenKind::LParen)) {
    auto params = parse_identifier_list();
    if (!params) {
      return std::unexpected(std::move(params.error()));
    }
    detail.gate_params = *params;
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(std::move(closed.error()));
    }
  }
  auto qubits = parse_identifier_list();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  detail.gate_qubits = *qubits;
  if (auto open = expect(TokenKind::LBrace); !open) {
    return std::unexpected(std::move(open.error()));
  }
  auto body = parse_block_rest();
  if (!body) {
    return std::unexpected(std::move(body.error()));
  }
  detail.body = *body;
  return add(def, detail);
}

ParseStep<std::uint32_t> Parser::parse_if() {
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
  SyntaxStmt statement;
  statement.kind = SyntaxStmtKind::If;
  SyntaxDetail detail;
  detail.expr[0] = *condition;
  detail.body = *then_body;
  if (consume(TokenKind::Else)) {
    auto else_body = parse_block_or_statement();
    if (!else_body) {
      return std::unexpected(std::move(else_body.error()));
    }
    detail.else_body = *else_body;
  }
  return add(statement, detail);
}

ParseStep<std::uint32_t> Parser::parse_for() {
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
  SyntaxStmt loop;
  loop.kind = SyntaxStmtKind::For;
  loop.name = *variable;
  SyntaxDetail detail;
  detail.expr[0] = *start;
  detail.expr[1] = *end;
  if (consume(TokenKind::Colon)) {
    auto step = parse_expression();
    if (!step) {
      return std::unexpected(std::move(step.error()));
    }
    detail.expr[2] = *step;
    detail.has_step = true;
  }
  if (auto closed = expect(TokenKind::RBracket); !closed) {
    return std::unexpected(std::move(closed.error()));
  }
  auto body = parse_block_or_statement();
  if (!body) {
    return std::unexpected(std::move(body.error()));
  }
  detail.body = *body;
  return add(loop, detail);
}

ParseStep<SyntaxRange> Parser::parse_block_or_statement() {
  if (consume(TokenKind::LBrace)) {
    return parse_block_rest();
  }
  if (depth_ >= kMaxNestingDepth) {
    return fail(too_deep());
  }
  DepthGuard guard(depth_);
  const std::size_t mark = pending_statements_.size();
  auto statement = parse_statement();
  if (!statement) {
    return std::unexpected(std::move(statement.error()));
  }
  pending_statements_.push_back(*statement);
  return take_statements(mark);
}

// Statements up to and including the closing brace; the opening brace has
// been consumed.
ParseStep<SyntaxRange> Parser::parse_block_rest() {
  if (depth_ >= kMaxNestingDepth) {
    return fail(too_deep());
  }
  DepthGuard guard(depth_);
  const std::size_t mark = pending_statements_.size();
  while (!consume(TokenKind::RBrace)) {
    auto statement = parse_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    pending_statements_.push_back(*statement);
  }
  return take_statements(mark);
}

ParseStep<std::uint32_t> Parser::parse_identifier_statement() {
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  if (consume(TokenKind::LBracket)) {
    auto index = parse_bracketed_int();
    if (!index) {
      return std::unexpected(std::move(index.error()));
    }
    return parse_assignment(*name, *index);
  }
  if (next_is(TokenKind::Equals)) {
    return parse_assignment(*name, std::nullopt);
  }
  if (consume(TokenKind::LParen)) {
    auto params = parse_expression_list();
    if (!params) {
      return std::unexpected(std::move(params.error()));
    }
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(std::move(closed.error()));
    }
    return parse_gate_call(*name, params->roots);
  }
  return parse_gate_call(
      *name,
      SyntaxRange{static_cast<std::uint32_t>(syntax_.expression_lists.size()),
                  0});
}

ParseStep<std::uint32_t> Parser::parse_assignment(
    std::string_view name, std::optional<std::uint64_t> index) {
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
    SyntaxRef& target = append(syntax_.refs);
    target.name = name;
    target.index = index;
    SyntaxStmt& measure = new_statement(SyntaxStmtKind::Measure);
    measure.qubits = *qubits;
    measure.bits = SyntaxRange{qubits->first + qubits->count, 1};
    return last_statement();
  }
  auto value = parse_expression();
  if (!value) {
    return std::unexpected(std::move(value.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  SyntaxStmt statement;
  statement.kind = SyntaxStmtKind::Assign;
  statement.name = name;
  statement.number = index;
  SyntaxDetail detail;
  detail.expr[0] = *value;
  return add(statement, detail);
}

ParseStep<std::uint32_t> Parser::parse_gate_call(std::string_view name,
                                                   SyntaxRange params) {
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  SyntaxStmt& call = new_statement(SyntaxStmtKind::GateCall);
  call.name = name;
  call.params = params;
  call.qubits = *qubits;
  return last_statement();
}

}  // namespace qelto::qasm3
