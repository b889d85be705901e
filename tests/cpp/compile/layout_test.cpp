#include "compile/layout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace qelto::compile {
namespace {

using Placements = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
constexpr std::uint32_t kTop = 4294967295u;

struct Op {
  bool is_swap;
  std::uint32_t a, b;
};

void run(Layout& layout, const std::vector<Op>& ops) {
  for (const Op op : ops) {
    op.is_swap ? layout.swap(PhysicalQubit{op.a}, PhysicalQubit{op.b})
               : layout.add(ir::QubitId{op.a}, PhysicalQubit{op.b});
  }
}

// The logical qubit on physical qubit `p`, as a bare index.
std::optional<std::uint32_t> logical_on(const Layout& layout, std::uint32_t p) {
  const auto logical = layout.get_logical(PhysicalQubit{p});
  return logical ? std::optional(logical->index) : std::nullopt;
}

std::optional<std::uint32_t> physical_of(const Layout& layout,
                                         std::uint32_t l) {
  const auto physical = layout.get_physical(ir::QubitId{l});
  return physical ? std::optional(physical->index) : std::nullopt;
}

// Both directions must agree with the expected (logical, physical) pairs;
// every other probed physical qubit must be free.
void expect_placements(const Layout& layout, const Placements& expected) {
  Placements actual;
  for (const auto& [logical, physical] : layout) {
    actual.emplace_back(logical.index, physical.index);
  }
  std::ranges::sort(actual);
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(layout.len(), expected.size());
  for (const std::uint32_t p : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, kTop}) {
    const auto held =
        std::ranges::find(expected, p, [](auto e) { return e.second; });
    const auto logical =
        held == expected.end() ? std::nullopt : std::optional(held->first);
    EXPECT_EQ(logical_on(layout, p), logical) << "physical " << p;
    if (logical) {
      EXPECT_EQ(physical_of(layout, *logical), p);
    }
  }
}

TEST(LayoutTest, operations_keep_both_directions_consistent) {
  constexpr bool kAdd = false, kSwap = true;
  const struct {
    const char* name;
    Layout start;
    std::vector<Op> ops;
    Placements expected;
  } cases[] = {
      {"empty", Layout(), {}, {}},
      {"trivial", Layout::trivial(3), {}, {{0, 0}, {1, 1}, {2, 2}}},
      {"swap occupied",
       Layout::trivial(3),
       {{kSwap, 0, 1}},
       {{0, 1}, {1, 0}, {2, 2}}},
      {"swap twice",
       Layout::trivial(3),
       {{kSwap, 0, 1}, {kSwap, 1, 0}},
       {{0, 0}, {1, 1}, {2, 2}}},
      {"swap into free", Layout(), {{kAdd, 0, 0}, {kSwap, 0, 5}}, {{0, 5}}},
      {"swap from free", Layout(), {{kAdd, 0, 0}, {kSwap, 5, 0}}, {{0, 5}}},
      {"swap two free",
       Layout::trivial(2),
       {{kSwap, 3, 4}, {kSwap, 1, 1}},
       {{0, 0}, {1, 1}}},
      {"add moves", Layout(), {{kAdd, 0, 5}, {kAdd, 0, 6}}, {{0, 6}}},
      {"add displaces", Layout(), {{kAdd, 0, 5}, {kAdd, 1, 5}}, {{1, 5}}},
      {"add displaces both",
       Layout(),
       {{kAdd, 0, 5}, {kAdd, 1, 6}, {kAdd, 0, 6}},
       {{0, 6}}},
      {"vacated qubit holds nothing",
       Layout(),
       {{kAdd, 0, 5}, {kAdd, 0, 6}, {kSwap, 5, 7}},
       {{0, 6}}},
      {"top of range",
       Layout(),
       {{kAdd, kTop, kTop}, {kSwap, kTop, 0}},
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
      const Op op{rng() % 2 == 0, index(rng), index(rng)};
      run(layout, {op});
      if (op.is_swap) {
        ASSERT_EQ(layout.len(), len_before);
      } else {
        ASSERT_EQ(logical_on(layout, op.b), op.a);
      }
      std::size_t occupied = 0;
      for (std::uint32_t p = 0; p < kRange; ++p) {
        if (const auto logical = logical_on(layout, p)) {
          ++occupied;
          ASSERT_EQ(physical_of(layout, *logical), p);
        }
      }
      ASSERT_EQ(occupied, layout.len()) << "trial " << trial;
    }
  }
}

}  // namespace
}  // namespace qelto::compile
