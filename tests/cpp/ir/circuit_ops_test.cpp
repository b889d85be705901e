#include "ir/circuit_ops.hpp"

#include <gtest/gtest.h>

#include "snapshot.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using Strings = std::vector<std::string>;
using testing::added_ops;
using testing::describe;
using testing::ops_of;

QubitId q(std::uint32_t i) { return QubitId{i}; }

// h(1), cx(0, 1), h(0) is written topologically as h(0)... only when the
// search reaches it first; insertion order is what the calls did, and a
// qubit added after operations does not disturb it.
Circuit mixed_order() {
  Circuit c = Circuit::with_size("m", 2, 1);
  (void)c.h(q(1));
  (void)c.x(q(0));
  const QubitId late = c.add_qubit();
  (void)c.cx(late, q(0));
  (void)c.measure(q(1), ClbitId{0});
  (void)c.rz(PE::symbol("b"), q(1));
  (void)c.rz(PE::symbol("a"), late);
  (void)c.h(q(0));
  return c;
}

TEST(CircuitOpsTest, operations_come_in_insertion_order) {
  const Circuit c = mixed_order();
  const Strings expected = {"h q1",          "x q0",      "cx q2 q0",
                            "measure q1 -> c0", "rz(b) q1", "rz(a) q2",
                            "h q0"};
  EXPECT_EQ(added_ops(c), expected);
  EXPECT_EQ(num_operations(c), expected.size());
  Strings stepped;
  OperationCursor cursor;
  while (const auto i = next_operation(c, cursor)) {
    stepped.push_back(describe(i->to_instruction()));
  }
  EXPECT_EQ(stepped, expected);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(describe(operation_at(c, i)->to_instruction()), expected[i]);
  }
  EXPECT_FALSE(operation_at(c, expected.size()).has_value());
}

TEST(CircuitOpsTest, cursor_reaches_operations_added_after_it_ran_out) {
  Circuit c = Circuit::with_size("c", 1, 0);
  (void)c.h(q(0));
  OperationCursor cursor;
  ASSERT_TRUE(next_operation(c, cursor).has_value());
  EXPECT_FALSE(next_operation(c, cursor).has_value());
  (void)c.x(q(0));
  const auto later = next_operation(c, cursor);
  ASSERT_TRUE(later.has_value());
  EXPECT_EQ(describe(later->to_instruction()), "x q0");
}

TEST(CircuitOpsTest, counts_ops_in_order_of_first_appearance) {
  const Circuit c = mixed_order();
  const auto counts = count_ops(c);
  const std::vector<std::pair<std::string_view, std::uint64_t>> expected = {
      {"h", 2}, {"x", 1}, {"cx", 1}, {"measure", 1}, {"rz", 2}};
  EXPECT_EQ(counts, expected);
}

TEST(CircuitOpsTest, custom_gate_named_like_a_standard_one_shares_its_count) {
  Circuit c = Circuit::with_size("c", 1, 0);
  ASSERT_TRUE(c.apply(Instruction{{q(0)}, {}, Gate(CustomGate{"h", 1, {}})}));
  (void)c.h(q(0));
  ASSERT_TRUE(c.apply(Instruction{{q(0)}, {}, Gate(CustomGate{"g", 1, {}})}));
  const std::vector<std::pair<std::string_view, std::uint64_t>> expected = {
      {"h", 2}, {"g", 1}};
  EXPECT_EQ(count_ops(c), expected);
}

TEST(CircuitOpsTest, parameters_are_sorted_and_unique) {
  Circuit c = mixed_order();
  (void)c.u(PE::add(PE::symbol("b"), PE::symbol("c")), PE::pi(),
            PE::symbol("a"), q(0));
  EXPECT_EQ(parameters(c), (Strings{"a", "b", "c"}));
  EXPECT_TRUE(parameters(*Circuit::qft(4)).empty());
}

TEST(CircuitOpsTest, creation_steps_replay_registers_and_lone_bits_in_order) {
  Circuit c("r");
  c.add_qreg("a", 2);
  (void)c.h(q(0));
  c.add_clbit();
  c.add_qreg("a", 1);  // a second register of the same name
  c.add_qubit();
  c.add_creg("m", 3);
  Strings steps;
  for_each_creation_step(c, [&steps](const auto& step) {
    using S = std::decay_t<decltype(step)>;
    if constexpr (std::is_same_v<S, OperationRef>) {
      steps.push_back(describe(step.to_instruction()));
    } else {
      const std::string kind = std::is_same_v<S, QubitStep> ? "q" : "c";
      steps.push_back(kind + (step.register_name ? " " + *step.register_name
                                                 : std::string(" -")) +
                      " " + std::to_string(step.size));
    }
  });
  EXPECT_EQ(steps, (Strings{"q a 2", "h q0", "c - 1", "q a 1", "q - 1",
                            "c m 3"}));
}

}  // namespace
}  // namespace qelto::ir
