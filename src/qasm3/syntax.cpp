#include "qasm3/syntax.hpp"

#include <memory>
#include <string>
#include <utility>

namespace qelto::qasm3 {
namespace {

std::unique_ptr<Expression> boxed(const SyntaxTree& tree,
                                  std::uint32_t expression) {
  return std::make_unique<Expression>(to_expression(tree, expression));
}

std::vector<Expression> expressions(const SyntaxTree& tree,
                                    SyntaxRange range) {
  std::vector<Expression> out;
  out.reserve(range.count);
  for (std::uint32_t i = 0; i < range.count; ++i) {
    out.push_back(to_expression(tree, tree.expression_lists[range.first + i]));
  }
  return out;
}

std::vector<BitRef> bit_refs(const SyntaxTree& tree, SyntaxRange range) {
  std::vector<BitRef> out;
  out.reserve(range.count);
  for (std::uint32_t i = 0; i < range.count; ++i) {
    const SyntaxRef& ref = tree.refs[range.first + i];
    out.push_back(BitRef{std::string(ref.name), ref.index});
  }
  return out;
}

std::vector<Statement> statements(const SyntaxTree& tree, SyntaxRange range) {
  std::vector<Statement> out;
  out.reserve(range.count);
  for (std::uint32_t i = 0; i < range.count; ++i) {
    out.push_back(to_statement(
        tree, tree.statements[tree.statement_lists[range.first + i]]));
  }
  return out;
}

std::vector<std::string> texts(const SyntaxTree& tree, SyntaxRange range) {
  std::vector<std::string> out;
  out.reserve(range.count);
  for (std::uint32_t i = 0; i < range.count; ++i) {
    out.emplace_back(tree.names[range.first + i]);
  }
  return out;
}

Statement control_flow(const SyntaxTree& tree, const SyntaxStmt& s) {
  const SyntaxDetail& d = tree.details[s.detail];
  switch (s.kind) {
    case SyntaxStmtKind::If: {
      stmt::If node{boxed(tree, d.expr[0]), statements(tree, d.body), {}};
      if (d.else_body) {
        node.else_body = statements(tree, *d.else_body);
      }
      return {std::move(node)};
    }
    case SyntaxStmtKind::For:
      return {stmt::For{std::string(s.name), boxed(tree, d.expr[0]),
                        boxed(tree, d.expr[1]),
                        d.has_step ? boxed(tree, d.expr[2]) : nullptr,
                        statements(tree, d.body)}};
    default:
      return {stmt::GateDef{std::string(s.name), texts(tree, d.gate_params),
                            texts(tree, d.gate_qubits),
                            statements(tree, d.body)}};
  }
}

}  // namespace

void SyntaxTree::clear() noexcept {
  expressions.clear();
  expression_lists.clear();
  refs.clear();
  statements.clear();
  details.clear();
  statement_lists.clear();
  names.clear();
}

Statement to_statement(const SyntaxTree& tree, const SyntaxStmt& s) {
  switch (s.kind) {
    case SyntaxStmtKind::Include:
      return {stmt::Include{std::string(s.name)}};
    case SyntaxStmtKind::QubitDecl:
      return {stmt::QubitDecl{std::string(s.name), s.number}};
    case SyntaxStmtKind::BitDecl:
      return {stmt::BitDecl{std::string(s.name), s.number}};
    case SyntaxStmtKind::GateCall:
      return {stmt::GateCall{std::string(s.name), expressions(tree, s.params),
                             bit_refs(tree, s.qubits), {}}};
    case SyntaxStmtKind::Measure:
      return {stmt::Measure{bit_refs(tree, s.qubits), bit_refs(tree, s.bits)}};
    case SyntaxStmtKind::Reset:
      return {stmt::Reset{bit_refs(tree, s.qubits)}};
    case SyntaxStmtKind::Barrier:
      return {stmt::Barrier{bit_refs(tree, s.qubits)}};
    case SyntaxStmtKind::Assign:
      return {stmt::Assign{std::string(s.name), s.number,
                           boxed(tree, tree.details[s.detail].expr[0])}};
    default:
      return control_flow(tree, s);
  }
}

Expression to_expression(const SyntaxTree& tree, std::uint32_t expression) {
  const SyntaxExpr& e = tree.expressions[expression];
  switch (e.kind) {
    case SyntaxExprKind::Int:
      return {expr::Int{e.integer}};
    case SyntaxExprKind::Float:
      return {expr::Float{e.real}};
    case SyntaxExprKind::Bool:
      return {expr::Bool{e.truth}};
    case SyntaxExprKind::Identifier:
      return {expr::Identifier{std::string(e.name)}};
    case SyntaxExprKind::Pi:
      return {expr::Pi{}};
    case SyntaxExprKind::Tau:
      return {expr::Tau{}};
    case SyntaxExprKind::Euler:
      return {expr::Euler{}};
    case SyntaxExprKind::Neg:
      return make_neg(to_expression(tree, e.left));
    case SyntaxExprKind::BinOp:
      return make_binop(to_expression(tree, e.left), e.op,
                        to_expression(tree, e.right));
    case SyntaxExprKind::FnCall:
      return {expr::FnCall{std::string(e.name), expressions(tree, e.args)}};
    case SyntaxExprKind::Paren:
      return make_paren(to_expression(tree, e.left));
  }
  return {};
}

}  // namespace qelto::qasm3
