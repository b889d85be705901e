#include "ir/reference/graph.hpp"

#include <gtest/gtest.h>

namespace qelto::ir::reference {
namespace {

using G = Graph<char, int>;

// Edge weights along a node's list, in list order.
std::vector<int> weights(const G& g, NodeIndex n, int dir) {
  std::vector<int> out;
  for (std::uint32_t e = g.first_edge(n, dir); e != kNoIndex;
       e = g.next_edge(e, dir)) {
    out.push_back(g.edge(EdgeIndex{e}).weight);
  }
  return out;
}

std::vector<std::uint32_t> ends(const std::vector<NodeIndex>& v) {
  std::vector<std::uint32_t> out;
  for (NodeIndex n : v) {
    out.push_back(n.index);
  }
  return out;
}

// Nodes a=0, b=1, c=2; edges in order: 0->1 (10), 0->2 (20), 1->2 (30),
// 0->1 (40).
G sample() {
  G g;
  EXPECT_EQ(g.add_node('a').index, 0u);
  EXPECT_EQ(g.add_node('b').index, 1u);
  EXPECT_EQ(g.add_node('c').index, 2u);
  EXPECT_EQ(g.add_edge(NodeIndex{0}, NodeIndex{1}, 10).index, 0u);
  EXPECT_EQ(g.add_edge(NodeIndex{0}, NodeIndex{2}, 20).index, 1u);
  EXPECT_EQ(g.add_edge(NodeIndex{1}, NodeIndex{2}, 30).index, 2u);
  EXPECT_EQ(g.add_edge(NodeIndex{0}, NodeIndex{1}, 40).index, 3u);
  return g;
}

TEST(GraphTest, numbers_nodes_and_edges_in_creation_order) {
  G g = sample();
  EXPECT_EQ(g.node_count(), 3u);
  EXPECT_EQ(g.edge_count(), 4u);
  EXPECT_EQ(g.node(NodeIndex{1}), 'b');
  EXPECT_EQ(g.edge(EdgeIndex{2}).node[G::kOut], 1u);
  EXPECT_EQ(g.edge(EdgeIndex{2}).node[G::kIn], 2u);
}

TEST(GraphTest, lists_run_newest_first_and_keep_parallel_edges) {
  G g = sample();
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kOut), (std::vector<int>{40, 20, 10}));
  EXPECT_EQ(ends(g.neighbors(NodeIndex{0}, G::kOut)),
            (std::vector<std::uint32_t>{1, 2, 1}));
  EXPECT_EQ(weights(g, NodeIndex{1}, G::kIn), (std::vector<int>{40, 10}));
  EXPECT_EQ(weights(g, NodeIndex{2}, G::kIn), (std::vector<int>{30, 20}));
  EXPECT_EQ(ends(g.neighbors(NodeIndex{2}, G::kIn)),
            (std::vector<std::uint32_t>{1, 0}));
  EXPECT_TRUE(weights(g, NodeIndex{2}, G::kOut).empty());
}

TEST(GraphTest, remove_edge_unlinks_and_moves_last_edge_into_slot) {
  G g = sample();
  EXPECT_EQ(g.remove_edge(EdgeIndex{1}), 20);
  EXPECT_EQ(g.edge_count(), 3u);
  // The last edge (40) now sits in slot 1; lists keep their order.
  EXPECT_EQ(g.edge(EdgeIndex{1}).weight, 40);
  EXPECT_EQ(g.edge(EdgeIndex{1}).node[G::kOut], 0u);
  EXPECT_EQ(g.edge(EdgeIndex{1}).node[G::kIn], 1u);
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kOut), (std::vector<int>{40, 10}));
  EXPECT_EQ(weights(g, NodeIndex{1}, G::kIn), (std::vector<int>{40, 10}));
  EXPECT_EQ(weights(g, NodeIndex{2}, G::kIn), (std::vector<int>{30}));
  EXPECT_EQ(g.first_edge(NodeIndex{0}, G::kOut), 1u);

  // Removing the last edge moves nothing.
  EXPECT_EQ(g.remove_edge(EdgeIndex{2}), 30);
  EXPECT_TRUE(weights(g, NodeIndex{2}, G::kIn).empty());
  EXPECT_EQ(weights(g, NodeIndex{1}, G::kOut), std::vector<int>{});

  // Removing from the middle of a list keeps the rest linked.
  EXPECT_EQ(g.remove_edge(EdgeIndex{0}), 10);
  EXPECT_EQ(g.edge(EdgeIndex{0}).weight, 40);
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kOut), (std::vector<int>{40}));
  EXPECT_EQ(weights(g, NodeIndex{1}, G::kIn), (std::vector<int>{40}));
  EXPECT_EQ(g.remove_edge(EdgeIndex{0}), 40);
  EXPECT_EQ(g.edge_count(), 0u);
  EXPECT_EQ(g.first_edge(NodeIndex{0}, G::kOut), kNoIndex);
  EXPECT_EQ(g.first_edge(NodeIndex{1}, G::kIn), kNoIndex);
}

TEST(GraphTest, remove_edge_in_the_middle_of_a_long_list) {
  G g;
  g.add_node('a');
  g.add_node('b');
  for (int w = 0; w < 6; ++w) {
    g.add_edge(NodeIndex{0}, NodeIndex{1}, w);
  }
  g.remove_edge(EdgeIndex{3});
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kOut), (std::vector<int>{5, 4, 2, 1, 0}));
  EXPECT_EQ(weights(g, NodeIndex{1}, G::kIn), (std::vector<int>{5, 4, 2, 1, 0}));
  EXPECT_EQ(g.edge(EdgeIndex{3}).weight, 5);
  g.add_edge(NodeIndex{1}, NodeIndex{0}, 9);
  EXPECT_EQ(weights(g, NodeIndex{1}, G::kOut), (std::vector<int>{9}));
  EXPECT_EQ(g.edge(EdgeIndex{5}).weight, 9);
}

TEST(GraphTest, self_loop_is_removed_from_both_lists) {
  G g;
  g.add_node('a');
  g.add_edge(NodeIndex{0}, NodeIndex{0}, 1);
  g.add_edge(NodeIndex{0}, NodeIndex{0}, 2);
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kOut), (std::vector<int>{2, 1}));
  g.remove_edge(EdgeIndex{0});
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kOut), (std::vector<int>{2}));
  EXPECT_EQ(weights(g, NodeIndex{0}, G::kIn), (std::vector<int>{2}));
}

}  // namespace
}  // namespace qelto::ir::reference
