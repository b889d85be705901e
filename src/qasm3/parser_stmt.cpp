#include <optional>
#include <string_view>
#include <utility>

#include "qasm3/parser.hpp"
#include "qasm3/stack_room.hpp"

namespace qelto::qasm3 {

namespace {

// Words that start a statement of a feature the reader does not support
// although the scanner reads them as plain identifiers; each is refused with
// the feature's name rather than a syntax error.
struct FeatureWord {
  std::string_view word;
  std::string_view feature;
};

constexpr FeatureWord kFeatureWords[] = {
    {"uint", "classical types"},         {"angle", "classical types"},
    {"complex", "classical types"},      {"duration", "classical types"},
    {"stretch", "classical types"},      {"array", "classical types"},
    {"box", "box statements"},           {"switch", "switch statements"},
    {"extern", "extern declarations"},   {"defcal", "calibrations"},
    {"cal", "calibrations"},             {"defcalgrammar", "calibrations"},
    {"break", "break statements"},       {"continue", "continue statements"},
    {"end", "end statements"},
};

// The feature a statement starting with the word `name` belongs to, when
// `next` (the token after it) shows it is not an assignment. A name followed
// by `[` is checked again after the index (`angle[20] a;` against
// `angle[0] = 1;`).
std::optional<std::string_view> feature_of(std::string_view name,
                                           TokenKind next) {
  if (next == TokenKind::Equals || next == TokenKind::LBracket) {
    return std::nullopt;
  }
  for (const FeatureWord& entry : kFeatureWords) {
    if (entry.word == name) {
      return entry.feature;
    }
  }
  return std::nullopt;
}

}  // namespace

ParseStep<std::uint32_t> Parser::parse_statement() {
  if (at_end()) {
    return fail(UnexpectedEof{"statement"});
  }
  if (!readable()) {
    return fail(unexpected("statement"));
  }
  const std::size_t start = lexeme_.span.start;
  auto statement = parse_statement_at(lexeme_.kind);
  if (statement) {
    syntax_.statements[*statement].offset = start;
  }
  return statement;
}

ParseStep<std::uint32_t> Parser::parse_statement_at(TokenKind kind) {
  switch (kind) {
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
    case TokenKind::Delay:
      return parse_delay();
    case TokenKind::Gate:
      return parse_gate_def();
    case TokenKind::If:
      return parse_if();
    case TokenKind::For:
      return parse_for();
    case TokenKind::Identifier:
    case TokenKind::U:
    case TokenKind::CX:
      return parse_identifier_statement();
    case TokenKind::While:
      return unsupported("while loops");
    case TokenKind::Def:
    case TokenKind::Return:
      return unsupported("subroutines (def)");
    case TokenKind::Const:
      return unsupported("const declarations");
    case TokenKind::Let:
      return unsupported("aliases (let)");
    case TokenKind::Input:
    case TokenKind::Output:
      return unsupported("input and output declarations");
    case TokenKind::Int:
    case TokenKind::Float:
    case TokenKind::Bool:
      return unsupported("classical types");
    default:
      return fail(unexpected("statement"));
  }
}

// A register size in brackets, if one follows.
ParseStep<std::optional<std::uint64_t>> Parser::parse_optional_size() {
  if (!consume(TokenKind::LBracket)) {
    return std::nullopt;
  }
  auto value = parse_bracketed_int();
  if (!value) {
    return std::unexpected(std::move(value.error()));
  }
  return *value;
}

// `qreg name[size];` and `creg name[size];`, the register declarations of
// OpenQASM 2; the keyword has been read.
ParseStep<std::uint32_t> Parser::parse_register(SyntaxStmtKind kind) {
  auto name = parse_identifier();
  if (!name) {
    return std::unexpected(std::move(name.error()));
  }
  auto size = parse_optional_size();
  if (!size) {
    return std::unexpected(std::move(size.error()));
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  SyntaxStmt& decl = new_statement(kind);
  decl.name = *name;
  decl.number = *size;
  return last_statement();
}

// `delay[N] qubits;` or `delay[Ndt] qubits;`: a whole number of device time
// steps. Durations in other units cannot be converted without a device.
ParseStep<std::uint32_t> Parser::parse_delay() {
  advance();
  if (auto open = expect(TokenKind::LBracket); !open) {
    return std::unexpected(std::move(open.error()));
  }
  if (readable() && lexeme_.kind == TokenKind::FloatLiteral) {
    return fail(Other{"delay durations must be a whole number of dt"});
  }
  auto duration = parse_int_literal();
  if (!duration) {
    return std::unexpected(std::move(duration.error()));
  }
  if (next_is(TokenKind::Identifier)) {
    if (text() != "dt") {
      return fail(Other{"delay unit '" + std::string(text()) +
                        "' is not supported: durations are read in dt"});
    }
    advance();
  }
  if (auto closed = expect(TokenKind::RBracket); !closed) {
    return std::unexpected(std::move(closed.error()));
  }
  auto qubits = parse_operands();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  SyntaxStmt& delay = new_statement(SyntaxStmtKind::Delay);
  delay.number = *duration;
  delay.qubits = *qubits;
  return last_statement();
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
  auto size = parse_optional_size();
  if (!size) {
    return std::unexpected(std::move(size.error()));
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
  decl.number = *size;
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

// The qubit references that end a statement, and its semicolon.
ParseStep<SyntaxRange> Parser::parse_operands() {
  auto qubits = parse_qubit_refs();
  if (!qubits) {
    return qubits;
  }
  if (auto end = expect(TokenKind::Semicolon); !end) {
    return std::unexpected(std::move(end.error()));
  }
  return qubits;
}

ParseStep<std::uint32_t> Parser::parse_reset() {
  advance();
  auto qubits = parse_operands();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
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
  auto qubits = parse_operands();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
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
  if (depth_ >= kMaxNestingDepth || !stack_room_left()) {
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
  if (depth_ >= kMaxNestingDepth || !stack_room_left()) {
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
  // The built-in gates U and CX are keywords; they are called like any gate.
  const std::string_view name = text();
  advance();
  if (!readable()) {
    return parse_gate_call(name, SyntaxRange{});
  }
  if (name == "qreg" && lexeme_.kind == TokenKind::Identifier) {
    return parse_register(SyntaxStmtKind::QubitDecl);
  }
  if (name == "creg" && lexeme_.kind == TokenKind::Identifier) {
    return parse_register(SyntaxStmtKind::BitDecl);
  }
  if (auto feature = feature_of(name, lexeme_.kind)) {
    return unsupported(*feature);
  }
  if (consume(TokenKind::LBracket)) {
    auto index = parse_bracketed_int();
    if (!index) {
      return std::unexpected(std::move(index.error()));
    }
    if (readable()) {
      if (auto feature = feature_of(name, lexeme_.kind)) {
        return unsupported(*feature);
      }
    }
    return parse_assignment(name, *index);
  }
  if (next_is(TokenKind::Equals)) {
    return parse_assignment(name, std::nullopt);
  }
  auto params = SyntaxRange{
      static_cast<std::uint32_t>(syntax_.expression_lists.size()), 0};
  if (consume(TokenKind::LParen)) {
    auto list = parse_expression_list();
    if (!list) {
      return std::unexpected(std::move(list.error()));
    }
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(std::move(closed.error()));
    }
    params = *list;
  }
  if (next_is(TokenKind::At)) {
    return unsupported("gate modifiers");
  }
  return parse_gate_call(name, params);
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
  auto qubits = parse_operands();
  if (!qubits) {
    return std::unexpected(std::move(qubits.error()));
  }
  SyntaxStmt& call = new_statement(SyntaxStmtKind::GateCall);
  call.name = name;
  call.params = params;
  call.qubits = *qubits;
  return last_statement();
}

}  // namespace qelto::qasm3
