#include "compile/layout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace qelto::compile {
namespace {

using Placements = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

constexpr std::uint32_t kTop = 4294967295u;

Placements placements(const Layout& layout) {
  Placements out(layout.begin(), layout.end());
  std::ranges::sort(out);
  return out;
}

// Both directions must agree with the expected (logical, physical) pairs,
// including on physical qubits that must be free.
void expect_placements(const Layout& layout, const Placements& expected) {
  EXPECT_EQ(placements(layout), expected);
  EXPECT_EQ(layout.len(), expected.size());
  for (const auto& [logical, physical] : expected) {
    EXPECT_EQ(layout.get_physical(logical), physical);
    EXPECT_EQ(layout.get_logical(physical), logical);
  }
  for (const std::uint32_t physical : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, kTop}) {
    const bool held = std::ranges::any_of(
        expected, [physical](auto entry) { return entry.second == physical; });
    if (!held) {
      EXPECT_EQ(layout.get_logical(physical), std::nullopt)
          << "physical " << physical << " should be free";
    }
  }
}

struct Op {
  enum Kind { kAdd, kSwap } kind;
  std::uint32_t a;
  std::uint32_t b;
};

struct LayoutCase {
  const char* name;
  Layout start;
  std::vector<Op> ops;
  Placements expected;
};

void run(Layout& layout, const std::vector<Op>& ops) {
  for (const Op op : ops) {
    if (op.kind == Op::kAdd) {
      layout.add(op.a, op.b);
    } else {
      layout.swap(op.a, op.b);
    }
  }
}

TEST(LayoutTest, operations_keep_both_directions_consistent) {
  const LayoutCase cases[] = {
      {"empty", Layout(), {}, {}},
      {"trivial of zero", Layout::trivial(0), {}, {}},
      {"trivial", Layout::trivial(3), {}, {{0, 0}, {1, 1}, {2, 2}}},
      {"swap occupied pair",
       Layout::trivial(3),
       {{Op::kSwap, 0, 1}},
       {{0, 1}, {1, 0}, {2, 2}}},
      {"swap twice restores",
       Layout::trivial(3),
       {{Op::kSwap, 0, 1}, {Op::kSwap, 1, 0}},
       {{0, 0}, {1, 1}, {2, 2}}},
      {"swap into free qubit",
       Layout(),
       {{Op::kAdd, 0, 0}, {Op::kSwap, 0, 5}},
       {{0, 5}}},
      {"swap from free qubit",
       Layout(),
       {{Op::kAdd, 0, 0}, {Op::kSwap, 5, 0}},
       {{0, 5}}},
      {"swap two free qubits",
       Layout::trivial(3),
       {{Op::kSwap, 3, 4}},
       {{0, 0}, {1, 1}, {2, 2}}},
      {"swap with itself",
       Layout::trivial(3),
       {{Op::kSwap, 1, 1}},
       {{0, 0}, {1, 1}, {2, 2}}},
      {"add moves a logical qubit",
       Layout(),
       {{Op::kAdd, 0, 5}, {Op::kAdd, 0, 6}},
       {{0, 6}}},
      {"add displaces the previous occupant",
       Layout(),
       {{Op::kAdd, 0, 5}, {Op::kAdd, 1, 5}},
       {{1, 5}}},
      {"add displaces on both sides",
       Layout(),
       {{Op::kAdd, 0, 5}, {Op::kAdd, 1, 6}, {Op::kAdd, 0, 6}},
       {{0, 6}}},
      {"add repeated",
       Layout(),
       {{Op::kAdd, 2, 2}, {Op::kAdd, 2, 2}},
       {{2, 2}}},
      {"swap of a vacated qubit moves nothing",
       Layout(),
       {{Op::kAdd, 0, 5}, {Op::kAdd, 0, 6}, {Op::kSwap, 5, 7}},
       {{0, 6}}},
      {"top of range",
       Layout(),
       {{Op::kAdd, kTop, kTop}, {Op::kSwap, kTop, 0}},
       {{kTop, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Layout layout = c.start;
    run(layout, c.ops);
    expect_placements(layout, c.expected);
  }
}

TEST(LayoutTest, random_operations_never_leave_stale_entries) {
  constexpr std::uint32_t kRange = 8;
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::uint32_t> index(0, kRange - 1);
  for (int trial = 0; trial < 100; ++trial) {
    Layout layout = Layout::trivial(index(rng));
    for (int step = 0; step < 30; ++step) {
      const std::size_t len_before = layout.len();
      const Op op{rng() % 2 ? Op::kAdd : Op::kSwap, index(rng), index(rng)};
      run(layout, {op});
      if (op.kind == Op::kSwap) {
        ASSERT_EQ(layout.len(), len_before);
      } else {
        ASSERT_EQ(layout.get_physical(op.a), op.b);
        ASSERT_EQ(layout.get_logical(op.b), op.a);
      }
      std::size_t occupied = 0;
      for (std::uint32_t p = 0; p < kRange; ++p) {
        if (const auto logical = layout.get_logical(p)) {
          ++occupied;
          ASSERT_EQ(layout.get_physical(*logical), p);
        }
      }
      ASSERT_EQ(occupied, layout.len()) << "trial " << trial;
    }
  }
}

TEST(LayoutTest, copies_are_independent) {
  const Layout original = Layout::trivial(2);
  Layout copy = original;
  copy.swap(0, 1);
  copy.add(4, 4);
  expect_placements(original, {{0, 0}, {1, 1}});
  expect_placements(copy, {{0, 1}, {1, 0}, {4, 4}});
}

}  // namespace
}  // namespace qelto::compile
