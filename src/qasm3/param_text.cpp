#include "qasm3/param_text.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "qasm3/number.hpp"

namespace qelto::qasm3 {
namespace {

using Expr = ir::ParameterExpression;

struct NamedAngle {
  double value;
  std::string_view text;
};

// The constants the Fixed style names. Each text denotes exactly this
// double (pi is the double nearest to it; halving and negating are exact),
// so a constant only a little away from one of them keeps its digits.
constexpr std::array<NamedAngle, 5> kNamedAngles = {{
    {3.141592653589793, "pi"},
    {1.5707963267948966, "pi/2"},
    {0.7853981633974483, "pi/4"},
    {-1.5707963267948966, "-pi/2"},
    {-0.7853981633974483, "-pi/4"},
}};

// Pending work while printing: an expression to print, or a fixed piece of
// text to append once the operands before it are done. `divisor`: the
// expression is the right operand of `*` or `/`.
struct Step {
  const Expr* expr = nullptr;
  std::string_view text;
  bool divisor = false;
};

// A named angle with a slash as the right operand of `*` or `/` would
// regroup when read back ("x / pi/2" reads as "(x / pi) / 2"), so there it
// is parenthesised. Plain numbers never hold a slash.
void append_operand_constant(std::string& out, double value, NumberStyle style,
                             bool divisor) {
  const std::size_t start = out.size();
  append_constant(out, value, style);
  if (divisor && out.find('/', start) != std::string::npos) {
    out.insert(start, 1, '(');
    out += ')';
  }
}

template <class Node>
constexpr std::string_view binary_operator() {
  if constexpr (std::is_same_v<Node, Expr::Add>) {
    return " + ";
  } else if constexpr (std::is_same_v<Node, Expr::Sub>) {
    return " - ";
  } else if constexpr (std::is_same_v<Node, Expr::Mul>) {
    return " * ";
  } else {
    static_assert(std::is_same_v<Node, Expr::Div>);
    return " / ";
  }
}

// The constant a Shortest-style negation prints as "-c", or nullptr.
const Expr::Constant* negated_literal(const Expr::Neg& node,
                                      NumberStyle style) {
  if (style != NumberStyle::Shortest) {
    return nullptr;
  }
  const auto* constant = node.operand->template get_if<Expr::Constant>();
  return constant != nullptr && !std::signbit(constant->value) ? constant
                                                               : nullptr;
}

// Writes a leaf; for a compound node writes its opening text and schedules
// the rest (in reverse, so the left operand comes off the stack first).
void write_node(std::string& out, const Expr& expr, NumberStyle style,
                bool divisor, std::vector<Step>& stack) {
  std::visit(
      [&](const auto& node) {
        using Node = std::decay_t<decltype(node)>;
        if constexpr (std::is_same_v<Node, Expr::Constant>) {
          append_operand_constant(out, node.value, style, divisor);
        } else if constexpr (std::is_same_v<Node, Expr::Symbol>) {
          out += node.name;
        } else if constexpr (std::is_same_v<Node, Expr::Pi>) {
          out += "pi";
        } else if constexpr (std::is_same_v<Node, Expr::Neg>) {
          if (const Expr::Constant* literal = negated_literal(node, style)) {
            out += '-';
            append_constant(out, literal->value, style);
            return;
          }
          out += "-(";
          stack.push_back({nullptr, ")"});
          stack.push_back({node.operand.get(), {}});
        } else {
          out += '(';
          stack.push_back({nullptr, ")"});
          stack.push_back({node.right.get(), {},
                           std::is_same_v<Node, Expr::Mul> ||
                               std::is_same_v<Node, Expr::Div>});
          stack.push_back({nullptr, binary_operator<Node>()});
          stack.push_back({node.left.get(), {}});
        }
      },
      expr.node());
}

}  // namespace

static_assert(kMaxConstantText >= kMaxNumberText);

char* write_constant(char* out, double value, NumberStyle style) {
  if (style == NumberStyle::Shortest) {
    assert(std::isfinite(value) && "no Shortest text for a non-finite value");
    return write_shortest(out, value);
  }
  auto text = [out](std::string_view piece) {
    return std::copy(piece.begin(), piece.end(), out);
  };
  for (const NamedAngle& angle : kNamedAngles) {
    if (value == angle.value) {
      return text(angle.text);
    }
  }
  if (std::isnan(value)) {
    return text("NaN");
  }
  if (std::isinf(value)) {
    return text(value < 0 ? "-inf" : "inf");
  }
  return write_six_decimals_or_shortest(out, value);
}

void append_constant(std::string& out, double value, NumberStyle style) {
  std::array<char, kMaxConstantText> buffer;
  out.append(buffer.data(), write_constant(buffer.data(), value, style));
}

void append_param(std::string& out, const Expr& expression,
                  NumberStyle style) {
  std::vector<Step> stack;
  write_node(out, expression, style, false, stack);
  while (!stack.empty()) {
    const Step step = stack.back();
    stack.pop_back();
    if (step.expr == nullptr) {
      out += step.text;
    } else {
      write_node(out, *step.expr, style, step.divisor, stack);
    }
  }
}

std::string emit_param(const Expr& expression, NumberStyle style) {
  std::string out;
  append_param(out, expression, style);
  return out;
}

bool has_finite_constants(const Expr& expression) {
  std::vector<const Expr*> stack{&expression};
  while (!stack.empty()) {
    const Expr& expr = *stack.back();
    stack.pop_back();
    if (const auto* constant = expr.get_if<Expr::Constant>()) {
      if (!std::isfinite(constant->value)) {
        return false;
      }
      continue;
    }
    std::visit(
        [&](const auto& node) {
          using Node = std::decay_t<decltype(node)>;
          if constexpr (std::is_same_v<Node, Expr::Neg>) {
            stack.push_back(node.operand.get());
          } else if constexpr (requires { node.right; }) {
            stack.push_back(node.left.get());
            stack.push_back(node.right.get());
          }
        },
        expr.node());
  }
  return true;
}

}  // namespace qelto::qasm3
