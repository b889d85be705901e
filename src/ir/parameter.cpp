#include "ir/parameter.hpp"

#include <cassert>
#include <type_traits>
#include <utility>
#include <vector>

namespace qelto::ir {

using Ptr = std::unique_ptr<ParameterExpression>;

// The child slots of one node: (operand, none) for Neg, (left, right) for
// the binary variants, (none, none) for leaves.
struct ParameterExpressionAccess {
  struct Slots {
    Ptr* first = nullptr;
    Ptr* second = nullptr;
  };

  static Slots slots(ParameterExpression& e) noexcept {
    return std::visit(
        [](auto& v) -> Slots {
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, ParameterExpression::Neg>) {
            return {&v.operand, nullptr};
          } else if constexpr (requires { v.left; }) {
            return {&v.left, &v.right};
          } else {
            return {};
          }
        },
        e.node_);
  }

  static const ParameterExpression* child(const ParameterExpression& e,
                                          int which) noexcept {
    Slots s = slots(const_cast<ParameterExpression&>(e));
    Ptr* slot = which == 0 ? s.first : s.second;
    return slot ? slot->get() : nullptr;
  }

  // A copy of e's own payload, with empty child slots.
  static ParameterExpression shallow_copy(const ParameterExpression& e) {
    return std::visit(
        [](const auto& v) -> ParameterExpression {
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, ParameterExpression::Constant> ||
                        std::is_same_v<V, ParameterExpression::Symbol> ||
                        std::is_same_v<V, ParameterExpression::Pi>) {
            return ParameterExpression(V{v});
          } else {
            return ParameterExpression(V{});
          }
        },
        e.node_);
  }

  // Frees the tree under `root` without recursion and without allocating:
  // rotations move every left child up until the root has none, then the
  // root is freed (it is childless by then, so its destructor does nothing)
  // and its right child becomes the root. Each rotation or free is O(1) and
  // every node is rotated at most once per level it climbs, so the whole
  // walk is linear.
  static void destroy(Ptr root) noexcept {
    while (root) {
      Slots s = slots(*root);
      if (s.first != nullptr && *s.first) {
        Ptr left = std::move(*s.first);
        Slots ls = slots(*left);
        if (ls.second != nullptr) {
          // Binary left child: rotate it above the root.
          *s.first = std::move(*ls.second);
          *ls.second = std::move(root);
          root = std::move(left);
        } else if (ls.first != nullptr) {
          // Neg: splice it out; it dies childless at the end of scope.
          *s.first = std::move(*ls.first);
        }
        continue;
      }
      Ptr next = s.second != nullptr ? std::move(*s.second) : nullptr;
      root.reset();
      root = std::move(next);
    }
  }
};

namespace {
using Access = ParameterExpressionAccess;

// Constant, Symbol and Pi: the variants without children.
bool is_leaf(const ParameterExpression::Node& node) noexcept {
  using Node = ParameterExpression::Node;
  static_assert(std::is_same_v<std::variant_alternative_t<2, Node>,
                               ParameterExpression::Pi>);
  return node.index() <= 2;
}
}  // namespace

ParameterExpression::ParameterExpression() noexcept = default;
ParameterExpression::ParameterExpression(Constant c) noexcept : node_(c) {}
ParameterExpression::ParameterExpression(Symbol s) noexcept
    : node_(std::move(s)) {}
ParameterExpression::ParameterExpression(Pi p) noexcept : node_(p) {}
ParameterExpression::ParameterExpression(Neg n) noexcept
    : node_(std::move(n)) {}
ParameterExpression::ParameterExpression(Add a) noexcept
    : node_(std::move(a)) {}
ParameterExpression::ParameterExpression(Sub s) noexcept
    : node_(std::move(s)) {}
ParameterExpression::ParameterExpression(Mul m) noexcept
    : node_(std::move(m)) {}
ParameterExpression::ParameterExpression(Div d) noexcept
    : node_(std::move(d)) {}

ParameterExpression ParameterExpression::constant(double value) noexcept {
  return Constant{value};
}

ParameterExpression ParameterExpression::symbol(std::string name) noexcept {
  return Symbol{std::move(name)};
}

ParameterExpression ParameterExpression::pi() noexcept { return Pi{}; }

ParameterExpression ParameterExpression::neg(ParameterExpression operand) {
  return Neg{std::make_unique<ParameterExpression>(std::move(operand))};
}

