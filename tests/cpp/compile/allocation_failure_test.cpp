// Running out of memory must surface as std::bad_alloc and leave every value
// as it was. The test program's replaced global operator new lets a test make
// the n-th allocation fail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <new>
#include <vector>

#include "compile/coupling_map.hpp"
#include "compile/layout.hpp"
#include "support/failing_allocator.hpp"

namespace qelto::compile {
namespace {

constexpr std::uint32_t kProbes[] = {0, 1, 2, 5, 6, 7, 9};

// Everything a caller can see of a value, as text.
std::string observe(const CouplingMap& map) {
  std::string seen;
  for (const Edge e : map.edges()) {
    seen += std::to_string(e.q1.index) + "-" + std::to_string(e.q2.index) + " ";
  }
  for (const std::uint32_t a_index : kProbes) {
    for (const std::uint32_t b_index : kProbes) {
      const PhysicalQubit a{a_index};
      const PhysicalQubit b{b_index};
      seen += std::to_string(map.distance(a, b).value_or(99)) +
              (map.is_connected(a, b) ? "c" : "");
    }
  }
  return seen;
}

std::string observe(const Layout& layout) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
  for (const auto& [logical, physical] : layout) {
    entries.emplace_back(logical.index, physical.index);
  }
  std::ranges::sort(entries);
  std::string seen;
  for (const auto& [logical, physical] : entries) {
    seen += std::to_string(logical) + ">" + std::to_string(physical) + " ";
  }
  for (const std::uint32_t p : kProbes) {
    const auto logical = layout.get_logical(PhysicalQubit{p});
    seen += std::to_string(logical.value_or(ir::QubitId{99}).index) + " ";
  }
  return seen;
}

// Makes each allocation of `change` fail in turn and checks that the value
// is untouched by the failure and still takes the change afterwards.
template <class Value>
void expect_unchanged_on_failure(const Value& start,
                                 const std::function<void(Value&)>& change) {
  Value reference = start;
  change(reference);
  for (std::int64_t allowed = 0;; ++allowed) {
    Value value = start;
    testing_support::fail_after(allowed);
    try {
      change(value);
      testing_support::allow_all();
      EXPECT_EQ(observe(value), observe(reference));
      return;
    } catch (const std::bad_alloc&) {
      testing_support::allow_all();
    }
    ASSERT_EQ(observe(value), observe(start))
        << "failing allocation " << allowed;
    change(value);
    ASSERT_EQ(observe(value), observe(reference)) << "retry " << allowed;
  }
}

TEST(AllocationFailureTest, add_edge_leaves_the_map_unchanged) {
  const struct {
    CouplingMap start;
    Edge edge;
  } cases[] = {
      {CouplingMap(3), {{5}, {6}}},
      {CouplingMap::linear(3), {{2}, {9}}},
      {CouplingMap::linear(3), {{1}, {1}}},
      {CouplingMap::star(3), {{7}, {7}}},
  };
  for (const auto& c : cases) {
    expect_unchanged_on_failure<CouplingMap>(c.start, [&c](CouplingMap& map) {
      map.add_edge(c.edge.q1, c.edge.q2);
    });
  }
}

TEST(AllocationFailureTest, layout_changes_leave_the_layout_unchanged) {
  Layout one;
  one.add(ir::QubitId{0}, PhysicalQubit{0});
  const struct {
    Layout start;
    std::function<void(Layout&)> change;
  } cases[] = {
      {Layout(), [](Layout& l) { l.add(ir::QubitId{1}, PhysicalQubit{2}); }},
      {Layout::trivial(3),
       [](Layout& l) { l.add(ir::QubitId{0}, PhysicalQubit{5}); }},
      {Layout::trivial(3),
       [](Layout& l) { l.add(ir::QubitId{7}, PhysicalQubit{1}); }},
      {one, [](Layout& l) { l.swap(PhysicalQubit{0}, PhysicalQubit{5}); }},
      {one, [](Layout& l) { l.swap(PhysicalQubit{6}, PhysicalQubit{0}); }},
      {Layout::trivial(3),
       [](Layout& l) { l.swap(PhysicalQubit{0}, PhysicalQubit{2}); }},
  };
  for (const auto& c : cases) {
    expect_unchanged_on_failure<Layout>(c.start, c.change);
  }
}

TEST(AllocationFailureTest, edge_count_beyond_any_vector_is_bad_alloc) {
  EXPECT_THROW((void)CouplingMap::full(4294967295u), std::bad_alloc);
}

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
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs an unlimited address space";
#endif
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
