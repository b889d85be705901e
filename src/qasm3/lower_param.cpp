#include <array>
#include <cstddef>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ir/parameter_eval.hpp"
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

// A node of an expression visited without recursion: once to schedule its
// operands, then once more (`operands_done`) to combine their results, which
// lie on top of a stack of results by then.
struct Visit {
  std::uint32_t node = 0;
  bool operands_done = false;
};

// The number a leaf denotes, where it is one.
std::optional<double> fold_leaf(const SyntaxTree& tree, std::uint32_t node,
                                const Bindings& bindings) {
  const SyntaxExpr& e = tree.expressions[node];
  switch (e.kind) {
    case SyntaxExprKind::Identifier: {
      const Param* value = bindings.find(node);
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
    default:
      return std::nullopt;
  }
}

// The number an expression denotes, where it is one: literals, the three
// constants, negation, parentheses, +, -, *, /, % (remainder with the sign
// of the left operand) and ** over numbers, and a known function of one
// number, over numbers and names bound to numbers. Without recursion, so
// any depth is safe.
std::optional<double> fold(const SyntaxTree& tree, std::uint32_t expression,
                           const Bindings& bindings) {
  std::vector<Visit> visits{Visit{expression, false}};
  std::vector<std::optional<double>> results;
  while (!visits.empty()) {
    const Visit visit = visits.back();
    visits.pop_back();
    const SyntaxExpr& e = tree.expressions[visit.node];
    const bool call = e.kind == SyntaxExprKind::FnCall &&
                      find_function(e.name) != nullptr && e.args.count == 1;
    if (!visit.operands_done) {
      if (e.kind == SyntaxExprKind::Neg || e.kind == SyntaxExprKind::Paren ||
          e.kind == SyntaxExprKind::BinOp || call) {
        visits.push_back(Visit{visit.node, true});
        if (e.kind == SyntaxExprKind::BinOp) {
          visits.push_back(Visit{e.right, false});
        }
        visits.push_back(
            Visit{call ? tree.expression_lists[e.args.first] : e.left, false});
      } else {
        results.push_back(fold_leaf(tree, visit.node, bindings));
      }
      continue;
    }
    std::optional<double> operand = results.back();
    results.pop_back();
    if (e.kind == SyntaxExprKind::BinOp) {
      const std::optional<double> left = results.back();
      results.back() = left && operand
                           ? fold_binary(e.op, *left, *operand)
                           : std::nullopt;
    } else if (!operand || e.kind == SyntaxExprKind::Paren) {
      results.push_back(operand);
    } else if (e.kind == SyntaxExprKind::Neg) {
      results.push_back(-*operand);
    } else {
      results.push_back(find_function(e.name)(*operand));
    }
  }
  return results.back();
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

// The parameter of an expression without operands to convert: a literal, a
// name, a constant, or a call (which must fold to a number).
ParseResult<Param> leaf_to_param(const SyntaxTree& tree,
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
      if (const Param* value = bindings.find(expression)) {
        return value->clone();
      }
      return Param::symbol(std::string(e.name));
    case SyntaxExprKind::Pi:
      return Param::pi();
    case SyntaxExprKind::Tau:
      return Param::constant(kTau);
    case SyntaxExprKind::Euler:
      return Param::constant(kEuler);
    case SyntaxExprKind::FnCall:
      return call(tree, expression, e, bindings);
    default:
      return std::unexpected(
          Other{"Cannot convert expression to parameter: " +
                expression_text(tree, expression)});
  }
}

bool has_operands(SyntaxExprKind kind) {
  return kind == SyntaxExprKind::Neg || kind == SyntaxExprKind::Paren ||
         kind == SyntaxExprKind::BinOp;
}

// The stacks the walks over angles work on, kept per thread between walks,
// so that a walk needs no allocation once they have grown: a walk runs for
// each angle a program writes. A walk that grew them past kKeptCapacity (an
// angle nested deeper than programs write) gives their memory back.
struct AngleStacks {
  static constexpr std::size_t kKeptCapacity = 4096;

  std::vector<Visit> visits;
  std::vector<Param> results;
  std::vector<const Param*> pending;

  // Empties the stacks for one walk; the walk ends when the lease does.
  class Lease {
   public:
    explicit Lease(AngleStacks& stacks) : stacks_(stacks) {
      stacks_.visits.clear();
      stacks_.results.clear();
      stacks_.pending.clear();
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() {
      stacks_.results.clear();
      give_back(stacks_.visits);
      give_back(stacks_.results);
      give_back(stacks_.pending);
    }

   private:
    template <class T>
    static void give_back(std::vector<T>& stack) {
      if (stack.capacity() > kKeptCapacity) {
        stack.clear();
        stack.shrink_to_fit();
      }
    }


    AngleStacks& stacks_;
  };
};

AngleStacks& angle_stacks() {
  thread_local AngleStacks stacks;
  return stacks;
}

}  // namespace

std::uint64_t angle_size(const ir::ParameterExpression& angle) {
  AngleStacks& stacks = angle_stacks();
  const AngleStacks::Lease lease(stacks);
  std::vector<const Param*>& pending = stacks.pending;
  pending.push_back(&angle);
  std::uint64_t size = 0;
  while (!pending.empty()) {
    const ir::ExpressionChildren children = ir::children_of(*pending.back());
    pending.pop_back();
    ++size;
    for (const Param* child : {children.left, children.right}) {
      if (child != nullptr) {
        pending.push_back(child);
      }
    }
  }
  return size;
}

// Operands are converted left to right before their operator, so the first
// error met is that of the leftmost failing operand, and an operand's error
// wins over its operator's. Without recursion, so any depth is safe.
ParseResult<ir::ParameterExpression> expr_to_param(const SyntaxTree& tree,
                                                   std::uint32_t expression,
                                                   const Bindings& bindings) {
  // Most angles are a single literal or name, and most others one operator
  // over two of them (pi/2, 2 * theta): those take no stack.
  const SyntaxExpr& root = tree.expressions[expression];
  if (!has_operands(root.kind)) {
    return leaf_to_param(tree, expression, bindings);
  }
  if (root.kind == SyntaxExprKind::BinOp &&
      !has_operands(tree.expressions[root.left].kind) &&
      !has_operands(tree.expressions[root.right].kind)) {
    auto left = leaf_to_param(tree, root.left, bindings);
    if (!left) {
      return left;
    }
    auto right = leaf_to_param(tree, root.right, bindings);
    if (!right) {
      return right;
    }
    return combine(root.op, std::move(*left), std::move(*right));
  }
  AngleStacks& stacks = angle_stacks();
  const AngleStacks::Lease lease(stacks);
  std::vector<Visit>& visits = stacks.visits;
  std::vector<Param>& results = stacks.results;
  visits.push_back(Visit{expression, false});
  while (!visits.empty()) {
    const Visit visit = visits.back();
    visits.pop_back();
    const SyntaxExpr& e = tree.expressions[visit.node];
    if (!visit.operands_done) {
      if (!has_operands(e.kind)) {
        auto leaf = leaf_to_param(tree, visit.node, bindings);
        if (!leaf) {
          return leaf;
        }
        results.push_back(std::move(*leaf));
        continue;
      }
      visits.push_back(Visit{visit.node, true});
      if (e.kind == SyntaxExprKind::BinOp) {
        visits.push_back(Visit{e.right, false});
      }
      visits.push_back(Visit{e.left, false});
      continue;
    }
    if (e.kind == SyntaxExprKind::Neg) {
      results.back() = Param::neg(std::move(results.back()));
    } else if (e.kind == SyntaxExprKind::BinOp) {
      Param right = std::move(results.back());
      results.pop_back();
      auto combined = combine(e.op, std::move(results.back()), std::move(right));
      if (!combined) {
        return combined;
      }
      results.back() = std::move(*combined);
    }
  }
  return std::move(results.back());
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
