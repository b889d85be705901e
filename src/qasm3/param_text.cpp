#include "qasm3/param_text.hpp"

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace qelto::qasm3 {
namespace {

using Expr = ir::ParameterExpression;

struct NamedAngle {
  double value;
  std::string_view text;
};

// Checked in this order; the first within kPiTolerance wins.
constexpr std::array<NamedAngle, 5> kNamedAngles = {{
    {3.141592653589793, "pi"},
    {1.5707963267948966, "pi/2"},
    {0.7853981633974483, "pi/4"},
    {-1.5707963267948966, "-pi/2"},
    {-0.7853981633974483, "-pi/4"},
}};

constexpr double kPiTolerance = 1e-10;

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
void append_operand_constant(std::string& out, double value, bool divisor) {
  const std::size_t start = out.size();
  append_constant(out, value);
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

// Writes a leaf; for a compound node writes its opening text and schedules
// the rest (in reverse, so the left operand comes off the stack first).
void write_node(std::string& out, const Expr& expr, bool divisor,
                std::vector<Step>& stack) {
  std::visit(
      [&](const auto& node) {
        using Node = std::decay_t<decltype(node)>;
        if constexpr (std::is_same_v<Node, Expr::Constant>) {
          append_operand_constant(out, node.value, divisor);
        } else if constexpr (std::is_same_v<Node, Expr::Symbol>) {
          out += node.name;
        } else if constexpr (std::is_same_v<Node, Expr::Pi>) {
          out += "pi";
        } else if constexpr (std::is_same_v<Node, Expr::Neg>) {
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

void append_constant(std::string& out, double value) {
  for (const NamedAngle& angle : kNamedAngles) {
    if (std::fabs(value - angle.value) < kPiTolerance) {
      out += angle.text;
      return;
    }
  }
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  // Sign, up to 309 integer digits, the point and six decimals.
  std::array<char, 330> buffer;
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                    std::chars_format::fixed, 6);
  assert(result.ec == std::errc() && "fixed buffer too small");
  out.append(buffer.data(), result.ptr);
}

void append_param(std::string& out, const Expr& expression) {
  std::vector<Step> stack;
  write_node(out, expression, false, stack);
  while (!stack.empty()) {
    const Step step = stack.back();
    stack.pop_back();
    if (step.expr == nullptr) {
      out += step.text;
    } else {
      write_node(out, *step.expr, step.divisor, stack);
    }
  }
}

std::string emit_param(const Expr& expression) {
  std::string out;
  append_param(out, expression);
  return out;
}

}  // namespace qelto::qasm3