namespace {

template <class V>
ParameterExpression binary(ParameterExpression left,
                           ParameterExpression right) {
  auto l = std::make_unique<ParameterExpression>(std::move(left));
  auto r = std::make_unique<ParameterExpression>(std::move(right));
  return V{std::move(l), std::move(r)};
}

}  // namespace

ParameterExpression ParameterExpression::add(ParameterExpression left,
                                             ParameterExpression right) {
  return binary<Add>(std::move(left), std::move(right));
}

ParameterExpression ParameterExpression::sub(ParameterExpression left,
                                             ParameterExpression right) {
  return binary<Sub>(std::move(left), std::move(right));
}

ParameterExpression ParameterExpression::mul(ParameterExpression left,
                                             ParameterExpression right) {
  return binary<Mul>(std::move(left), std::move(right));
}

ParameterExpression ParameterExpression::div(ParameterExpression left,
                                             ParameterExpression right) {
  return binary<Div>(std::move(left), std::move(right));
}

static_assert(std::is_same_v<std::variant_alternative_t<3, ParameterExpression::Node>,
                             ParameterExpression::Neg>);

// `node_` is Constant{0.0} here (the constructor's default).
void ParameterExpression::move_from(ParameterExpression& other) noexcept {
  node_ = std::move(other.node_);
  other.node_.emplace<Constant>();
}

ParameterExpression& ParameterExpression::move_assign(
    ParameterExpression& other) noexcept {
  if (this == &other) {
    return *this;
  }
  if (is_leaf(node_)) {
    // Nothing sits inside a leaf, so the payload can be replaced directly
    // (the common case: filling a fresh slot of an operation store).
    node_ = std::move(other.node_);
    other.node_.emplace<Constant>();
    return *this;
  }
  // `other` may sit inside this tree: detach its payload before the old
  // payload (and maybe `other` with it) is dropped.
  Node taken = std::move(other.node_);
  other.node_.emplace<Constant>();
  std::swap(node_, taken);
  // The old payload dies with `taken`; each of its children is freed by
  // its own (iterative) destructor.
  return *this;
}

void ParameterExpression::destroy_children() noexcept {
  Access::Slots s = Access::slots(*this);
  if (s.first != nullptr && *s.first) {
    Access::destroy(std::move(*s.first));
  }
  if (s.second != nullptr && *s.second) {
    Access::destroy(std::move(*s.second));
  }
}

ParameterExpression ParameterExpression::clone() const {
  ParameterExpression result = Access::shallow_copy(*this);
  if (is_leaf(node_)) {
    return result;
  }
  // Pending copies: (source node, empty slot in the copy to fill).
  std::vector<std::pair<const ParameterExpression*, Ptr*>> pending;
  auto schedule = [&pending](const ParameterExpression& source,
                             ParameterExpression& target) {
    Access::Slots ts = Access::slots(target);
    for (int which = 0; which < 2; ++which) {
      const ParameterExpression* child = Access::child(source, which);
      if (child != nullptr) {
        pending.emplace_back(child, which == 0 ? ts.first : ts.second);
      }
    }
  };
  schedule(*this, result);
  while (!pending.empty()) {
    auto [source, slot] = pending.back();
    pending.pop_back();
    *slot =
        std::make_unique<ParameterExpression>(Access::shallow_copy(*source));
    schedule(*source, **slot);
  }
  return result;
}

bool operator==(const ParameterExpression& a, const ParameterExpression& b) {
  using PE = ParameterExpression;
  // Both trees in lockstep, with an explicit stack of node pairs.
  std::vector<std::pair<const PE*, const PE*>> todo;
  todo.emplace_back(&a, &b);
  while (!todo.empty()) {
    auto [x, y] = todo.back();
    todo.pop_back();
    if (x->index() != y->index()) {
      return false;
    }
    if (const auto* cx = x->get_if<PE::Constant>()) {
      if (cx->value != y->get_if<PE::Constant>()->value) {
        return false;
      }
      continue;
    }
    if (const auto* sx = x->get_if<PE::Symbol>()) {
      if (sx->name != y->get_if<PE::Symbol>()->name) {
        return false;
      }
      continue;
    }
    for (int which = 1; which >= 0; --which) {
      const PE* xc = Access::child(*x, which);
      const PE* yc = Access::child(*y, which);
      if ((xc == nullptr) != (yc == nullptr)) {
        return false;
      }
      if (xc != nullptr) {
        todo.emplace_back(xc, yc);
      }
    }
  }
  return true;
}

}  // namespace qelto::ir
