#include "ir/parameter_eval.hpp"

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

namespace qelto::ir {
namespace {

using PE = ParameterExpression;

// The 64-bit pi, as the OpenQASM reader and the builders use it.
constexpr double kPi = 3.141592653589793;

template <class T>
T pop(std::vector<T>& stack) {
  assert(!stack.empty() && "post-order walk gives every operator its operands");
  T value = std::move(stack.back());
  stack.pop_back();
  return value;
}

// The result of applying `node`'s operator to `left` and `right` (`right`
// unused for Neg).
double apply_operator(const PE& node, double left, double right) {
  if (node.get_if<PE::Neg>() != nullptr) {
    return -left;
  }
  if (node.get_if<PE::Add>() != nullptr) {
    return left + right;
  }
  if (node.get_if<PE::Sub>() != nullptr) {
    return left - right;
  }
  if (node.get_if<PE::Mul>() != nullptr) {
    return left * right;
  }
  assert(node.get_if<PE::Div>() != nullptr);
  return left / right;
}

PE rebuild_operator(const PE& node, PE left, PE right) {
  if (node.get_if<PE::Neg>() != nullptr) {
    return PE::neg(std::move(left));
  }
  if (node.get_if<PE::Add>() != nullptr) {
    return PE::add(std::move(left), std::move(right));
  }
  if (node.get_if<PE::Sub>() != nullptr) {
    return PE::sub(std::move(left), std::move(right));
  }
  if (node.get_if<PE::Mul>() != nullptr) {
    return PE::mul(std::move(left), std::move(right));
  }
  assert(node.get_if<PE::Div>() != nullptr);
  return PE::div(std::move(left), std::move(right));
}

}  // namespace

ExpressionChildren children_of(const PE& expression) noexcept {
  return std::visit(
      [](const auto& node) -> ExpressionChildren {
        using N = std::decay_t<decltype(node)>;
        if constexpr (std::is_same_v<N, PE::Neg>) {
          return {node.operand.get(), nullptr};
        } else if constexpr (requires { node.left; }) {
          return {node.left.get(), node.right.get()};
        } else {
          return {};
        }
      },
      expression.node());
}

std::optional<double> evaluate(const PE& expression) {
  if (const auto* c = expression.get_if<PE::Constant>()) {
    return c->value;
  }
  if (expression.get_if<PE::Symbol>() != nullptr) {
    return std::nullopt;
  }
  std::vector<double> values;
  bool has_symbol = false;
  visit_post_order(expression, [&](const PE& node) {
    if (has_symbol) {
      return;
    }
    if (const auto* c = node.get_if<PE::Constant>()) {
      values.push_back(c->value);
    } else if (node.get_if<PE::Pi>() != nullptr) {
      values.push_back(kPi);
    } else if (node.get_if<PE::Symbol>() != nullptr) {
      has_symbol = true;
    } else {
      const double right =
          node.get_if<PE::Neg>() != nullptr ? 0.0 : pop(values);
      const double left = pop(values);
      values.push_back(apply_operator(node, left, right));
    }
  });
  if (has_symbol) {
    return std::nullopt;
  }
  return pop(values);
}

void collect_symbols(const PE& expression,
                     std::vector<std::string_view>& out) {
  if (const auto* s = expression.get_if<PE::Symbol>()) {
    out.push_back(s->name);
    return;
  }
  if (expression.get_if<PE::Constant>() != nullptr ||
      expression.get_if<PE::Pi>() != nullptr) {
    return;
  }
  visit_post_order(expression, [&](const PE& node) {
    if (const auto* s = node.get_if<PE::Symbol>()) {
      out.push_back(s->name);
    }
  });
}

PE negated(const PE& expression) {
  if (const auto* c = expression.get_if<PE::Constant>()) {
    return PE::constant(-c->value);
  }
  return PE::neg(expression.clone());
}

PE substitute(const PE& expression, const ParameterValues& values) {
  if (const auto* s = expression.get_if<PE::Symbol>()) {
    const auto found = values.find(std::string_view(s->name));
    return found == values.end() ? expression.clone()
                                 : PE::constant(found->second);
  }
  if (expression.get_if<PE::Constant>() != nullptr ||
      expression.get_if<PE::Pi>() != nullptr) {
    return expression.clone();
  }
  std::vector<PE> built;
  bool symbol_left = false;
  visit_post_order(expression, [&](const PE& node) {
    if (const auto* s = node.get_if<PE::Symbol>()) {
      const auto found = values.find(std::string_view(s->name));
      if (found == values.end()) {
        symbol_left = true;
        built.push_back(node.clone());
      } else {
        built.push_back(PE::constant(found->second));
      }
    } else if (children_of(node).left == nullptr) {
      built.push_back(node.clone());
    } else {
      PE right = node.get_if<PE::Neg>() != nullptr ? PE() : pop(built);
      PE left = pop(built);
      built.push_back(rebuild_operator(node, std::move(left), std::move(right)));
    }
  });
  PE result = pop(built);
  if (symbol_left) {
    return result;
  }
  const std::optional<double> folded = evaluate(result);
  assert(folded.has_value() && "no symbol is left to stop evaluation");
  return PE::constant(*folded);
}

}  // namespace qelto::ir
