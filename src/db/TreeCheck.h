// SPDX-License-Identifier: GPL-3.0-or-later
// A check of the individual index tree, for tests and for the commands that
// change the tree, and the in-order walk it makes, for the commands that
// list the index.
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "NameRecords.h"
#include "RecordTables.h"
#include "UnicodeCompare.h"

namespace kinscope {

class CTEVDatabase;

// What an in-order walk of the tree found. Each flag is true when the walk
// met no fault of its kind.
struct TreeFaults {
  bool roots_agree = true;    // the header's two root copies are equal
  bool links_sound = true;    // every child link (and the root) is 0 or names a
                              // node from 1 to the index node bound that can be
                              // read; a negative one is unsound
  bool reached_once = true;   // no node was reached twice (the walk stops there)
  bool parents_agree = true;  // each node's parent is the node above it, 0 at the root
  bool keys_ascend = true;    // no key sorts before the key of the node before it

  bool Sound() const {
    return roots_agree && links_sound && reached_once && parents_agree && keys_ascend;
  }
};

struct TreeReport : TreeFaults {
  std::vector<int32_t> order;  // the nodes reached, in order
};

// The index nodes a walk has met: one bit per node number for nodes that
// could be read, the few that could not kept by number. A node can be read
// only where the file holds it, so the bits grow with the file (a bit per
// 16-byte node), never with a number in a damaged link or header.
class NodeMarks {
 public:
  // Marks `node` (1 or more); false when it was marked before.
  bool Mark(int32_t node, bool readable);

 private:
  std::vector<uint64_t> bits_;
  std::unordered_set<int32_t> unreadable_;
};

// One index node as the walk gives it.
struct IndexEntry {
  int32_t node = 0;
  IndexNodeImage image{};  // the node as read
  INameRecImage name{};    // its individual's name record as LoadINameRec reads it
  int name_read = 0;       // LoadINameRec's result: 0 when the record could not be read
  WideText key;            // the key ReinsertNode would make of it
};

// The in-order walk of the tree from the root at kHdrRootNode2 (lesser
// subtree, node, greater subtree), without recursion, one node at a time.
// A subtree whose link is unsound (above the index node bound or a node that
// cannot be read) is skipped; a node reached twice ends the walk. Each node
// and its name record are read once, in the order given. Memory: the marks
// (a bit per node) and the path from the root; buffers are reused, so a walk
// allocates nothing per node once its key buffers have grown.
class IndexWalk {
 public:
  explicit IndexWalk(CTEVDatabase& db);
  // The next node in order into `entry`; false when the walk has ended.
  bool Next(IndexEntry& entry);
  // The faults met so far (all of them once Next has returned false).
  const TreeFaults& Faults() const { return faults_; }

 private:
  struct Frame {
    int32_t node;
    IndexNodeImage image;
  };
  CTEVDatabase& db_;
  TreeFaults faults_;
  int32_t bound_ = 0;
  int32_t cur_ = 0;
  int32_t above_ = 0;
  bool ended_ = false;
  bool first_ = true;
  NodeMarks marks_;
  std::vector<Frame> path_;  // nodes whose lesser subtree is being walked
  WideText text_;            // the name text of the node given last
  WideText previous_key_;
};

// Walks the tree as IndexWalk does, keeping the order of the nodes reached.
// Keys are made as ReinsertNode makes them: from the name text read without
// its link check, compared case-folded; equal keys may follow each other.
// Memory and time grow with the nodes reached, never with the bounds in the
// header; the walk reads through a read cache (kWholeFileReadCache) that it
// frees at the end.
TreeReport CheckIndexTree(CTEVDatabase& db);

}  // namespace kinscope
