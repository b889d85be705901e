// Running out of memory must surface as std::bad_alloc and leave every value
// as it was. This file replaces the global operator new for the whole test
// binary so that a test can make the n-th allocation fail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <vector>

#include "compile/coupling_map.hpp"
#include "compile/layout.hpp"

namespace {

// Allocations still allowed before the next one fails; negative when off.
std::int64_t allocations_left = -1;

}  // namespace

void* operator new(std::size_t size) {
  if (allocations_left == 0) {
    throw std::bad_alloc();
  }
  if (allocations_left > 0) {
    --allocations_left;
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace qelto::compile {
namespace {

constexpr std::uint32_t kProbes[] = {0, 1, 2, 3, 5, 6, 7, 9};

struct MapState {
  std::vector<Edge> edges;
  std::vector<std::optional<std::uint32_t>> distances;
  std::vector<bool> connected;
  friend bool operator==(const MapState&, const MapState&) = default;
};

MapState observe(const CouplingMap& map) {
  MapState state{{map.edges().begin(), map.edges().end()}, {}, {}};
  for (const std::uint32_t a : kProbes) {
    for (const std::uint32_t b : kProbes) {
      state.distances.push_back(map.distance(a, b));
      state.connected.push_back(map.is_connected(a, b));
    }
  }
  return state;
}

struct LayoutState {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> placements;
  std::vector<std::optional<std::uint32_t>> occupants;
  friend bool operator==(const LayoutState&, const LayoutState&) = default;
};

LayoutState observe(const Layout& layout) {
  LayoutState state{{layout.begin(), layout.end()}, {}};
  std::ranges::sort(state.placements);
  for (const std::uint32_t p : kProbes) {
    state.occupants.push_back(layout.get_logical(p));
  }
  return state;
}

// Makes each allocation of `change` fail in turn and checks that the value
// is untouched by the failure and still takes the change afterwards.
template <class Value>
void expect_unchanged_on_failure(const Value& start,
                                 const std::function<void(Value&)>& change) {
  Value reference = start;
  change(reference);
  const auto after = observe(reference);
  for (std::int64_t allowed = 0;; ++allowed) {
    Value value = start;
    const auto before = observe(value);
    allocations_left = allowed;
    bool failed = false;
    try {
      change(value);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
    allocations_left = -1;
    if (!failed) {
      EXPECT_EQ(observe(value), after);
      return;
    }
    ASSERT_EQ(observe(value), before) << "failing allocation " << allowed;
    change(value);
    ASSERT_EQ(observe(value), after) << "retry after allocation " << allowed;
  }
}

struct EdgeCase {
  const char* name;
  CouplingMap start;
  Edge edge;
};

TEST(AllocationFailureTest, add_edge_leaves_the_map_unchanged) {
  const EdgeCase cases[] = {
      {"two new qubits", CouplingMap(3), {5, 6}},
      {"edge list full", CouplingMap::linear(3), {2, 9}},
      {"self-loop on a full list", CouplingMap::linear(3), {1, 1}},
      {"new self-loop", CouplingMap::star(3), {7, 7}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expect_unchanged_on_failure<CouplingMap>(c.start, [&c](CouplingMap& map) {
      map.add_edge(c.edge.q1, c.edge.q2);
    });
  }
}

struct LayoutChangeCase {
  const char* name;
  Layout start;
  std::function<void(Layout&)> change;
};

Layout single(std::uint32_t logical, std::uint32_t physical) {
  Layout layout;
  layout.add(logical, physical);
  return layout;
}

TEST(AllocationFailureTest, layout_changes_leave_the_layout_unchanged) {
  const LayoutChangeCase cases[] = {
      {"add to empty", Layout(), [](Layout& l) { l.add(1, 2); }},
      {"add moving a logical qubit", Layout::trivial(3),
       [](Layout& l) { l.add(0, 5); }},
      {"add onto an occupied qubit", Layout::trivial(3),
       [](Layout& l) { l.add(7, 1); }},
      {"swap into a free qubit", single(0, 0), [](Layout& l) { l.swap(0, 5); }},
      {"swap from a free qubit", single(0, 0), [](Layout& l) { l.swap(6, 0); }},
      {"swap two occupied qubits", Layout::trivial(3),
       [](Layout& l) { l.swap(0, 2); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expect_unchanged_on_failure<Layout>(c.start, c.change);
  }
}

TEST(AllocationFailureTest, edge_count_beyond_any_vector_is_bad_alloc) {
  EXPECT_THROW((void)CouplingMap::full(4294967295u), std::bad_alloc);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// Caps the address space well below what `build` needs, then exits with 0
// exactly when `build` gives up with std::bad_alloc.
[[noreturn]] void exit_zero_on_bad_alloc(const std::function<void()>& build) {
  // Far below any of the sizes tried, far above what the test itself needs.
  constexpr rlim_t kLimit = rlim_t{4} << 30;
  const rlimit limit{kLimit, kLimit};
  setrlimit(RLIMIT_AS, &limit);
  try {
    build();
  } catch (const std::bad_alloc&) {
    std::_Exit(0);
  }
  std::_Exit(1);
}

TEST(AllocationFailureTest, sizes_beyond_memory_fail_with_bad_alloc) {
  if (kAddressSanitizer) {
    GTEST_SKIP() << "the sanitizer runtime needs an unlimited address space";
  }
  const std::function<void()> builds[] = {
      [] { (void)CouplingMap::full(200000); },
      [] { (void)CouplingMap::linear(4294967295u); },
      [] { (void)CouplingMap::star(4294967295u); },
      [] { (void)Layout::trivial(4294967295u); },
  };
  for (const auto& build : builds) {
    EXPECT_EXIT(exit_zero_on_bad_alloc(build), testing::ExitedWithCode(0), "");
  }
}

}  // namespace
}  // namespace qelto::compile
