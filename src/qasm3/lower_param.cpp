#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "qasm3/lower.hpp"
#include "qasm3/syntax_text.hpp"
#include "qasm3/token.hpp"

namespace qelto::qasm3 {
namespace {

using Param = ir::ParameterExpression;

constexpr double kPi = 3.141592653589793;
constexpr double kTau = 6.283185307179586;
constexpr double kEuler = 2.718281828459045;

using Function = double (*)(double);

// The one-argument functions a gate angle may apply to a number.
constexpr std::array<std::pair<std::string_view, Function>, 6> kFunctions = {{
    {"ln", [](double x) { return std::log(x); }},
    {"sin", [](double x) { return std::sin(x); }},
    {"cos", [](double x) { return std::cos(x); }},
    {"tan", [](double x) { return std::tan(x); }},
    {"exp", [](double x) { return std::exp(x); }},
    {"sqrt", [](double x) { return std::sqrt(x); }},
}};

Function find_function(std::string_view name) {
  for (const auto& [known, function] : kFunctions) {
    if (known == name) {
      return function;
    }
  }
  return nullptr;
}

std::optional<double> fold(const SyntaxTree& tree, std::uint32_t expression,
                           const Bindings& bindings);

const Param* bound(const Bindings& bindings, std::string_view name) {
  for (std::size_t i = 0; i < bindings.names.size(); ++i) {
    if (bindings.names[i] == name) {
      return &bindings.values[i];
    }
  }
  return nullptr;
}

// Division by zero gives not-a-number without dividing, so that folding
// raises no floating-point exception; the caller refuses the result.
std::optional<double> fold_binary(BinOp op, double left, double right) {
  switch (op) {
    case BinOp::Add:
      return left + right;
    case BinOp::Sub:
      return left - right;
    case BinOp::Mul:
      return left * right;
    case BinOp::Div:
      if (right == 0.0) {
        return std::numeric_limits<double>::quiet_NaN();
      }
      return left / right;
    case BinOp::Mod:
      if (right == 0.0) {
        return std::numeric_limits<double>::quiet_NaN();
      }
      return std::fmod(left, right);
    case BinOp::Pow:
      return std::pow(left, right);
    default:
      return std::nullopt;
  }
}

// The number an expression denotes, where it is one: literals, the three
// constants, negation, parentheses, +, -, *, /, % (remainder with the sign
// of the left operand) and ** over numbers, and a known function of one
// number, over numbers and names bound to numbers. Recursive, to the depth
// the parser allows (kMaxNestingDepth).
std::optional<double> fold(const SyntaxTree& tree, std::uint32_t expression,
                           const Bindings& bindings) {
  const SyntaxExpr& e = tree.expressions[expression];
  switch (e.kind) {
    case SyntaxExprKind::Identifier: {
      const Param* value = bound(bindings, e.name);
      if (value == nullptr) {
        return std::nullopt;
      }
      if (const auto* constant = value->get_if<Param::Constant>()) {
        return constant->value;
      }
      if (value->get_if<Param::Pi>() != nullptr) {
        return kPi;
      }
      return std::nullopt;
    }
    case SyntaxExprKind::Int:
      return static_cast<double>(e.integer);
    case SyntaxExprKind::Float:
      return e.real;
    case SyntaxExprKind::Pi:
      return kPi;
    case SyntaxExprKind::Tau:
      return kTau;
    case SyntaxExprKind::Euler:
      return kEuler;
    case SyntaxExprKind::Neg: {
      auto value = fold(tree, e.left, bindings);
      return value ? std::optional(-*value) : std::nullopt;
    }
    case SyntaxExprKind::Paren:
      return fold(tree, e.left, bindings);
    case SyntaxExprKind::BinOp: {
      auto left = fold(tree, e.left, bindings);
      if (!left) {
        return std::nullopt;
      }
      auto right = fold(tree, e.right, bindings);
      if (!right) {
        return std::nullopt;
      }
      return fold_binary(e.op, *left, *right);
    }
    case SyntaxExprKind::FnCall: {
      const Function function = find_function(e.name);
      if (function == nullptr || e.args.count != 1) {
        return std::nullopt;
      }
      auto argument =
          fold(tree, tree.expression_lists[e.args.first], bindings);
      return argument ? std::optional(function(*argument)) : std::nullopt;
    }
    default:
      return std::nullopt;
  }
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

ParseResult<Param> finite(double value) {
  if (!std::isfinite(value)) {
    return std::unexpected(
        Other{"Angle is not a finite number (" + format_float(value) + ")"});
  }
  return Param::constant(value);
}

// Both operands are converted first, so their errors win over the operator's.
ParseResult<Param> binary(const SyntaxTree& tree, const SyntaxExpr& e,
                          const Bindings& bindings) {
  auto left = expr_to_param(tree, e.left, bindings);
  if (!left) {
    return left;
  }
  auto right = expr_to_param(tree, e.right, bindings);
  if (!right) {
    return right;
  }
  return combine(e.op, std::move(*left), std::move(*right));
}

ParseResult<Param> call(const SyntaxTree& tree, std::uint32_t whole,
                        const SyntaxExpr& e, const Bindings& bindings) {
  if (find_function(e.name) == nullptr) {
    return std::unexpected(Other{"Unknown function: " + std::string(e.name)});
  }
  if (auto value = fold(tree, whole, bindings)) {
    return finite(*value);
  }
  return std::unexpected(Other{"Cannot evaluate function " +
                               std::string(e.name) +
                               " with symbolic arguments"});
}

ParseResult<Param> negation(const SyntaxTree& tree, const SyntaxExpr& e,
                            const Bindings& bindings) {
  auto operand = expr_to_param(tree, e.left, bindings);
  if (!operand) {
    return operand;
  }
  return Param::neg(std::move(*operand));
}

}  // namespace

ParseResult<ir::ParameterExpression> expr_to_param(const SyntaxTree& tree,
                                                   std::uint32_t expression,
                                                   const Bindings& bindings) {
  const SyntaxExpr& e = tree.expressions[expression];
  switch (e.kind) {
    case SyntaxExprKind::Int:
      // Nearest double, so literals beyond 2^63 keep their magnitude.
      return Param::constant(static_cast<double>(e.integer));
    case SyntaxExprKind::Float:
      return finite(e.real);
    case SyntaxExprKind::Identifier:
      if (const Param* value = bound(bindings, e.name)) {
        return value->clone();
      }
      return Param::symbol(std::string(e.name));
    case SyntaxExprKind::Pi:
      return Param::pi();
    case SyntaxExprKind::Tau:
      return Param::constant(kTau);
    case SyntaxExprKind::Euler:
      return Param::constant(kEuler);
    case SyntaxExprKind::Neg:
      return negation(tree, e, bindings);
    case SyntaxExprKind::Paren:
      return expr_to_param(tree, e.left, bindings);
    case SyntaxExprKind::BinOp:
      return binary(tree, e, bindings);
    case SyntaxExprKind::FnCall:
      return call(tree, expression, e, bindings);
    default:
      return std::unexpected(
          Other{"Cannot convert expression to parameter: " +
                expression_text(tree, expression)});
  }
}

ParseResult<void> params_to_list(const SyntaxTree& tree, SyntaxRange params,
                                 const Bindings& bindings,
                                 std::vector<ir::ParameterExpression>& out) {
  out.clear();
  for (std::uint32_t i = 0; i < params.count; ++i) {
    auto param =
        expr_to_param(tree, tree.expression_lists[params.first + i], bindings);
    if (!param) {
      return std::unexpected(std::move(param.error()));
    }
    out.push_back(std::move(*param));
  }
  return {};
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
