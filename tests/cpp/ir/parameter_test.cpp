#include "ir/parameter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "describe.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::describe;

PE sample() {
  // a + -(1.5)
  return PE::add(PE::symbol("a"), PE::neg(PE::constant(1.5)));
}

TEST(ParameterExpressionTest, variants_keep_their_declared_order) {
  EXPECT_EQ(PE::constant(1.0).index(), 0u);
  EXPECT_EQ(PE::symbol("x").index(), 1u);
  EXPECT_EQ(PE::pi().index(), 2u);
  EXPECT_EQ(PE::neg(PE::pi()).index(), 3u);
  EXPECT_EQ(PE::add(PE::pi(), PE::pi()).index(), 4u);
  EXPECT_EQ(PE::sub(PE::pi(), PE::pi()).index(), 5u);
  EXPECT_EQ(PE::mul(PE::pi(), PE::pi()).index(), 6u);
  EXPECT_EQ(PE::div(PE::pi(), PE::pi()).index(), 7u);
}

TEST(ParameterExpressionTest, stores_exactly_as_built) {
  PE e = PE::div(PE::sub(PE::constant(2.0), PE::symbol("t")),
                 PE::mul(PE::pi(), PE::constant(4.0)));
  EXPECT_EQ(describe(e), "((2-t)/(pi*4))");
  const auto* d = e.get_if<PE::Div>();
  ASSERT_NE(d, nullptr);
  EXPECT_NE(d->left->get_if<PE::Sub>(), nullptr);
  EXPECT_NE(d->right->get_if<PE::Mul>(), nullptr);
}

TEST(ParameterExpressionTest, constructs_from_variant_structs) {
  PE c = PE::Constant{0.25};
  PE s = PE::Symbol{"theta"};
  PE p = PE::Pi{};
  PE n = PE::Neg{std::make_unique<PE>(PE::Pi{})};
  EXPECT_EQ(c.get_if<PE::Constant>()->value, 0.25);
  EXPECT_EQ(s.get_if<PE::Symbol>()->name, "theta");
  EXPECT_NE(p.get_if<PE::Pi>(), nullptr);
  EXPECT_EQ(describe(n), "-(pi)");
  EXPECT_EQ(describe(PE()), "0");
}

TEST(ParameterExpressionTest, clone_is_equal_and_independent) {
  auto source = std::make_unique<PE>(sample());
  {
    PE copy = source->clone();
    EXPECT_EQ(copy, *source);
    EXPECT_EQ(describe(copy), "(a+-(1.5))");
    // Independent nodes: nothing is shared.
    EXPECT_NE(copy.get_if<PE::Add>()->left.get(),
              source->get_if<PE::Add>()->left.get());
  }
  // Dropping the copy left the source intact.
  EXPECT_EQ(describe(*source), "(a+-(1.5))");
  PE copy = source->clone();
  source.reset();
  EXPECT_EQ(describe(copy), "(a+-(1.5))");
}

TEST(ParameterExpressionTest, empty_symbol_is_valid_and_copies) {
  PE e = PE::symbol("");
  PE copy = e.clone();
  ASSERT_NE(copy.get_if<PE::Symbol>(), nullptr);
  EXPECT_EQ(copy.get_if<PE::Symbol>()->name, "");
  EXPECT_EQ(copy, e);
}

TEST(ParameterExpressionTest, equality_is_structural) {
  EXPECT_EQ(sample(), sample());
  EXPECT_FALSE(PE::pi() == PE::constant(std::numbers::pi));
  EXPECT_FALSE(PE::sub(PE::symbol("a"), PE::symbol("b")) ==
               PE::sub(PE::symbol("b"), PE::symbol("a")));
  EXPECT_FALSE(PE::add(PE::pi(), PE::pi()) == PE::mul(PE::pi(), PE::pi()));
  EXPECT_FALSE(PE::symbol("a") == PE::symbol("b"));
  EXPECT_FALSE(PE::constant(NAN) == PE::constant(NAN));
}

TEST(ParameterExpressionTest, moved_from_is_constant_zero) {
  PE e = sample();
  PE taken = std::move(e);
  EXPECT_EQ(describe(taken), "(a+-(1.5))");
  EXPECT_EQ(e, PE::constant(0.0));  // NOLINT(bugprone-use-after-move)
  PE target = PE::pi();
  target = std::move(taken);
  EXPECT_EQ(describe(target), "(a+-(1.5))");
  EXPECT_EQ(taken, PE::constant(0.0));  // NOLINT(bugprone-use-after-move)
}

