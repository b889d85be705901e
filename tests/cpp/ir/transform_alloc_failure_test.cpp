// Running out of memory in the transformations. Whichever allocation fails,
// compose throws std::bad_alloc and the target is left exactly as it was
// (the operations are checked and all room reserved before the first
// change), also when a circuit is composed onto itself; the others leave
// their source as it was.
#include <gtest/gtest.h>

#include <new>

#include "ir/serialize.hpp"
#include "ir/transform.hpp"
#include "snapshot.hpp"
#include "support/failing_allocator.hpp"

namespace qelto::ir {
namespace {

using ParameterExpression = ir::ParameterExpression;

QubitId q(std::uint32_t i) { return QubitId{i}; }

Circuit target_circuit() {
  Circuit target = Circuit::with_size("t", 12, 12);
  (void)target.h(q(0));
  return target;
}

void expect_unchanged_until_it_succeeds(const Circuit& other) {
  Circuit expected = target_circuit();
  ASSERT_TRUE(compose(expected, other, std::nullopt, std::nullopt));
  // One target for every attempt: whatever a failed attempt leaves behind
  // must not show, then or in the attempt that succeeds.
  Circuit target = target_circuit();
  const auto before = testing::snapshot(target);
  for (std::int64_t k = 0;; ++k) {
    testing_support::fail_after(k);
    try {
      auto result = compose(target, other, std::nullopt, std::nullopt);
      testing_support::allow_all();
      ASSERT_TRUE(result);
      EXPECT_EQ(testing::snapshot(target), testing::snapshot(expected));
      return;
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
      ASSERT_EQ(testing::snapshot(target), before) << "failing after " << k;
    }
  }
}

TEST(TransformAllocationFailureTest, compose_leaves_the_target_unchanged) {
  Circuit narrow = Circuit::with_size("n", 12, 12);
  (void)narrow.rz(ParameterExpression::symbol("t"), q(1));
  (void)narrow.cx(q(1), q(2));
  // A parameter and a custom gate whose copies allocate.
  (void)narrow.rx(ParameterExpression::symbol(std::string(40, 's')), q(3));
  std::vector<ParameterExpression> params;
  params.push_back(ParameterExpression::symbol(std::string(40, 'c')));
  (void)narrow.apply(Instruction{
      {q(4), q(5)}, {}, Gate(CustomGate{"g", 2, std::move(params)})});
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

// The transformations that make a new circuit: whichever allocation fails,
// they throw std::bad_alloc, the source is unchanged, and the attempt that
// succeeds gives the circuit an undisturbed run gives.
template <class Make>
void expect_clean_until_it_succeeds(const Circuit& source, Make make) {
  const auto expected = testing::snapshot(make(source));
  const auto before = testing::snapshot(source);
  for (std::int64_t k = 0;; ++k) {
    testing_support::fail_after(k);
    try {
      Circuit made = make(source);
      testing_support::allow_all();
      EXPECT_EQ(testing::snapshot(made), expected);
      return;
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
      ASSERT_EQ(testing::snapshot(source), before) << "failing after " << k;
    }
  }
}

TEST(TransformAllocationFailureTest, new_circuits_fail_cleanly) {
  Circuit source("s");
  source.add_qreg("a", 3);
  (void)source.rz(ParameterExpression::symbol(std::string(40, 't')), q(1));
  source.add_clbit();
  (void)source.iswap(q(0), q(2));
  (void)source.u(ParameterExpression::pi(), ParameterExpression::symbol("p"),
                 ParameterExpression::constant(2), q(2));
  (void)source.barrier_all();
  expect_clean_until_it_succeeds(source,
                                 [](const Circuit& c) { return *inverse(c); });
  const std::pair<std::string, double> values[] = {{"p", 0.5}};
  expect_clean_until_it_succeeds(source, [&](const Circuit& c) {
    return *assign_parameters(c, values);
  });
  expect_clean_until_it_succeeds(
      source, [](const Circuit& c) { return copy(c, "named"); });
  (void)source.measure(q(0), ClbitId{0});
  expect_clean_until_it_succeeds(
      source, [](const Circuit& c) { return *from_bytes(to_bytes(c)); });
}

}  // namespace
}  // namespace qelto::ir
