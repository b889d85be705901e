#include <algorithm>
#include <optional>
#include <utility>

#include "qasm3/number.hpp"
#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

struct BinaryOperator {
  BinOp op;
  std::uint8_t precedence;
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

// Why the expression parser keeps its own stacks: nesting costs it memory
// in proportion to the text, never the calling thread's stack, so any
// expression reads alike on the main thread and on a thread of 64 KiB, and
// an expression may nest as deep as its text allows. That is what the
// writer needs: it parenthesises every operation it writes, so the text it
// writes of an angle nests about twice as deep as the angle, and an angle
// expanded from gate definitions nests deeper than any one text of it.
// It is operator precedence parsing in the order recursive descent would
// take: the same trees, the same errors at the same tokens.

ParseStep<std::uint32_t> Parser::parse_expression() {
  return parse_expression_tree();
}

ParseStep<SyntaxRange> Parser::parse_expression_list() {
  const std::size_t mark = pending_expressions_.size();
  if (next_is(TokenKind::RParen)) {
    return take_expressions(mark);
  }
  do {
    auto tree = parse_expression_tree();
    if (!tree) {
      return std::unexpected(std::move(tree.error()));
    }
    pending_expressions_.push_back(*tree);
  } while (consume(TokenKind::Comma));
  return take_expressions(mark);
}

// Reads operands and operators in turn. After each operand, the negations
// waiting for it apply; a binary operator first reduces those waiting with
// the same or a higher precedence (every operator is left-associative, `**`
// included); anything else ends the innermost open group or call, or the
// expression.
ParseStep<std::uint32_t> Parser::parse_expression_tree() {
  waiting_.clear();
  calls_.clear();
  operands_.clear();
  for (;;) {
    if (auto operand = parse_operand(); !operand) {
      return std::unexpected(operand.error());
    }
    for (;;) {
      apply_negations();
      const auto op =
          readable() ? binary_operator(lexeme_.kind) : std::nullopt;
      if (op) {
        reduce_binary(op->precedence);
        Waiting& binary = waiting_.emplace_back();
        binary.op = op->op;
        binary.precedence = op->precedence;
        advance();
        break;
      }
      reduce_binary(0);
      if (waiting_.empty()) {
        return operands_.back();
      }
      auto closed = close_group();
      if (!closed) {
        return std::unexpected(closed.error());
      }
      if (!*closed) {
        // A comma: the call's next argument follows.
        break;
      }
    }
  }
}

// Negations, opening parentheses and calls up to one operand, which ends on
// `operands_`: a literal, a name, or a call without arguments.
ParseStep<void> Parser::parse_operand() {
  for (;;) {
    if (at_end()) {
      return fail(UnexpectedEof{"expression"});
    }
    if (!readable()) {
      return fail(unexpected("expression"));
    }
    switch (lexeme_.kind) {
      // `-` and `!` alike are negation.
      case TokenKind::Minus:
      case TokenKind::Bang:
      case TokenKind::LParen: {
        Waiting& group = waiting_.emplace_back();
        group.kind = lexeme_.kind == TokenKind::LParen
                         ? Waiting::Kind::Group
                         : Waiting::Kind::Negation;
        advance();
        continue;
      }
      case TokenKind::Identifier: {
        std::string_view name = text();
        advance();
        if (!consume(TokenKind::LParen)) {
          new_expression(SyntaxExprKind::Identifier).name = name;
          operands_.push_back(last_expression());
          return {};
        }
        waiting_.emplace_back().kind = Waiting::Kind::Call;
        calls_.push_back(OpenCall{pending_expressions_.size(), name});
        if (next_is(TokenKind::RParen)) {
          return finish_call();
        }
        continue;
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
    operands_.push_back(last_expression());
    return {};
  }
}

void Parser::apply_negations() {
  while (!waiting_.empty() &&
         waiting_.back().kind == Waiting::Kind::Negation) {
    waiting_.pop_back();
    wrap_operand(SyntaxExprKind::Neg);
  }
}

// Builds the binary operations waiting with at least `min_precedence`,
// innermost first.
void Parser::reduce_binary(std::uint8_t min_precedence) {
  while (!waiting_.empty() && waiting_.back().kind == Waiting::Kind::Binary &&
         waiting_.back().precedence >= min_precedence) {
    const BinOp op = waiting_.back().op;
    waiting_.pop_back();
    const std::uint32_t right = operands_.back();
    operands_.pop_back();
    SyntaxExpr& node = new_expression(SyntaxExprKind::BinOp);
    node.op = op;
    node.left = operands_.back();
    node.right = right;
    operands_.back() = last_expression();
  }
}

// Ends the innermost open group or call at the current token: true once a
// parenthesis or a call is complete (it is then the operand on top), false
// after a comma between a call's arguments.
ParseStep<bool> Parser::close_group() {
  if (waiting_.back().kind == Waiting::Kind::Group) {
    if (auto closed = expect(TokenKind::RParen); !closed) {
      return std::unexpected(closed.error());
    }
    waiting_.pop_back();
    wrap_operand(SyntaxExprKind::Paren);
    return true;
  }
  pending_expressions_.push_back(operands_.back());
  operands_.pop_back();
  if (consume(TokenKind::Comma)) {
    return false;
  }
  if (auto finished = finish_call(); !finished) {
    return std::unexpected(finished.error());
  }
  return true;
}

// The call on top of `waiting_` with the arguments gathered since its mark.
ParseStep<void> Parser::finish_call() {
  if (auto closed = expect(TokenKind::RParen); !closed) {
    return closed;
  }
  const OpenCall call = calls_.back();
  calls_.pop_back();
  waiting_.pop_back();
  const SyntaxRange args = take_expressions(call.mark);
  SyntaxExpr& node = new_expression(SyntaxExprKind::FnCall);
  node.args = args;
  node.name = call.name;
  operands_.push_back(last_expression());
  return {};
}

// A negation or parenthesis over the operand on top, which it replaces.
void Parser::wrap_operand(SyntaxExprKind kind) {
  new_expression(kind).left = operands_.back();
  operands_.back() = last_expression();
}

}  // namespace qelto::qasm3
