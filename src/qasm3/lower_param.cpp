#include <array>
#include <string_view>
#include <type_traits>

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
ParseResult<Param> binary(const expr::BinOp& e) {
  auto left = expr_to_param(*e.left);
  if (!left) {
    return left;
  }
  auto right = expr_to_param(*e.right);
  if (!right) {
    return right;
  }
  return combine(e.op, std::move(*left), std::move(*right));
}

ParseResult<Param> call(const Expression& whole, const expr::FnCall& e) {
  if (!is_known_function(e.name)) {
    return std::unexpected(Other{"Unknown function: " + e.name});
  }
  if (auto value = whole.as_f64()) {
    return Param::constant(*value);
  }
  return std::unexpected(
      Other{"Cannot evaluate function " + e.name + " with symbolic arguments"});
}

ParseResult<Param> negation(const expr::Neg& e) {
  auto operand = expr_to_param(*e.operand);
  if (!operand) {
    return operand;
  }
  return Param::neg(std::move(*operand));
}

}  // namespace

ParseResult<ir::ParameterExpression> expr_to_param(
    const Expression& expression) {
  return std::visit(
      [&](const auto& e) -> ParseResult<Param> {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, expr::Int>) {
          // Nearest double, so literals beyond 2^63 keep their magnitude.
          return Param::constant(static_cast<double>(e.value));
        } else if constexpr (std::is_same_v<E, expr::Float>) {
          return Param::constant(e.value);
        } else if constexpr (std::is_same_v<E, expr::Identifier>) {
          return Param::symbol(e.name);
        } else if constexpr (std::is_same_v<E, expr::Pi>) {
          return Param::pi();
        } else if constexpr (std::is_same_v<E, expr::Tau>) {
          return Param::constant(kTau);
        } else if constexpr (std::is_same_v<E, expr::Euler>) {
          return Param::constant(kEuler);
        } else if constexpr (std::is_same_v<E, expr::Neg>) {
          return negation(e);
        } else if constexpr (std::is_same_v<E, expr::Paren>) {
          return expr_to_param(*e.inner);
        } else if constexpr (std::is_same_v<E, expr::BinOp>) {
          return binary(e);
        } else if constexpr (std::is_same_v<E, expr::FnCall>) {
          return call(expression, e);
        } else {
          return std::unexpected(
              Other{"Cannot convert expression to parameter: " +
                    to_string(expression)});
        }
      },
      expression.node);
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
