// Expressions against a model: random trees are printed with the
// parentheses their precedence needs (and some more), and parsing the text
// must give back exactly the tree printed. The parser keeps its own stacks,
// so expressions of any depth parse on a thread of 64 KiB as on the main
// thread.
#include <gtest/gtest.h>
#include <pthread.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "assigned_text.hpp"
#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

struct Operator {
  std::string_view text;
  std::string_view name;
  int precedence;
};

constexpr std::array<Operator, 17> kOperators = {{
    {"||", "Or", 1},    {"&&", "And", 2},   {"|", "BitOr", 3},
    {"^", "BitXor", 4}, {"&", "BitAnd", 5}, {"==", "Eq", 6},
    {"!=", "NotEq", 6}, {"<", "Lt", 7},     {"<=", "LtEq", 7},
    {">", "Gt", 7},     {">=", "GtEq", 7},  {"+", "Add", 9},
    {"-", "Sub", 9},    {"*", "Mul", 10},   {"/", "Div", 10},
    {"%", "Mod", 10},   {"**", "Pow", 11},
}};

// Leaves, negations, calls and parentheses bind tighter than any operator.
constexpr int kTightest = 100;

// A text and the debug text of the tree it must parse into.
struct Printed {
  std::string text;
  std::string tree;
  // The precedence of its outermost operator.
  int precedence = kTightest;
};

Printed group(const Printed& inner) {
  return {"(" + inner.text + ")", "Paren(" + inner.tree + ")"};
}

class RandomExpressions {
 public:
  explicit RandomExpressions(unsigned seed) : random_(seed) {}

  Printed expression(int depth) {
    Printed printed = depth == 0 ? leaf() : compound(depth - 1);
    return chance(8) ? group(printed) : printed;
  }

 private:
  bool chance(std::uint32_t one_in) { return random_() % one_in == 0; }

  Printed leaf() {
    switch (random_() % 3) {
      case 0: {
        const std::string n = std::to_string(random_() % 100);
        return {n, "Int(" + n + ")"};
      }
      case 1:
        return {"pi", "Pi"};
      default: {
        const std::string name(1, static_cast<char>('a' + random_() % 3));
        return {name, "Identifier(\"" + name + "\")"};
      }
    }
  }

  Printed compound(int depth) {
    switch (random_() % 4) {
      case 0: {
        // Negation takes an operand without binary operators. A space
        // keeps "- -" from reading as one token.
        Printed inner = expression(depth);
        if (inner.precedence != kTightest) {
          inner = group(inner);
        }
        return {(chance(2) ? "- " : "! ") + inner.text,
                "Neg(" + inner.tree + ")"};
      }
      case 1: {
        std::string text = "f(";
        std::string tree = "FnCall { name: \"f\", args: [";
        const auto count = random_() % 3;
        for (std::uint_fast32_t i = 0; i < count; ++i) {
          const Printed argument = expression(depth);
          text += (i == 0 ? "" : ", ") + argument.text;
          tree += (i == 0 ? "" : ", ") + argument.tree;
        }
        return {text + ")", tree + "] }"};
      }
      default: {
        // Every operator is left-associative: a right operand of the same
        // precedence needs parentheses, a left one does not.
        const Operator& op = kOperators[random_() % kOperators.size()];
        Printed left = expression(depth);
        if (left.precedence < op.precedence) {
          left = group(left);
        }
        Printed right = expression(depth);
        if (right.precedence <= op.precedence) {
          right = group(right);
        }
        return {left.text + " " + std::string(op.text) + " " + right.text,
                "BinOp { left: " + left.tree + ", op: " +
                    std::string(op.name) + ", right: " + right.tree + " }",
                op.precedence};
      }
    }
  }

  std::mt19937 random_;
};

using testing_support::assigned_text;

TEST(Expressions, parse_into_the_tree_they_were_printed_from) {
  for (unsigned seed = 0; seed < 3000; ++seed) {
    RandomExpressions random(seed);
    const Printed printed = random.expression(static_cast<int>(seed % 7));
    ASSERT_EQ(assigned_text(printed.text), printed.tree) << printed.text;
  }
}

// Every nesting form in turn, `levels` deep around a 1. Each level wraps
// what is inside in a prefix and a suffix, gathered apart so that building
// a deep text takes time in proportion to it.
Printed mixed_nesting(std::size_t levels) {
  struct Wrap {
    std::string_view text_before, text_after, tree_before, tree_after;
  };
  constexpr std::array<Wrap, 4> kWraps = {{
      {"(", ")", "Paren(", ")"},
      {"- ", "", "Neg(", ")"},
      {"f(2, ", ")", "FnCall { name: \"f\", args: [Int(2), ", "] }"},
      {"2 * ", "", "BinOp { left: Int(2), op: Mul, right: ", " }"},
  }};
  Printed printed;
  for (std::size_t i = levels; i-- > 0;) {
    printed.text += kWraps[i % 4].text_before;
    printed.tree += kWraps[i % 4].tree_before;
  }
  printed.text += "1";
  printed.tree += "Int(1)";
  for (std::size_t i = 0; i < levels; ++i) {
    printed.text += kWraps[i % 4].text_after;
    printed.tree += kWraps[i % 4].tree_after;
  }
  return printed;
}

// Parses a deep mixing of the forms, on the thread it runs on.
void* parse_deep(void* result) {
  const Printed printed = mixed_nesting(100000);
  *static_cast<bool*>(result) = assigned_text(printed.text) == printed.tree;
  return nullptr;
}

// 64 KiB is the least stack the reader promises to work on.
TEST(Expressions, parse_as_deep_on_a_thread_of_64_kib) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
  bool same = false;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, &parse_deep, &same), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(same);
}

}  // namespace
}  // namespace qelto::qasm3