// Constants move without a visit; every other kind takes the general path.
// Either way the target holds the value and the source is Constant{0.0}.
TEST(ParameterExpressionTest, moves_between_every_kind_keep_the_value) {
  const std::vector<std::function<PE()>> kinds = {
      [] { return PE::constant(-2.5); },
      [] { return PE::symbol("a long enough name to leave the buffer"); },
      [] { return PE::pi(); },
      [] { return PE::neg(PE::symbol("x")); },
      [] { return PE::div(PE::pi(), PE::constant(4)); },
  };
  for (std::size_t from = 0; from < kinds.size(); ++from) {
    PE source = kinds[from]();
    PE built(std::move(source));
    EXPECT_EQ(built, kinds[from]()) << from;
    EXPECT_EQ(source, PE::constant(0.0)) << from;  // NOLINT(bugprone-use-after-move)
    for (std::size_t to = 0; to < kinds.size(); ++to) {
      PE value = kinds[from]();
      PE target = kinds[to]();
      target = std::move(value);
      EXPECT_EQ(target, kinds[from]()) << from << " into " << to;
      EXPECT_EQ(value, PE::constant(0.0)) << from << " into " << to;  // NOLINT
    }
    PE self = kinds[from]();
    PE& alias = self;
    self = std::move(alias);
    EXPECT_EQ(self, kinds[from]()) << from;
  }
}

TEST(ParameterExpressionTest, move_assigning_a_subtree_into_its_root_is_safe) {
  PE e = PE::add(PE::neg(PE::symbol("x")), PE::constant(2.0));
  e = std::move(*e.get_if<PE::Add>()->left);
  EXPECT_EQ(describe(e), "-(x)");
  e = std::move(*e.get_if<PE::Neg>()->operand);
  EXPECT_EQ(describe(e), "x");
}

// Deep trees: clone, compare and drop must not recurse per level. A
// recursive walk over a million levels overflows any default stack.
constexpr int kDeep = 1'000'000;

TEST(ParameterExpressionTest, slow_million_deep_neg_chain_copies_and_drops) {
  PE e = PE::symbol("x");
  for (int i = 0; i < kDeep; ++i) {
    e = PE::neg(std::move(e));
  }
  PE copy = e.clone();
  EXPECT_EQ(copy, e);
  // Walk down the copy to check its depth.
  const PE* cur = &copy;
  int levels = 0;
  while (const auto* n = cur->get_if<PE::Neg>()) {
    cur = n->operand.get();
    ++levels;
  }
  EXPECT_EQ(levels, kDeep);
  EXPECT_EQ(cur->get_if<PE::Symbol>()->name, "x");
}

TEST(ParameterExpressionTest, slow_million_deep_add_chains_copy_and_drop) {
  // Left-leaning: ((((1 + 1) + 1) + 1) ...), as a reader folds a + b + c.
  PE left = PE::constant(1.0);
  for (int i = 0; i < kDeep; ++i) {
    left = PE::add(std::move(left), PE::constant(1.0));
  }
  // Right-leaning with Neg in between: 1 - -(1 - -(1 ...)).
  PE right = PE::symbol("y");
  for (int i = 0; i < kDeep; ++i) {
    right = PE::sub(PE::constant(1.0), PE::neg(std::move(right)));
  }
  PE left_copy = left.clone();
  PE right_copy = right.clone();
  EXPECT_EQ(left_copy, left);
  EXPECT_EQ(right_copy, right);
  EXPECT_FALSE(left_copy == right_copy);
}

TEST(ParameterExpressionTest, slow_wide_balanced_tree_copies_and_drops) {
  // 2^18 leaves; exercises the rotations on both sides.
  std::vector<PE> level;
  for (int i = 0; i < (1 << 18); ++i) {
    level.push_back(i % 3 == 0 ? PE::symbol("s") : PE::constant(i));
  }
  while (level.size() > 1) {
    std::vector<PE> next;
    for (std::size_t i = 0; i + 1 < level.size(); i += 2) {
      next.push_back(i % 4 == 0 ? PE::mul(std::move(level[i]), std::move(level[i + 1]))
                                : PE::neg(PE::div(std::move(level[i]), std::move(level[i + 1]))));
    }
    level = std::move(next);
  }
  PE copy = level[0].clone();
  EXPECT_EQ(copy, level[0]);
}

}  // namespace
}  // namespace qelto::ir
