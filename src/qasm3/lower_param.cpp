#include <array>
#include <string_view>
#include <string>

#include "qasm3/lower.hpp"

namespace qelto::qasm3 {
namespace {

using Param = ir::ParameterExpression;

constexpr double kTau = 6.283185307179586;
constexpr double kEuler = 2.718281828459045;

constexpr std::array<std::string_view, 6> kFunctions = {"ln",  "sin", "cos",
                                                        "tan", "exp", "sqrt"};

bool is_known_function(std::string_view name) {
  for (std::string_view known : kFunctions) {
    if (known == name) {
      return true;
    }
  }
  return false;
}

ParseResult<Param> combine(BinOp op, Param left, Param right) {
  switch (op) {
    case BinOp::Add:
      return Param::add(std::move(left), std::move(right));
    case BinOp::Sub:
      return Param::sub(std::move(left), std::move(right));
    case BinOp::Mul:
      return Param::mul(std::move(left), std::move(right));
    case BinOp::Div:
      return Param::div(std::move(left), std::move(right));
    default:
      return std::unexpected(
          Other{"Unsupported operator in parameter: " + to_string(op)});
  }
}

// Both operands are converted first, so their errors win over the operator's.
ParseResult<Param> binary(const SyntaxTree& tree, const SyntaxExpr& e) {
  auto left = expr_to_param(tree, e.left);
  if (!left) {
    return left;
  }
  auto right = expr_to_param(tree, e.right);
  if (!right) {
    return right;
  }
  return combine(e.op, std::move(*left), std::move(*right));
}

// Calls are rare in gate parameters, so they are folded on an owning copy
// of the call rather than on the flat form.
ParseResult<Param> call(const SyntaxTree& tree, std::uint32_t whole,
                        const SyntaxExpr& e) {
  if (!is_known_function(e.name)) {
    return std::unexpected(Other{"Unknown function: " + std::string(e.name)});
  }
  if (auto value = to_expression(tree, whole).as_f64()) {
    return Param::constant(*value);
  }
  return std::unexpected(Other{"Cannot evaluate function " +
                               std::string(e.name) +
                               " with symbolic arguments"});
}

ParseResult<Param> negation(const SyntaxTree& tree, const SyntaxExpr& e) {
  auto operand = expr_to_param(tree, e.left);
  if (!operand) {
    return operand;
  }
  return Param::neg(std::move(*operand));
}

}  // namespace

ParseResult<ir::ParameterExpression> expr_to_param(const SyntaxTree& tree,
                                                   std::uint32_t expression) {
  const SyntaxExpr& e = tree.expressions[expression];
  switch (e.kind) {
    case SyntaxExprKind::Int:
      // Nearest double, so literals beyond 2^63 keep their magnitude.
      return Param::constant(static_cast<double>(e.integer));
    case SyntaxExprKind::Float:
      return Param::constant(e.real);
    case SyntaxExprKind::Identifier:
      return Param::symbol(std::string(e.name));
    case SyntaxExprKind::Pi:
      return Param::pi();
    case SyntaxExprKind::Tau:
      return Param::constant(kTau);
    case SyntaxExprKind::Euler:
      return Param::constant(kEuler);
    case SyntaxExprKind::Neg:
      return negation(tree, e);
    case SyntaxExprKind::Paren:
      return expr_to_param(tree, e.left);
    case SyntaxExprKind::BinOp:
      return binary(tree, e);
    case SyntaxExprKind::FnCall:
      return call(tree, expression, e);
    default:
      return std::unexpected(
          Other{"Cannot convert expression to parameter: " +
                to_string(to_expression(tree, expression))});
  }
}

ParseResult<void> check_param_count(std::string_view gate, std::uint64_t got,
                                    std::uint64_t expected) {
  if (got == expected) {
    return {};
  }
  return std::unexpected(WrongParamCount{std::string(gate), expected, got});
}

ParseResult<void> check_qubit_count(std::string_view gate, std::uint64_t got,
                                    std::uint64_t expected) {
  if (got == expected) {
    return {};
  }
  return std::unexpected(WrongQubitCount{std::string(gate), expected, got});
}

}  // namespace qelto::qasm3
