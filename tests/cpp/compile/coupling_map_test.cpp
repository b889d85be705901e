#include "compile/coupling_map.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace qelto::compile {
namespace {

std::vector<Edge> edges_of(const CouplingMap& map) {
  return {map.edges().begin(), map.edges().end()};
}

struct ConstructionCase {
  const char* name;
  CouplingMap (*build)(std::uint32_t);
  std::uint32_t n;
  std::vector<Edge> edges;
};

TEST(CouplingMapTest, constructions_list_edges_in_call_order) {
  const ConstructionCase cases[] = {
      {"linear", CouplingMap::linear, 0, {}},
      {"linear", CouplingMap::linear, 1, {}},
      {"linear", CouplingMap::linear, 2, {{0, 1}}},
      {"linear", CouplingMap::linear, 4, {{0, 1}, {1, 2}, {2, 3}}},
      {"full", CouplingMap::full, 0, {}},
      {"full", CouplingMap::full, 1, {}},
      {"full", CouplingMap::full, 3, {{0, 1}, {0, 2}, {1, 2}}},
      {"full",
       CouplingMap::full,
       4,
       {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}},
      {"star", CouplingMap::star, 0, {}},
      {"star", CouplingMap::star, 1, {}},
      {"star", CouplingMap::star, 4, {{0, 1}, {0, 2}, {0, 3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << "(" << c.n << ")");
    const CouplingMap map = c.build(c.n);
    EXPECT_EQ(map.num_qubits(), c.n);
    EXPECT_EQ(edges_of(map), c.edges);
  }
}

struct DistanceCase {
  const char* name;
  CouplingMap map;
  std::uint32_t from;
  std::uint32_t to;
  std::optional<std::uint32_t> expected;
};

CouplingMap with_edges(std::uint32_t num_qubits, std::vector<Edge> edges) {
  CouplingMap map(num_qubits);
  for (const Edge e : edges) {
    map.add_edge(e.q1, e.q2);
  }
  return map;
}

TEST(CouplingMapTest, distance_counts_edges_of_a_shortest_path) {
  const DistanceCase cases[] = {
      {"no edges", CouplingMap(3), 0, 1, std::nullopt},
      {"same qubit", CouplingMap(3), 2, 2, 0},
      {"same absent qubit", CouplingMap(3), 7, 7, 0},
      {"linear forward", CouplingMap::linear(4), 0, 3, 3},
      {"linear backward", CouplingMap::linear(4), 3, 0, 3},
      {"star leaves", CouplingMap::star(4), 1, 3, 2},
      {"full", CouplingMap::full(5), 4, 1, 1},
      {"two components", with_edges(4, {{0, 1}, {2, 3}}), 0, 3, std::nullopt},
      {"target without edges", CouplingMap::linear(3), 0, 9, std::nullopt},
      {"source without edges", CouplingMap::linear(3), 9, 0, std::nullopt},
      {"shortcut added last", with_edges(4, {{0, 1}, {1, 2}, {2, 3}, {3, 0}}),
       0, 3, 1},
      {"duplicate edge", with_edges(2, {{0, 1}, {0, 1}}), 0, 1, 1},
      {"beyond num_qubits", with_edges(3, {{5, 7}, {7, 9}}), 9, 5, 2},
      {"top of range", with_edges(1, {{4294967295u, 0}, {0, 1}}), 1,
       4294967295u, 2},
      {"self-loops only", with_edges(2, {{0, 0}, {1, 1}}), 0, 1, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.map.distance(c.from, c.to), c.expected);
  }
}

TEST(CouplingMapTest, add_edge_stores_pairs_exactly_as_given) {
  CouplingMap map(3);
  const std::vector<Edge> added = {{1, 0}, {0, 1}, {2, 2}, {5, 7}, {1, 0}};
  for (const Edge e : added) {
    map.add_edge(e.q1, e.q2);
  }
  EXPECT_EQ(edges_of(map), added);
  EXPECT_EQ(map.num_qubits(), 3u);
}

struct ConnectedCase {
  std::uint32_t q1;
  std::uint32_t q2;
  bool expected;
};

TEST(CouplingMapTest, is_connected_is_symmetric_and_exact) {
  const CouplingMap map = with_edges(3, {{1, 0}, {2, 2}, {5, 7}});
  const ConnectedCase cases[] = {
      {0, 1, true},  {1, 0, true},  {2, 2, true},  {7, 5, true},  {0, 2, false},
      {0, 0, false}, {1, 1, false}, {9, 9, false}, {3, 4, false}, {5, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.q1 << "-" << c.q2);
    EXPECT_EQ(map.is_connected(c.q1, c.q2), c.expected);
  }
  const CouplingMap star = CouplingMap::star(4);
  EXPECT_FALSE(star.is_connected(1, 2));
  EXPECT_TRUE(star.is_connected(3, 0));
}

TEST(CouplingMapTest, copies_are_independent) {
  const CouplingMap original = CouplingMap::linear(3);
  CouplingMap copy = original;
  copy.add_edge(0, 2);
  copy.add_edge(8, 9);
  EXPECT_EQ(edges_of(original), (std::vector<Edge>{{0, 1}, {1, 2}}));
  EXPECT_FALSE(original.is_connected(0, 2));
  EXPECT_EQ(original.distance(0, 2), 2u);
  EXPECT_EQ(copy.distance(0, 2), 1u);
}

// All-pairs shortest paths by repeated relaxation, independent of the
// breadth-first search under test.
constexpr std::uint32_t kQubits = 10;
using Table =
    std::array<std::array<std::optional<std::uint32_t>, kQubits>, kQubits>;

Table reference_distances(const std::vector<Edge>& edges) {
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
        relax(s, e.q1, e.q2);
        relax(s, e.q2, e.q1);
      }
    }
  }
  return table;
}

TEST(CouplingMapTest, distance_matches_exhaustive_relaxation_on_random_maps) {
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<std::uint32_t> qubit(0, kQubits - 1);
  std::uniform_int_distribution<int> edge_count(0, 14);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<Edge> edges(static_cast<std::size_t>(edge_count(rng)));
    for (Edge& e : edges) {
      e = {qubit(rng), qubit(rng)};
    }
    // Fewer qubits than edges touch: indices are never checked.
    const CouplingMap map = with_edges(kQubits / 2, edges);
    const Table expected = reference_distances(edges);
    for (std::uint32_t a = 0; a < kQubits; ++a) {
      for (std::uint32_t b = 0; b < kQubits; ++b) {
        ASSERT_EQ(map.distance(a, b), expected[a][b])
            << "trial " << trial << ", " << a << " to " << b;
      }
    }
  }
}

}  // namespace
}  // namespace qelto::compile
