// Running out of memory in compose: whichever allocation fails, compose
// throws std::bad_alloc and the target is left exactly as it was (the
// operations are gathered first, then appended at once after everything is
// reserved), also when a circuit is composed onto itself.
#include <gtest/gtest.h>

#include <new>

#include "ir/transform.hpp"
#include "snapshot.hpp"
#include "support/failing_allocator.hpp"

namespace qelto::ir {
namespace {

using ParameterExpression = ir::ParameterExpression;

QubitId q(std::uint32_t i) { return QubitId{i}; }

void expect_unchanged_until_it_succeeds(const Circuit& other) {
  for (std::int64_t k = 0;; ++k) {
    Circuit target = Circuit::with_size("t", 12, 12);
    (void)target.h(q(0));
    const auto before = testing::snapshot(target);
    testing_support::fail_after(k);
    try {
      auto result = compose(target, other, std::nullopt, std::nullopt);
      testing_support::allow_all();
      ASSERT_TRUE(result);
      EXPECT_EQ(num_operations(target), 1 + num_operations(other));
      return;
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
      EXPECT_EQ(testing::snapshot(target), before) << "failing after " << k;
    }
  }
}

TEST(TransformAllocationFailureTest, compose_leaves_the_target_unchanged) {
  Circuit narrow = Circuit::with_size("n", 12, 12);
  (void)narrow.rz(ParameterExpression::symbol("t"), q(1));
  (void)narrow.cx(q(1), q(2));
  expect_unchanged_until_it_succeeds(narrow);

  Circuit wide = Circuit::with_size("w", 12, 12);
  (void)wide.x(q(4));
  (void)wide.measure_all();
  expect_unchanged_until_it_succeeds(wide);
}

TEST(TransformAllocationFailureTest, compose_onto_itself_leaves_it_unchanged) {
  for (std::int64_t k = 0;; ++k) {
    Circuit target = Circuit::with_size("t", 12, 12);
    (void)target.rz(ParameterExpression::symbol(std::string(40, 'p')), q(3));
    (void)target.measure_all();
    const auto before = testing::snapshot(target);
    testing_support::fail_after(k);
    try {
      auto result = compose(target, target, std::nullopt, std::nullopt);
      testing_support::allow_all();
      ASSERT_TRUE(result);
      EXPECT_EQ(num_operations(target), 4u);
      return;
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
      ASSERT_EQ(testing::snapshot(target), before) << "failing after " << k;
    }
  }
}

}  // namespace
}  // namespace qelto::ir
