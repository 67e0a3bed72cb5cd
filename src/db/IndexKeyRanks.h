// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the index nodes made once for many re-insertions: each node's
// rank among the keys of the tree, so that a walk down the tree
// (CTEVDatabase::ReinsertNode) compares two numbers where it would read a
// name record and build its key at every node it passes.
//
// Memory: 8 bytes a node up to the highest node ranked (its rank and the
// name record it was ranked by), the pages of the index node table (8 bytes
// a page), and a bit a node for the walk's marks. Nothing else grows with
// the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace kinscope {

class CTEVDatabase;

class IndexKeyRanks {
 public:
  // No rank known.
  static constexpr uint32_t kUnknown = 0;
  // The node's name record cannot be read: a re-insertion's walk takes its
  // lesser link, as it does when the record cannot be read.
  static constexpr uint32_t kUnreadable = UINT32_MAX;

  // Walks the tree in order (IndexWalk, through the read cache the caller
  // started, if any) and ranks every node reached: ranks follow the order of
  // the name keys as ReinsertNode compares them, equal keys sharing one. A
  // node keeps no rank when its name record touches a page of the index node
  // table or the fixed areas before region 0 (a damaged file: a write of the
  // tree could change its key). When the keys met do not ascend (a tree out
  // of order), no node keeps a rank. Returns the number of nodes ranked.
  size_t Build(CTEVDatabase& db);

  // The runs of identical keys the walk of Build met: two or more nodes
  // in a row whose name records can be read and give equal keys.
  size_t Runs() const { return runs_; }

  // The rank of `node` when its name record is the one at `name_offset`;
  // kUnknown when it has none or was ranked by another record.
  uint32_t Rank(int32_t node, int32_t name_offset) const {
    if (node < 1 || static_cast<size_t>(node) >= entries_.size()) return kUnknown;
    const Entry& e = entries_[static_cast<size_t>(node)];
    return e.name == name_offset ? e.rank : kUnknown;
  }

  // The marks of one walk down the tree: Mark is false when `node` was
  // marked since the last ClearMarks. A bit a ranked node, a set for others.
  bool Mark(int32_t node);
  void ClearMarks();

  // Bytes held.
  size_t HeldBytes() const;

 private:
  struct Entry {
    int32_t name = 0;
    uint32_t rank = kUnknown;
  };
  std::vector<Entry> entries_;  // by node number
  std::vector<uint64_t> bits_;
  std::vector<int32_t> marked_;
  std::unordered_set<int32_t> far_;
  size_t runs_ = 0;
};

}  // namespace kinscope
