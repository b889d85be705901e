#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ir/parameter.hpp"

namespace qelto::ir {

// Lookup by std::string_view without building a std::string.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const noexcept {
    return std::hash<std::string_view>{}(name);
  }
};

// Values for free parameters, by symbol name.
using ParameterValues =
    std::unordered_map<std::string, double, NameHash, std::equal_to<>>;

// The operands of a Neg (`left` only) or binary node; both null for a leaf.
struct ExpressionChildren {
  const ParameterExpression* left = nullptr;
  const ParameterExpression* right = nullptr;
};
[[nodiscard]] ExpressionChildren children_of(
    const ParameterExpression& expression) noexcept;

// Calls `visit(const ParameterExpression&)` on every node of the tree,
// children before their parent and left before right, with an explicit
// stack instead of recursion.
template <class Visit>
void visit_post_order(const ParameterExpression& root, Visit&& visit) {
  struct Frame {
    const ParameterExpression* expression;
    bool expanded;
  };
  std::vector<Frame> stack;
  stack.push_back({&root, false});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.expanded) {
      const ParameterExpression* done = top.expression;
      stack.pop_back();
      visit(*done);
      continue;
    }
    top.expanded = true;
    const ExpressionChildren c = children_of(*top.expression);
    if (c.right != nullptr) {
      stack.push_back({c.right, false});
    }
    if (c.left != nullptr) {
      stack.push_back({c.left, false});
    }
  }
}

// The value of an expression without free symbols (`Pi` is the 64-bit pi,
// the arithmetic is IEEE double arithmetic); nullopt when the expression
// holds a symbol. Iterative, so any nesting depth is safe.
[[nodiscard]] std::optional<double> evaluate(
    const ParameterExpression& expression);

// Appends the name of every symbol of `expression` to `out`, left to right,
// repeats included. The views point into `expression` and stay valid while
// it lives unchanged. Iterative.
void collect_symbols(const ParameterExpression& expression,
                     std::vector<std::string_view>& out);

// The negation of `expression`: a constant with the opposite sign for a
// constant, otherwise `Neg` of a deep copy.
[[nodiscard]] ParameterExpression negated(
    const ParameterExpression& expression);

// A deep copy of `expression` in which every symbol named in `values` is
// replaced by its value; when no symbol remains, the copy is folded to one
// constant (`evaluate` of it). Iterative. May throw std::bad_alloc.
[[nodiscard]] ParameterExpression substitute(
    const ParameterExpression& expression, const ParameterValues& values);

}  // namespace qelto::ir
