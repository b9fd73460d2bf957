/*
 * graph_vesk::GraphOperations: parsing of graph descriptions, breadth-first
 * spanning trees and balanced forests.
 */
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "graph_vesk/graph_operations.h"

using graph_vesk::GraphOperations;

namespace {

/* A tree text split into root and (parent, child) edges. */
struct STreeText {
  std::string Root;
  std::vector<std::pair<std::string, std::string>> Edges;
};

std::vector<std::string> Split(const std::string &str_text, char c_sep) {
  std::vector<std::string> vecParts;
  std::string strPart;
  std::istringstream cIn(str_text);
  while (std::getline(cIn, strPart, c_sep))
    vecParts.push_back(strPart);
  return vecParts;
}

STreeText ParseTree(const std::string &str_text) {
  STreeText sTree;
  const size_t unColon = str_text.find(':');
  EXPECT_NE(unColon, std::string::npos) << str_text;
  sTree.Root = str_text.substr(0, unColon);
  for (const std::string &strEdge : Split(str_text.substr(unColon + 1), ',')) {
    const size_t unDash = strEdge.find('-');
    sTree.Edges.emplace_back(strEdge.substr(0, unDash), strEdge.substr(unDash + 1));
  }
  return sTree;
}

/* Every node of the tree is the root or the child of exactly one edge whose
   parent is already in the tree, and every edge exists in the graph. */
std::set<std::string>
CheckTree(const STreeText &s_tree,
          const std::set<std::pair<std::string, std::string>> &set_edges) {
  std::set<std::string> setNodes = {s_tree.Root};
  for (const auto &tEdge : s_tree.Edges) {
    EXPECT_TRUE(setNodes.count(tEdge.first))
        << tEdge.first << " used before it was reached";
    EXPECT_TRUE(setNodes.insert(tEdge.second).second) << tEdge.second << " reached twice";
    EXPECT_TRUE(set_edges.count(tEdge) || set_edges.count({tEdge.second, tEdge.first}))
        << tEdge.first << "-" << tEdge.second << " is no edge";
  }
  return setNodes;
}

/* A grid of w x h nodes named "r<row>c<col>", as a description and an edge set. */
std::string Grid(int n_w, int n_h,
                 std::set<std::pair<std::string, std::string>> &set_edges) {
  auto Name = [](int r, int c) {
    return "r" + std::to_string(r) + "c" + std::to_string(c);
  };
  std::string strText;
  for (int r = 0; r < n_h; ++r)
    for (int c = 0; c < n_w; ++c) {
      if (c + 1 < n_w) {
        strText += Name(r, c) + "-" + Name(r, c + 1) + " ";
        set_edges.insert({Name(r, c), Name(r, c + 1)});
      }
      if (r + 1 < n_h) {
        strText += Name(r, c) + "-" + Name(r + 1, c) + "\n";
        set_edges.insert({Name(r, c), Name(r + 1, c)});
      }
    }
  return strText;
}

} // namespace

TEST(GraphTree, BreadthFirstFromTheFirstNode) {
  EXPECT_EQ(GraphOperations().CreateTree("1-2, 1-3, 2-4, 3-4, 4-5"), "1:1-2,1-3,2-4,4-5");
  EXPECT_EQ(GraphOperations().CreateTree("3-1;1-2"), "3:3-1,1-2");
  EXPECT_EQ(GraphOperations().CreateTree("solo"), "solo:");
}

TEST(GraphTree, UnreachableNodesAndRepeatsAreLeftOut) {
  EXPECT_EQ(GraphOperations().CreateTree("a-b b-a a-a c-d e"), "a:a-b");
}

TEST(GraphTree, SpansAGridWithShortestHops) {
  std::set<std::pair<std::string, std::string>> setEdges;
  const std::string strGrid = Grid(6, 5, setEdges);
  const STreeText sTree = ParseTree(GraphOperations().CreateTree(strGrid));
  EXPECT_EQ(sTree.Root, "r0c0");
  EXPECT_EQ(CheckTree(sTree, setEdges).size(), 30u);
  /* Breadth-first: the depth of every node is its grid distance. */
  std::map<std::string, int> mapDepth = {{"r0c0", 0}};
  for (const auto &tEdge : sTree.Edges)
    mapDepth[tEdge.second] = mapDepth[tEdge.first] + 1;
  EXPECT_EQ(mapDepth["r4c5"], 9);
  EXPECT_EQ(mapDepth["r2c3"], 5);
}

TEST(GraphTree, BadDescriptionsGiveAnError) {
  EXPECT_EQ(GraphOperations().CreateTree(""), "error: the graph has no nodes");
  EXPECT_EQ(GraphOperations().CreateTree(" ,; \n"), "error: the graph has no nodes");
  EXPECT_EQ(GraphOperations().CreateTree("1-2 3-"), "error: bad edge '3-'");
  EXPECT_EQ(GraphOperations().CreateTree("1-2-3"), "error: bad edge '1-2-3'");
  EXPECT_EQ(GraphOperations().CreateTree("a b$"), "error: bad node name 'b$'");
}

TEST(GraphForest, SplitsAPathInEqualHalves) {
  EXPECT_EQ(GraphOperations().CreateBalancedForest("1-2,2-3,3-4,4-5,5-6", 2),
            "1:1-2,2-3;6:6-5,5-4");
  EXPECT_EQ(GraphOperations().CreateBalancedForest("1-2,2-3", 1), "1:1-2,2-3");
  EXPECT_EQ(GraphOperations().CreateBalancedForest("1-2,2-3", 3), "1:;3:;2:");
}

TEST(GraphForest, CoversEveryNodeOnceWithBalancedTrees) {
  std::set<std::pair<std::string, std::string>> setEdges;
  const std::string strGrid = Grid(8, 8, setEdges);
  const std::string strForest = GraphOperations().CreateBalancedForest(strGrid, 4);
  const std::vector<std::string> vecTrees = Split(strForest, ';');
  ASSERT_EQ(vecTrees.size(), 4u) << strForest;
  std::set<std::string> setAll;
  for (const std::string &strTree : vecTrees) {
    const std::set<std::string> setNodes = CheckTree(ParseTree(strTree), setEdges);
    EXPECT_GE(setNodes.size(), 12u) << strTree;
    EXPECT_LE(setNodes.size(), 20u) << strTree;
    for (const std::string &strNode : setNodes)
      EXPECT_TRUE(setAll.insert(strNode).second) << strNode << " in two trees";
  }
  EXPECT_EQ(setAll.size(), 64u);
}

TEST(GraphForest, EveryComponentGetsATree) {
  EXPECT_EQ(GraphOperations().CreateBalancedForest("a-b c-d b-e", 2), "a:a-b,b-e;c:c-d");
  EXPECT_EQ(GraphOperations().CreateBalancedForest("a-b c-d", 1),
            "error: cannot split 4 nodes in 2 components into 1 trees");
  EXPECT_EQ(GraphOperations().CreateBalancedForest("a-b", 3),
            "error: cannot split 2 nodes in 1 components into 3 trees");
  EXPECT_EQ(GraphOperations().CreateBalancedForest("a-b", -1),
            "error: cannot split 2 nodes in 1 components into -1 trees");
  EXPECT_EQ(GraphOperations().CreateBalancedForest("", 1),
            "error: the graph has no nodes");
}
