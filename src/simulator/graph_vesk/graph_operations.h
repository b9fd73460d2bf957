/*
 * graph_vesk::GraphOperations: spanning trees and balanced forests over a
 * graph given as text, for the base station's `generate_tree` and
 * `generate_forest` natives. Stateless.
 *
 * Graph description: items separated by commas, semicolons or white space.
 * An item is either an edge "a-b" (undirected; repeated edges and self
 * loops add nothing but their nodes) or a lone node "a". Node names are
 * made of letters, digits and underscores ("1", "fb12", "hub_a"). Nodes are
 * ordered by their first appearance; the first node of the description is
 * the root of the tree. Example: "1-2, 1-3, 2-4, 3-4, 5".
 *
 * Tree text: "root:" followed by the tree's edges "parent-child" separated
 * by commas, in breadth-first order (children of a node in the order its
 * edges were listed). A tree of one node is "root:". Example: "1:1-2,1-3,2-4".
 * Forest text: the trees separated by ";", e.g. "1:1-2,1-3;4:4-5".
 *
 * Errors are returned as text beginning with "error: " (an unparsable item,
 * an empty graph, a count out of range).
 */
#ifndef GRAPH_VESK_GRAPH_OPERATIONS_H
#define GRAPH_VESK_GRAPH_OPERATIONS_H

#include <string>

namespace graph_vesk {

class GraphOperations {
public:
  /* Breadth-first spanning tree of the first node's connected component
     (hop count is the distance); nodes it cannot reach are left out. */
  std::string CreateTree(std::string str_description);

  /* Splits every node of the graph into exactly n_count trees of sizes as
     equal as the graph allows. Every connected component gets at least
     one tree (its first node is a root); the other roots are picked one by
     one as the node farthest, in hops, from the roots chosen so far. The
     trees then grow breadth-first together, the smallest one taking the
     next node each time. n_count must be at least the number of components
     and at most the number of nodes. */
  std::string CreateBalancedForest(std::string str_description, int n_count);
};

} // namespace graph_vesk

#endif
