#include "compile/coupling_map.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <vector>

namespace qelto::compile {
namespace {

using Edges = std::vector<Edge>;

CouplingMap with_edges(std::uint32_t num_qubits, const Edges& edges) {
  CouplingMap map(num_qubits);
  for (const Edge e : edges) {
    map.add_edge(e.q1, e.q2);
  }
  return map;
}

TEST(CouplingMapTest, constructions_list_edges_in_call_order) {
  const struct {
    CouplingMap map;
    std::uint32_t n;
    Edges edges;
  } cases[] = {
      {CouplingMap::linear(0), 0, {}},
      {CouplingMap::linear(1), 1, {}},
      {CouplingMap::linear(4), 4, {{0, 1}, {1, 2}, {2, 3}}},
      {CouplingMap::full(1), 1, {}},
      {CouplingMap::full(4),
       4,
       {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}},
      {CouplingMap::star(0), 0, {}},
      {CouplingMap::star(4), 4, {{0, 1}, {0, 2}, {0, 3}}},
      // Stored as given: unordered, repeated, looped, beyond num_qubits.
      {with_edges(3, {{1, 0}, {1, 0}, {2, 2}, {5, 7}}),
       3,
       {{1, 0}, {1, 0}, {2, 2}, {5, 7}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.map.num_qubits(), c.n);
    EXPECT_EQ(Edges(c.map.edges().begin(), c.map.edges().end()), c.edges);
  }
}

TEST(CouplingMapTest, is_connected_is_symmetric_and_exact) {
  const CouplingMap map = with_edges(3, {{1, 0}, {2, 2}, {5, 7}});
  const Edges connected = {{0, 1}, {1, 0}, {2, 2}, {7, 5}};
  const Edges unconnected = {{0, 2}, {0, 0}, {1, 1}, {9, 9}, {5, 0}};
  for (const Edge e : connected) {
    EXPECT_TRUE(map.is_connected(e.q1, e.q2))
        << e.q1.index << "-" << e.q2.index;
  }
  for (const Edge e : unconnected) {
    EXPECT_FALSE(map.is_connected(e.q1, e.q2))
        << e.q1.index << "-" << e.q2.index;
  }
}

TEST(CouplingMapTest, distance_counts_edges_of_a_shortest_path) {
  const struct {
    const char* name;
    CouplingMap map;
    std::uint32_t from, to;
    std::optional<std::uint32_t> expected;
  } cases[] = {
      {"no edges", CouplingMap(3), 0, 1, std::nullopt},
      {"same absent qubit", CouplingMap(3), 7, 7, 0},
      {"linear backward", CouplingMap::linear(4), 3, 0, 3},
      {"star leaves", CouplingMap::star(4), 1, 3, 2},
      {"two components", with_edges(4, {{0, 1}, {2, 3}}), 0, 3, std::nullopt},
      {"target without edges", CouplingMap::linear(3), 0, 9, std::nullopt},
      {"shortcut added last", with_edges(4, {{0, 1}, {1, 2}, {2, 3}, {3, 0}}),
       0, 3, 1},
      {"top of range", with_edges(1, {{4294967295u, 0}, {0, 1}}), 1,
       4294967295u, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.map.distance(PhysicalQubit{c.from}, PhysicalQubit{c.to}),
              c.expected)
        << c.name;
  }
}

// All-pairs distances by Bellman-Ford relaxation, independent of the
// breadth-first search under test.
constexpr std::uint32_t kQubits = 10;
using Table =
    std::array<std::array<std::optional<std::uint32_t>, kQubits>, kQubits>;

Table reference_distances(const Edges& edges) {
  Table table{};
  for (std::uint32_t q = 0; q < kQubits; ++q) {
    table[q][q] = 0;
  }
  const auto relax = [&table](std::uint32_t s, std::uint32_t a,
                              std::uint32_t b) {
    if (table[s][a] && (!table[s][b] || *table[s][a] + 1 < *table[s][b])) {
      table[s][b] = *table[s][a] + 1;
    }
  };
  for (std::uint32_t round = 0; round < kQubits; ++round) {
    for (const Edge e : edges) {
      for (std::uint32_t s = 0; s < kQubits; ++s) {
        relax(s, e.q1.index, e.q2.index);
        relax(s, e.q2.index, e.q1.index);
      }
    }
  }
  return table;
}

TEST(CouplingMapTest, distance_matches_exhaustive_relaxation_on_random_maps) {
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<std::uint32_t> qubit(0, kQubits - 1);
  for (int trial = 0; trial < 200; ++trial) {
    Edges edges(rng() % 15);
    for (Edge& e : edges) {
      e = {PhysicalQubit{qubit(rng)}, PhysicalQubit{qubit(rng)}};
    }
    // Fewer qubits than the edges touch: indices are never checked.
    const CouplingMap map = with_edges(kQubits / 2, edges);
    const Table expected = reference_distances(edges);
    for (std::uint32_t a = 0; a < kQubits; ++a) {
      for (std::uint32_t b = 0; b < kQubits; ++b) {
        ASSERT_EQ(map.distance(PhysicalQubit{a}, PhysicalQubit{b}),
                  expected[a][b])
            << "trial " << trial << ", " << a << " to " << b;
      }
    }
  }
}

// Queries between additions: cached rows and the adjacency must follow
// every new edge, on the constructions' implicit slots and on new ones.
TEST(CouplingMapTest, distance_follows_edges_added_between_queries) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<std::uint32_t> qubit(0, kQubits - 1);
  for (int trial = 0; trial < 50; ++trial) {
    Edges edges;
    CouplingMap map = CouplingMap::linear(trial % 4);
    for (const Edge e : map.edges()) {
      edges.push_back(e);
    }
    for (int step = 0; step < 8; ++step) {
      const Table expected = reference_distances(edges);
      for (std::uint32_t a = 0; a < kQubits; ++a) {
        for (std::uint32_t b = 0; b < kQubits; ++b) {
          ASSERT_EQ(map.distance(PhysicalQubit{a}, PhysicalQubit{b}), expected[a][b])
              << "trial " << trial << ", step " << step;
          ASSERT_EQ(map.is_connected(PhysicalQubit{a}, PhysicalQubit{b}),
                    a != b ? expected[a][b] == 1u
                           : std::ranges::count(edges, Edge{PhysicalQubit{a}, PhysicalQubit{a}}) > 0);
        }
      }
      const Edge e{PhysicalQubit{qubit(rng)}, PhysicalQubit{qubit(rng)}};
      map.add_edge(e.q1, e.q2);
      edges.push_back(e);
    }
  }
}

// More sources than the row cache holds rows of this size: answers stay
// exact while rows are dropped and searched again.
TEST(CouplingMapTest, distances_stay_exact_past_the_row_cache_bound) {
  constexpr std::uint32_t kLine = 40000;
  const CouplingMap map = CouplingMap::linear(kLine);
  constexpr std::uint32_t kSources = 430;
  static_assert(CouplingMap::kRowCacheEntries / kLine < kSources);
  // Each source twice (the second query keeps its row); the first sources
  // are asked again after their rows were dropped.
  for (std::uint32_t i = 0; i < 2 * kSources + 20; ++i) {
    const std::uint32_t from = (i / 2) % kSources;
    const std::uint32_t to = (from * 7919u + i) % kLine;
    ASSERT_EQ(map.distance(PhysicalQubit{from}, PhysicalQubit{to}), from > to ? from - to : to - from);
  }
}

TEST(CouplingMapTest, copies_answer_alike_and_change_apart) {
  CouplingMap map = CouplingMap::linear(4);
  ASSERT_EQ(map.distance(PhysicalQubit{0}, PhysicalQubit{3}), 3u);
  CouplingMap copy = map;
  copy.add_edge(PhysicalQubit{0}, PhysicalQubit{3});
  EXPECT_EQ(copy.distance(PhysicalQubit{0}, PhysicalQubit{3}), 1u);
  EXPECT_EQ(map.distance(PhysicalQubit{0}, PhysicalQubit{3}), 3u);
  map = copy;
  EXPECT_EQ(map.distance(PhysicalQubit{0}, PhysicalQubit{3}), 1u);
  CouplingMap moved = std::move(map);
  EXPECT_EQ(moved.distance(PhysicalQubit{3}, PhysicalQubit{0}), 1u);
}

}  // namespace
}  // namespace qelto::compile
