#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "compile/coupling_map.hpp"

namespace qelto::compile {
namespace {

using Edges = std::vector<Edge>;

Edges edges_of(const CouplingMap& map) {
  return Edges(map.edges().begin(), map.edges().end());
}

std::vector<std::uint32_t> degrees(const CouplingMap& map) {
  std::vector<std::uint32_t> degree(map.num_qubits());
  for (const Edge e : map.edges()) {
    ++degree[e.q1.index];
    ++degree[e.q2.index];
  }
  return degree;
}

bool connected(const CouplingMap& map) {
  for (std::uint32_t q = 1; q < map.num_qubits(); ++q) {
    if (!map.distance(PhysicalQubit{0}, PhysicalQubit{q})) {
      return false;
    }
  }
  return true;
}

TEST(CouplingMapShapesTest, small_shapes_list_edges_in_documented_order) {
  const struct {
    CouplingMap map;
    std::uint32_t n;
    Edges edges;
  } cases[] = {
      {CouplingMap::ring(0), 0, {}},
      {CouplingMap::ring(1), 1, {}},
      {CouplingMap::ring(2), 2, {{0, 1}}},
      {CouplingMap::ring(4), 4, {{0, 1}, {1, 2}, {2, 3}, {3, 0}}},
      {*CouplingMap::grid(0, 5), 0, {}},
      {*CouplingMap::grid(1, 3), 3, {{0, 1}, {1, 2}}},
      {*CouplingMap::grid(2, 2), 4, {{0, 1}, {0, 2}, {1, 3}, {2, 3}}},
      {*CouplingMap::grid(2, 3),
       6,
       {{0, 1}, {0, 3}, {1, 2}, {1, 4}, {2, 5}, {3, 4}, {4, 5}}},
      {*CouplingMap::heavy_hex(1), 1, {}},
      // Row 0 is 0..4, its bridges 5 (column 1) and 6 (column 4), row 1 is
      // 7..11, bridges 12 (column 0) and 13 (column 3), row 2 is 14..18.
      {*CouplingMap::heavy_hex(3),
       19,
       {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {1, 5}, {5, 8}, {4, 6}, {6, 11},
        {7, 8}, {8, 9}, {9, 10}, {10, 11}, {7, 12}, {12, 14}, {10, 13},
        {13, 17}, {14, 15}, {15, 16}, {16, 17}, {17, 18}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.map.num_qubits(), c.n);
    EXPECT_EQ(edges_of(c.map), c.edges);
  }
}

TEST(CouplingMapShapesTest, heavy_hex_has_the_code_lattice_size_and_degrees) {
  for (const std::uint32_t d : {1u, 3u, 5u, 7u, 9u}) {
    const std::optional<CouplingMap> map = CouplingMap::heavy_hex(d);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->num_qubits(), (5 * d * d - 2 * d - 1) / 2) << d;
    const std::vector<std::uint32_t> degree = degrees(*map);
    EXPECT_LE(*std::ranges::max_element(degree), 3u) << d;
    // A chain of d rows of 2d-1 qubits plus two edges per bridge.
    EXPECT_EQ(map->edges().size(),
              std::size_t{d} * (2 * d - 2) + (d - 1) * (d + 1)) << d;
    EXPECT_TRUE(connected(*map)) << d;
    // No qubit has two neighbours of degree 3 on the same side: every
    // degree-3 qubit's neighbours have degree at most 2 (edges are "heavy").
    for (const Edge e : map->edges()) {
      EXPECT_FALSE(degree[e.q1.index] == 3 && degree[e.q2.index] == 3) << d;
    }
  }
}

TEST(CouplingMapShapesTest, shapes_that_cannot_be_built_give_nullopt) {
  EXPECT_FALSE(CouplingMap::heavy_hex(0));
  EXPECT_FALSE(CouplingMap::heavy_hex(4));
  EXPECT_FALSE(CouplingMap::heavy_hex(99999));
  EXPECT_FALSE(CouplingMap::grid(65536, 65536));
  EXPECT_TRUE(CouplingMap::grid(65536, 0));
}

TEST(CouplingMapShapesTest, ring_and_grid_distances_follow_their_geometry) {
  const CouplingMap ring = CouplingMap::ring(10);
  EXPECT_EQ(ring.distance(PhysicalQubit{0}, PhysicalQubit{9}), 1u);
  EXPECT_EQ(ring.distance(PhysicalQubit{2}, PhysicalQubit{7}), 5u);
  const CouplingMap grid = *CouplingMap::grid(4, 5);
  for (std::uint32_t a = 0; a < 20; ++a) {
    for (std::uint32_t b = 0; b < 20; ++b) {
      const auto manhattan = static_cast<std::uint32_t>(
          std::abs(static_cast<int>(a / 5) - static_cast<int>(b / 5)) +
          std::abs(static_cast<int>(a % 5) - static_cast<int>(b % 5)));
      EXPECT_EQ(grid.distance(PhysicalQubit{a}, PhysicalQubit{b}), manhattan);
    }
  }
}

}  // namespace
}  // namespace qelto::compile
