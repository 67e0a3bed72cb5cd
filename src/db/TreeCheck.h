// A check of the individual index tree, for tests and for the commands that
// change the tree.
#pragma once

#include <cstdint>
#include <vector>

namespace kinscope {

class CTEVDatabase;

// What one in-order walk of the tree found. Each flag is true when the walk
// met no fault of its kind.
struct TreeReport {
  bool roots_agree = true;     // the header's two root copies are equal
  bool links_sound = true;     // every child link (and the root) is 0 or names a
                               // node from 1 to the index node bound that can be
                               // read; a negative one is unsound
  bool reached_once = true;    // no node was reached twice (the walk stops there)
  bool parents_agree = true;   // each node's parent is the node above it, 0 at the root
  bool keys_ascend = true;     // no key sorts before the key of the node before it
  std::vector<int32_t> order;  // the nodes reached, in order

  bool Sound() const {
    return roots_agree && links_sound && reached_once && parents_agree && keys_ascend;
  }
};

// Walks the tree from the root at kHdrRootNode2 in order (lesser subtree,
// node, greater subtree) without recursion, skipping a subtree whose link is
// unsound. Keys are made as ReinsertNode makes them: from the name text read
// without its link check, compared case-folded; equal keys may follow each
// other. Memory and time grow with the nodes reached, never with the bounds
// in the header.
TreeReport CheckIndexTree(CTEVDatabase& db);

}  // namespace kinscope
