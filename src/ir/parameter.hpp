#pragma once

#include <memory>
#include <string>
#include <utility>
#include <variant>

namespace qelto::ir {

// The value of one gate parameter (an angle): a number, a named free
// parameter, pi, or an arithmetic combination of smaller expressions.
// Stored exactly as built: no simplification, no folding.
//
// Ownership: an expression owns its whole tree; every child sits in its own
// exclusively owned heap node (`std::unique_ptr`), so there is no sharing and
// no cycle. The type is move-only; deep copies are explicit (`clone`).
//
// Depth: copying (`clone`), comparing (`==`) and destroying an expression are
// iterative, never recursive, so a chain nested a million levels deep (for
// example a long `Neg`/`Add` chain built by the OpenQASM reader) neither
// overflows the stack on copy nor on drop.
//
// Children are never null, except transiently while an expression is being
// built by `clone`. A moved-from expression is `Constant{0.0}`.
class ParameterExpression {
 public:
  // The eight variants, in their fixed order (variant index 0..7).
  struct Constant {
    double value;
  };
  struct Symbol {
    std::string name;
  };
  struct Pi {};
  struct Neg {
    std::unique_ptr<ParameterExpression> operand;
  };
  struct Add {
    std::unique_ptr<ParameterExpression> left;
    std::unique_ptr<ParameterExpression> right;
  };
  struct Sub {
    std::unique_ptr<ParameterExpression> left;
    std::unique_ptr<ParameterExpression> right;
  };
  struct Mul {
    std::unique_ptr<ParameterExpression> left;
    std::unique_ptr<ParameterExpression> right;
  };
  struct Div {
    std::unique_ptr<ParameterExpression> left;
    std::unique_ptr<ParameterExpression> right;
  };
  using Node = std::variant<Constant, Symbol, Pi, Neg, Add, Sub, Mul, Div>;

  // Constant 0.0.
  ParameterExpression() noexcept;
  // Construction from a variant. The operand-holding variants take
  // ownership of their (non-null) children.
  ParameterExpression(Constant c) noexcept;  // NOLINT: implicit by design
  ParameterExpression(Symbol s) noexcept;    // NOLINT
  ParameterExpression(Pi p) noexcept;        // NOLINT
  ParameterExpression(Neg n) noexcept;       // NOLINT
  ParameterExpression(Add a) noexcept;       // NOLINT
  ParameterExpression(Sub s) noexcept;       // NOLINT
  ParameterExpression(Mul m) noexcept;       // NOLINT
  ParameterExpression(Div d) noexcept;       // NOLINT

  // Factories; the compound ones take ownership of their operands.
  static ParameterExpression constant(double value) noexcept;
  static ParameterExpression symbol(std::string name) noexcept;
  static ParameterExpression pi() noexcept;
  static ParameterExpression neg(ParameterExpression operand);
  static ParameterExpression add(ParameterExpression left,
                                 ParameterExpression right);
  static ParameterExpression sub(ParameterExpression left,
                                 ParameterExpression right);
  static ParameterExpression mul(ParameterExpression left,
                                 ParameterExpression right);
  static ParameterExpression div(ParameterExpression left,
                                 ParameterExpression right);

  // Moves and destruction are inline for constants, which most angles are
  // and which own nothing: no visit, no call.
  ParameterExpression(ParameterExpression&& other) noexcept {
    if (auto* constant = std::get_if<Constant>(&other.node_)) {
      std::get<Constant>(node_).value = std::exchange(constant->value, 0.0);
      return;
    }
    move_from(other);
  }
  ParameterExpression& operator=(ParameterExpression&& other) noexcept {
    auto* mine = std::get_if<Constant>(&node_);
    auto* theirs = std::get_if<Constant>(&other.node_);
    if (mine == nullptr || theirs == nullptr) {
      return move_assign(other);
    }
    if (this != &other) {
      mine->value = std::exchange(theirs->value, 0.0);
    }
    return *this;
  }
  ParameterExpression(const ParameterExpression&) = delete;
  ParameterExpression& operator=(const ParameterExpression&) = delete;
  // Iterative: frees the tree without recursion and without allocating.
  ~ParameterExpression() {
    if (node_.index() >= kFirstCompound) {
      destroy_children();
    }
  }

  // Deep copy: a new, independent tree equal to this one. Iterative; may
  // throw std::bad_alloc (the partial copy is freed).
  [[nodiscard]] ParameterExpression clone() const;

  // Read access to the variant and its payload (std::visit / std::get_if).
  [[nodiscard]] const Node& node() const noexcept { return node_; }
  // The variant index 0..7 (Constant .. Div).
  [[nodiscard]] std::size_t index() const noexcept { return node_.index(); }
  template <class V>
  [[nodiscard]] const V* get_if() const noexcept {
    return std::get_if<V>(&node_);
  }

  // Structural equality (same variants, same payloads, same operand order;
  // constants compare with ==, so NaN differs from itself). Iterative; may
  // throw std::bad_alloc for its stack. `Pi` and `Constant{pi}` differ.
  // Nothing in the system needs it besides tests.
  friend bool operator==(const ParameterExpression& a,
                         const ParameterExpression& b);

 private:
  friend struct ParameterExpressionAccess;
  // Variant index of Neg: it and the variants after it own children.
  static constexpr std::size_t kFirstCompound = 3;
  // The general cases of the moves and the destructor.
  void move_from(ParameterExpression& other) noexcept;
  ParameterExpression& move_assign(ParameterExpression& other) noexcept;
  void destroy_children() noexcept;
  Node node_;
};

}  // namespace qelto::ir
