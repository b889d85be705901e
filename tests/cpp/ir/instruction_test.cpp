#include "ir/instruction.hpp"

#include <gtest/gtest.h>

#include "describe.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::describe;

std::vector<std::uint32_t> items(const QubitList& list) {
  std::vector<std::uint32_t> out;
  for (QubitId q : list) {
    out.push_back(q.index);
  }
  return out;
}

TEST(OperandListTest, is_sixteen_bytes) {
  EXPECT_EQ(sizeof(QubitList), 16u);
  EXPECT_EQ(sizeof(ClbitList), 16u);
}

TEST(OperandListTest, push_back_keeps_order_across_inline_and_heap) {
  QubitList list;
  std::vector<std::uint32_t> expected;
  EXPECT_TRUE(list.empty());
  for (std::uint32_t i = 0; i < 100; ++i) {
    list.push_back(QubitId{i * 7});
    expected.push_back(i * 7);
    ASSERT_EQ(list.size(), i + 1);
    ASSERT_EQ(items(list), expected);
    EXPECT_EQ(list.back(), QubitId{i * 7});
  }
  EXPECT_EQ(list.front(), QubitId{0});
  EXPECT_EQ(list[50], QubitId{350});
}

TEST(OperandListTest, constructs_from_lists_spans_and_vectors) {
  QubitList a{QubitId{1}, QubitId{2}};
  std::vector<QubitId> v{QubitId{1}, QubitId{2}};
  QubitList b = v;
  QubitList c = std::span<const QubitId>(v);
  EXPECT_EQ(a, b);
  EXPECT_EQ(b, c);
  std::vector<QubitId> big;
  for (std::uint32_t i = 0; i < 9; ++i) {
    big.push_back(QubitId{i});
  }
  QubitList d = big;
  EXPECT_EQ(d.size(), 9u);
  std::span<const QubitId> view = d;
  EXPECT_EQ(view.size(), 9u);
  EXPECT_EQ(view[8], QubitId{8});
  EXPECT_FALSE(a == d);
}

TEST(OperandListTest, copies_and_moves_are_independent) {
  for (std::uint32_t n : {0u, 2u, 3u, 4u, 5u, 17u}) {
    SCOPED_TRACE(n);
    QubitList original;
    for (std::uint32_t i = 0; i < n; ++i) {
      original.push_back(QubitId{i});
    }
    QubitList copy = original;
    EXPECT_EQ(copy, original);
    copy.push_back(QubitId{99});
    EXPECT_EQ(original.size(), n);
    QubitList moved = std::move(copy);
    EXPECT_EQ(moved.size(), n + 1);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move)
    QubitList assigned{QubitId{5}, QubitId{6}, QubitId{7}, QubitId{8}};
    assigned = original;
    EXPECT_EQ(assigned, original);
    assigned = std::move(moved);
    EXPECT_EQ(assigned.size(), n + 1);
    assigned = assigned;  // self-assignment keeps the list
    EXPECT_EQ(assigned.size(), n + 1);
    assigned.clear();
    EXPECT_TRUE(assigned.empty());
  }
}

TEST(InstructionTest, single_qubit_gate_builds_unchecked_gate_instruction) {
  Instruction i = Instruction::single_qubit_gate(
      StandardGate(StandardGate::P, PE::constant(0.5)), QubitId{3});
  EXPECT_EQ(describe(i), "p(0.5) q3");
  EXPECT_TRUE(i.clbits.empty());
  // No check: a two-qubit gate is accepted here (apply rejects it).
  Instruction j =
      Instruction::single_qubit_gate(StandardGate(StandardGate::Cx), QubitId{0});
  EXPECT_EQ(describe(j), "cx q0");
}

TEST(InstructionTest, kinds_keep_their_variant_order) {
  EXPECT_EQ(InstructionKind(Gate()).index(), 0u);
  EXPECT_EQ(InstructionKind(Measure{}).index(), 1u);
  EXPECT_EQ(InstructionKind(Reset{}).index(), 2u);
  EXPECT_EQ(InstructionKind(Barrier{}).index(), 3u);
  EXPECT_EQ(InstructionKind(Delay{5}).index(), 4u);
}

TEST(InstructionTest, barrier_may_have_no_qubits) {
  Instruction b{{}, {}, Barrier{}};
  EXPECT_EQ(describe(b), "barrier");
  EXPECT_EQ(b.gate(), nullptr);
}

TEST(InstructionTest, clone_copies_lists_gate_and_parameters) {
  std::vector<PE> params;
  params.push_back(PE::symbol("k"));
  auto original = std::make_unique<Instruction>(Instruction{
      {QubitId{4}, QubitId{1}}, {ClbitId{2}}, Gate(CustomGate{"g", 2, std::move(params)})});
  Instruction copy = original->clone();
  original.reset();
  EXPECT_EQ(describe(copy), "g(k) q4 q1 -> c2");

  Instruction delay{{QubitId{0}}, {}, Delay{42}};
  EXPECT_EQ(describe(delay.clone()), "delay[42] q0");
  Instruction measure{{QubitId{0}, QubitId{1}}, {ClbitId{1}, ClbitId{0}}, Measure{}};
  EXPECT_EQ(describe(measure.clone()), "measure q0 q1 -> c1 c0");
  Instruction u = Instruction::single_qubit_gate(
      StandardGate(StandardGate::U, PE::pi(), PE::constant(1), PE::symbol("l")),
      QubitId{2});
  EXPECT_EQ(describe(u.clone()), "u(pi,1,l) q2");
}

}  // namespace
}  // namespace qelto::ir
