#include "ir/parameter_eval.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "describe.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::describe;

PE c(double v) { return PE::constant(v); }
PE sym(const char* name) { return PE::symbol(name); }

struct ValueCase {
  const char* name;
  PE (*make)();
  std::optional<double> value;
};

TEST(ParameterEvalTest, evaluates_expressions_without_symbols) {
  const ValueCase cases[] = {
      {"constant", [] { return c(0.25); }, 0.25},
      {"pi", [] { return PE::pi(); }, M_PI},
      {"pi_half", [] { return PE::div(PE::pi(), c(2)); }, M_PI / 2},
      {"neg", [] { return PE::neg(c(3)); }, -3.0},
      {"mixed",
       [] { return PE::sub(PE::mul(c(2), c(3)), PE::add(c(1), c(0.5))); },
       4.5},
      {"symbol", [] { return sym("a"); }, std::nullopt},
      {"symbol_deep_inside",
       [] { return PE::add(c(1), PE::neg(PE::mul(sym("a"), c(2)))); },
       std::nullopt},
  };
  for (const ValueCase& t : cases) {
    EXPECT_EQ(evaluate(t.make()), t.value) << t.name;
  }
}

TEST(ParameterEvalTest, collects_symbols_left_to_right_with_repeats) {
  const PE e = PE::add(PE::mul(sym("b"), sym("a")), PE::neg(sym("b")));
  std::vector<std::string_view> names;
  collect_symbols(e, names);
  EXPECT_EQ(names, (std::vector<std::string_view>{"b", "a", "b"}));
}

TEST(ParameterEvalTest, substitute_folds_only_when_no_symbol_is_left) {
  const ParameterValues values{{"a", 0.5}};
  const PE all = PE::add(sym("a"), PE::pi());
  const PE folded = substitute(all, values);
  ASSERT_NE(folded.get_if<PE::Constant>(), nullptr);
  EXPECT_DOUBLE_EQ(folded.get_if<PE::Constant>()->value, 0.5 + M_PI);

  const PE partial = PE::mul(sym("a"), sym("b"));
  EXPECT_EQ(describe(substitute(partial, values)), "(0.5*b)");
  EXPECT_EQ(describe(substitute(sym("b"), values)), "b");
  EXPECT_EQ(describe(substitute(sym("a"), values)), "0.5");
}

TEST(ParameterEvalTest, negated_flips_constants_and_wraps_the_rest) {
  EXPECT_EQ(describe(negated(c(0.5))), "-0.5");
  EXPECT_EQ(describe(negated(sym("t"))), "-(t)");
  EXPECT_EQ(describe(negated(PE::pi())), "-(pi)");
}

TEST(ParameterEvalTest, walks_a_deep_chain_without_recursion) {
  PE chain = sym("x");
  for (int i = 0; i < 200'000; ++i) {
    chain = PE::neg(std::move(chain));
  }
  EXPECT_EQ(evaluate(chain), std::nullopt);
  const PE bound = substitute(chain, ParameterValues{{"x", 2.0}});
  ASSERT_NE(bound.get_if<PE::Constant>(), nullptr);
  EXPECT_EQ(bound.get_if<PE::Constant>()->value, 2.0);
}

}  // namespace
}  // namespace qelto::ir
