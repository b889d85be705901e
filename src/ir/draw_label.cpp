#include "ir/draw_label.hpp"

#include <cassert>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "ir/draw_canvas.hpp"
#include "ir/parameter_eval.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;

constexpr double kPi = 3.141592653589793;
constexpr double kPiTolerance = 1e-9;

// Binding strength of a printed piece: a sum binds loosest, a leaf tightest.
enum Precedence { kSum = 1, kProduct = 2, kUnary = 3, kLeaf = 4 };

struct Piece {
  std::string text;
  int precedence;
};

// Cuts `text` to kMaxParamWidth cells, ending in "…" when cut, so that
// building a deep expression's text stays linear.
void clip(std::string& text) {
  if (display_width(text) <= kMaxParamWidth) {
    return;
  }
  std::size_t cells = 0;
  std::size_t i = 0;
  while (i < text.size() && cells < kMaxParamWidth - 1) {
    ++i;
    while (i < text.size() &&
           (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
      ++i;
    }
    ++cells;
  }
  text.resize(i);
  text += "…";
}

std::string number_text(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "∞" : "-∞";
  }
  if (value == 0.0) {
    return "0";
  }
  // p·π/q for the small denominators that angles use.
  const double turns = value / kPi;
  for (int q : {1, 2, 3, 4, 6, 8, 16}) {
    const double p = std::round(turns * q);
    if (p != 0.0 && std::abs(p) <= 64.0 &&
        std::abs(value - p * kPi / q) < kPiTolerance) {
      std::string text = p < 0 ? "-" : "";
      const auto magnitude = static_cast<long>(std::abs(p));
      if (magnitude != 1) {
        text += std::to_string(magnitude);
      }
      text += "π";
      if (q != 1) {
        text += "/" + std::to_string(q);
      }
      return text;
    }
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 5);
  assert(result.ec == std::errc());
  return std::string(buffer, result.ptr);
}

Piece leaf(const PE& node) {
  if (const auto* s = node.get_if<PE::Symbol>()) {
    return {s->name, kLeaf};
  }
  if (node.get_if<PE::Pi>() != nullptr) {
    return {"π", kLeaf};
  }
  const double value = node.get_if<PE::Constant>()->value;
  std::string text = number_text(value);
  return {text, text.front() == '-' ? kUnary : kLeaf};
}

std::string wrapped(const Piece& piece, bool parenthesise) {
  if (!parenthesise) {
    return piece.text;
  }
  // Appended piece by piece: GCC 12 reports a false -Wrestrict for
  // `"(" + text` once it inlines the concatenation.
  std::string text;
  text.reserve(piece.text.size() + 2);
  text += '(';
  text += piece.text;
  text += ')';
  return text;
}

Piece combine(const PE& node, const Piece& left, const Piece& right) {
  if (node.get_if<PE::Neg>() != nullptr) {
    std::string text(1, '-');
    text += wrapped(left, left.precedence < kLeaf);
    return {std::move(text), kUnary};
  }
  const bool sum = node.get_if<PE::Add>() != nullptr ||
                   node.get_if<PE::Sub>() != nullptr;
  const int level = sum ? kSum : kProduct;
  // The right operand of `-` and `/` needs parentheses at its own level too.
  const bool strict_right = node.get_if<PE::Sub>() != nullptr ||
                            node.get_if<PE::Div>() != nullptr;
  const char* op = node.get_if<PE::Add>()   ? " + "
                   : node.get_if<PE::Sub>() ? " - "
                   : node.get_if<PE::Mul>() ? "*"
                                            : "/";
  std::string text = wrapped(left, left.precedence < level);
  text += op;
  text += wrapped(right, strict_right ? right.precedence <= level
                                      : right.precedence < level);
  return {std::move(text), level};
}

}  // namespace

std::string compact_param(const PE& expression) {
  if (const std::optional<double> value = evaluate(expression)) {
    return number_text(*value);
  }
  std::vector<Piece> stack;
  visit_post_order(expression, [&stack](const PE& node) {
    const ExpressionChildren c = children_of(node);
    if (c.left == nullptr) {
      stack.push_back(leaf(node));
    } else {
      Piece right;
      if (c.right != nullptr) {
        right = std::move(stack.back());
        stack.pop_back();
      }
      Piece left = std::move(stack.back());
      stack.pop_back();
      stack.push_back(combine(node, left, right));
    }
    clip(stack.back().text);
  });
  assert(stack.size() == 1);
  return std::move(stack.back().text);
}

std::string display_name(std::string_view name) {
  std::string text(name);
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  }
  return text;
}

}  // namespace qelto::ir
