#include <algorithm>
#include <optional>
#include <utility>

#include "qasm3/number.hpp"
#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

struct BinaryOperator {
  BinOp op;
  int precedence;
};

// Precedence climbing table. There is deliberately no level 8, and `<<`,
// `>>`, `!` and `~` are not binary operators: an expression ends before them.
std::optional<BinaryOperator> binary_operator(TokenKind kind) {
  switch (kind) {
    case TokenKind::OrOr:
      return BinaryOperator{BinOp::Or, 1};
    case TokenKind::AndAnd:
      return BinaryOperator{BinOp::And, 2};
    case TokenKind::Pipe:
      return BinaryOperator{BinOp::BitOr, 3};
    case TokenKind::Caret:
      return BinaryOperator{BinOp::BitXor, 4};
    case TokenKind::Amp:
      return BinaryOperator{BinOp::BitAnd, 5};
    case TokenKind::EqEq:
      return BinaryOperator{BinOp::Eq, 6};
    case TokenKind::NotEq:
      return BinaryOperator{BinOp::NotEq, 6};
    case TokenKind::Lt:
      return BinaryOperator{BinOp::Lt, 7};
    case TokenKind::LtEq:
      return BinaryOperator{BinOp::LtEq, 7};
    case TokenKind::Gt:
      return BinaryOperator{BinOp::Gt, 7};
    case TokenKind::GtEq:
      return BinaryOperator{BinOp::GtEq, 7};
    case TokenKind::Plus:
      return BinaryOperator{BinOp::Add, 9};
    case TokenKind::Minus:
      return BinaryOperator{BinOp::Sub, 9};
    case TokenKind::Star:
      return BinaryOperator{BinOp::Mul, 10};
    case TokenKind::Slash:
      return BinaryOperator{BinOp::Div, 10};
    case TokenKind::Percent:
      return BinaryOperator{BinOp::Mod, 10};
    case TokenKind::DoubleStar:
      return BinaryOperator{BinOp::Pow, 11};
    default:
      return std::nullopt;
  }
}

}  // namespace

ParseStep<std::uint32_t> Parser::parse_expression() {
  auto tree = parse_binary_expr(0);
  if (!tree) {
    return std::unexpected(std::move(tree.error()));
  }
  return tree->node;
}

ParseStep<Parser::Trees> Parser::parse_expression_list() {
  Trees list;
  const std::size_t mark = pending_expressions_.size();
  if (next_is(TokenKind::RParen)) {
    list.roots = take_expressions(mark);
    return list;
  }
  do {
    auto tree = parse_binary_expr(0);
    if (!tree) {
      return std::unexpected(std::move(tree.error()));
    }
    list.height = std::max(list.height, tree->height);
    pending_expressions_.push_back(tree->node);
  } while (consume(TokenKind::Comma));
  list.roots = take_expressions(mark);
  return list;
}

// Every operator is left-associative, `**` included: the right operand is
// parsed one level tighter than the operator itself.
ParseStep<Parser::Tree> Parser::parse_binary_expr(int min_precedence) {
  auto left = parse_unary_expr();
  if (!left) {
    return left;
  }
  while (readable()) {
    auto op = binary_operator(lexeme_.kind);
    if (!op || op->precedence < min_precedence) {
      break;
    }
    advance();
    auto right = parse_binary_expr(op->precedence + 1);
    if (!right) {
      return right;
    }
    // A chain of operators nests leftwards without any parentheses, so the
    // height is checked here, not only where the parser recurses.
    const std::uint32_t height = std::max(left->height, right->height) + 1;
    if (height > kMaxNestingDepth) {
      return fail(too_deep());
    }
    SyntaxExpr& node = new_expression(SyntaxExprKind::BinOp);
    node.op = op->op;
    node.left = left->node;
    node.right = right->node;
    left->node = last_expression();
    left->height = height;
  }
  return left;
}

ParseStep<Parser::Tree> Parser::parse_unary_expr() {
  if (at_end()) {
    return fail(UnexpectedEof{"expression"});
  }
  if (!readable()) {
    return fail(unexpected("expression"));
  }
  switch (lexeme_.kind) {
    case TokenKind::Minus:
    case TokenKind::Bang:
    case TokenKind::LParen:
      return parse_nested_unary();
    case TokenKind::Identifier: {
      std::string_view name = text();
      advance();
      if (consume(TokenKind::LParen)) {
        return parse_call(name);
      }
      new_expression(SyntaxExprKind::Identifier).name = name;
      return Tree{last_expression()};
    }
    case TokenKind::Pi:
      new_expression(SyntaxExprKind::Pi);
      break;
    case TokenKind::Tau:
      new_expression(SyntaxExprKind::Tau);
      break;
    case TokenKind::Euler:
      new_expression(SyntaxExprKind::Euler);
      break;
    case TokenKind::True:
    case TokenKind::False:
      new_expression(SyntaxExprKind::Bool).truth =
          lexeme_.kind == TokenKind::True;
      break;
    case TokenKind::FloatLiteral:
      new_expression(SyntaxExprKind::Float).real = parse_float(text());
      break;
    case TokenKind::IntLiteral:
      new_expression(SyntaxExprKind::Int).integer = lexeme_.value;
      break;
    case TokenKind::Int:
    case TokenKind::Float:
    case TokenKind::Bool:
    case TokenKind::Bit:
      return unsupported("casts to classical types");
    default:
      return fail(unexpected("expression"));
  }
  advance();
  return Tree{last_expression()};
}

// Negation (`-` and `!` alike) and parentheses: the forms that recurse
// before their node exists, so the open depth is bounded up front.
ParseStep<Parser::Tree> Parser::parse_nested_unary() {
  if (depth_ >= kMaxNestingDepth) {
    return fail(too_deep());
  }
  DepthGuard guard(depth_);
  bool paren = lexeme_.kind == TokenKind::LParen;
  advance();
  auto inner = paren ? parse_binary_expr(0) : parse_unary_expr();
  if (!inner) {
    return inner;
  }
  if (paren) {
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(std::move(closed.error()));
    }
  }
  if (inner->height + 1 > kMaxNestingDepth) {
    return fail(too_deep());
  }
  new_expression(paren ? SyntaxExprKind::Paren : SyntaxExprKind::Neg).left =
      inner->node;
  return Tree{last_expression(), inner->height + 1};
}

// Arguments of a call; the name and the opening parenthesis are consumed.
ParseStep<Parser::Tree> Parser::parse_call(std::string_view name) {
  if (depth_ >= kMaxNestingDepth) {
    return fail(too_deep());
  }
  DepthGuard guard(depth_);
  auto args = parse_expression_list();
  if (!args) {
    return std::unexpected(std::move(args.error()));
  }
  if (auto closed = expect(TokenKind::RParen); !closed) {
    return std::unexpected(std::move(closed.error()));
  }
  if (args->height + 1 > kMaxNestingDepth) {
    return fail(too_deep());
  }
  SyntaxExpr& node = new_expression(SyntaxExprKind::FnCall);
  node.args = args->roots;
  node.name = name;
  return Tree{last_expression(), args->height + 1};
}

}  // namespace qelto::qasm3
