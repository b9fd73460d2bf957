/*
 * Graph parsing, breadth-first trees and balanced forests of
 * graph_vesk::GraphOperations.
 */
#include "graph_operations.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <limits>
#include <map>
#include <sstream>
#include <vector>

namespace graph_vesk {

namespace {

/* An undirected graph with nodes numbered in order of first appearance. */
struct SGraph {
  std::vector<std::string> Names;
  std::vector<std::vector<size_t>> Adjacent; /* in the order edges were listed */
  std::map<std::string, size_t> Index;

  size_t Node(const std::string &str_name) {
    auto it = Index.find(str_name);
    if (it != Index.end()) return it->second;
    Index[str_name] = Names.size();
    Names.push_back(str_name);
    Adjacent.emplace_back();
    return Names.size() - 1;
  }
  void Edge(size_t un_a, size_t un_b) {
    if (un_a == un_b) return;
    std::vector<size_t> &vecA = Adjacent[un_a];
    if (std::find(vecA.begin(), vecA.end(), un_b) != vecA.end()) return;
    vecA.push_back(un_b);
    Adjacent[un_b].push_back(un_a);
  }
};

/* A tree: its root and the edges (parent, child) in the order they grew. */
struct STree {
  size_t Root;
  std::vector<std::pair<size_t, size_t>> Edges;
};

const size_t NONE = std::numeric_limits<size_t>::max();

bool IsNameChar(char c_char) {
  return std::isalnum(static_cast<unsigned char>(c_char)) || c_char == '_';
}

bool ValidName(const std::string &str_name) {
  return !str_name.empty() && std::all_of(str_name.begin(), str_name.end(), IsNameChar);
}

/* Parses the description; on failure returns false with the reason. */
bool Parse(const std::string &str_description, SGraph &s_graph, std::string &str_error) {
  std::string strText = str_description;
  std::replace(strText.begin(), strText.end(), ',', ' ');
  std::replace(strText.begin(), strText.end(), ';', ' ');
  std::istringstream cItems(strText);
  std::string strItem;
  while (cItems >> strItem) {
    const size_t unDash = strItem.find('-');
    if (unDash == std::string::npos) {
      if (!ValidName(strItem)) {
        str_error = "error: bad node name '" + strItem + "'";
        return false;
      }
      s_graph.Node(strItem);
      continue;
    }
    const std::string strA = strItem.substr(0, unDash), strB = strItem.substr(unDash + 1);
    if (!ValidName(strA) || !ValidName(strB)) {
      str_error = "error: bad edge '" + strItem + "'";
      return false;
    }
    const size_t unA = s_graph.Node(strA);
    s_graph.Edge(unA, s_graph.Node(strB));
  }
  if (s_graph.Names.empty()) {
    str_error = "error: the graph has no nodes";
    return false;
  }
  return true;
}

/* Hop distances from a set of sources (NONE where unreachable). */
std::vector<size_t> Distances(const SGraph &s_graph,
                              const std::vector<size_t> &vec_sources) {
  std::vector<size_t> vecDist(s_graph.Names.size(), NONE);
  std::deque<size_t> cQueue;
  for (size_t unSource : vec_sources) {
    vecDist[unSource] = 0;
    cQueue.push_back(unSource);
  }
  while (!cQueue.empty()) {
    const size_t unNode = cQueue.front();
    cQueue.pop_front();
    for (size_t unNext : s_graph.Adjacent[unNode])
      if (vecDist[unNext] == NONE) {
        vecDist[unNext] = vecDist[unNode] + 1;
        cQueue.push_back(unNext);
      }
  }
  return vecDist;
}

/* The first node of every connected component, in one breadth-first pass. */
std::vector<size_t> ComponentRoots(const SGraph &s_graph) {
  std::vector<size_t> vecRoots;
  std::vector<bool> vecSeen(s_graph.Names.size(), false);
  std::deque<size_t> cQueue;
  for (size_t unStart = 0; unStart < s_graph.Names.size(); ++unStart) {
    if (vecSeen[unStart]) continue;
    vecRoots.push_back(unStart);
    vecSeen[unStart] = true;
    cQueue.push_back(unStart);
    while (!cQueue.empty()) {
      const size_t unNode = cQueue.front();
      cQueue.pop_front();
      for (size_t unNext : s_graph.Adjacent[unNode])
        if (!vecSeen[unNext]) {
          vecSeen[unNext] = true;
          cQueue.push_back(unNext);
        }
    }
  }
  return vecRoots;
}

/* Grows one tree per root, breadth-first, the smallest tree (then the
   earliest) taking one unclaimed neighbour at a time, until no tree can
   grow. */
std::vector<STree> GrowTrees(const SGraph &s_graph,
                             const std::vector<size_t> &vec_roots) {
  const size_t unTrees = vec_roots.size();
  std::vector<STree> vecTrees(unTrees);
  std::vector<std::deque<size_t>> vecFrontier(unTrees);
  std::vector<size_t> vecSize(unTrees, 1);
  std::vector<size_t> vecCursor(s_graph.Names.size(), 0); /* next neighbour to look at */
  std::vector<bool> vecClaimed(s_graph.Names.size(), false);
  for (size_t t = 0; t < unTrees; ++t) {
    vecTrees[t].Root = vec_roots[t];
    vecFrontier[t].push_back(vec_roots[t]);
    vecClaimed[vec_roots[t]] = true;
  }
  for (;;) {
    size_t unBest = NONE;
    for (size_t t = 0; t < unTrees; ++t)
      if (!vecFrontier[t].empty() && (unBest == NONE || vecSize[t] < vecSize[unBest]))
        unBest = t;
    if (unBest == NONE) break;
    std::deque<size_t> &cFrontier = vecFrontier[unBest];
    bool bGrown = false;
    while (!bGrown && !cFrontier.empty()) {
      const size_t unNode = cFrontier.front();
      const std::vector<size_t> &vecAdj = s_graph.Adjacent[unNode];
      while (vecCursor[unNode] < vecAdj.size() && vecClaimed[vecAdj[vecCursor[unNode]]])
        ++vecCursor[unNode];
      if (vecCursor[unNode] == vecAdj.size()) {
        cFrontier.pop_front();
        continue;
      }
      const size_t unChild = vecAdj[vecCursor[unNode]++];
      vecClaimed[unChild] = true;
      vecTrees[unBest].Edges.emplace_back(unNode, unChild);
      cFrontier.push_back(unChild);
      ++vecSize[unBest];
      bGrown = true;
    }
  }
  return vecTrees;
}

std::string TreeText(const SGraph &s_graph, const STree &s_tree) {
  std::string strText = s_graph.Names[s_tree.Root] + ":";
  for (size_t i = 0; i < s_tree.Edges.size(); ++i) {
    if (i > 0) strText += ",";
    strText += s_graph.Names[s_tree.Edges[i].first] + "-" +
               s_graph.Names[s_tree.Edges[i].second];
  }
  return strText;
}

} // namespace

std::string GraphOperations::CreateTree(std::string str_description) {
  SGraph sGraph;
  std::string strError;
  if (!Parse(str_description, sGraph, strError)) return strError;
  return TreeText(sGraph, GrowTrees(sGraph, {0}).front());
}

std::string GraphOperations::CreateBalancedForest(std::string str_description,
                                                  int n_count) {
  SGraph sGraph;
  std::string strError;
  if (!Parse(str_description, sGraph, strError)) return strError;
  std::vector<size_t> vecRoots = ComponentRoots(sGraph);
  if (n_count < static_cast<int>(vecRoots.size()) ||
      static_cast<size_t>(n_count) > sGraph.Names.size()) {
    std::ostringstream cError;
    cError << "error: cannot split " << sGraph.Names.size() << " nodes in "
           << vecRoots.size() << " components into " << n_count << " trees";
    return cError.str();
  }
  /* Farthest-point choice of the remaining roots spreads the trees out. */
  while (vecRoots.size() < static_cast<size_t>(n_count)) {
    const std::vector<size_t> vecDist = Distances(sGraph, vecRoots);
    size_t unFarthest = NONE;
    for (size_t i = 0; i < vecDist.size(); ++i)
      if (vecDist[i] != 0 && (unFarthest == NONE || vecDist[i] > vecDist[unFarthest]))
        unFarthest = i;
    vecRoots.push_back(unFarthest);
  }
  const std::vector<STree> vecTrees = GrowTrees(sGraph, vecRoots);
  std::string strText;
  for (size_t t = 0; t < vecTrees.size(); ++t) {
    if (t > 0) strText += ";";
    strText += TreeText(sGraph, vecTrees[t]);
  }
  return strText;
}

} // namespace graph_vesk
