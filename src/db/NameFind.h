// SPDX-License-Identifier: GPL-3.0-or-later
// Finding individuals by name through the individual index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TreeCheck.h"
#include "UnicodeCompare.h"

namespace kinscope {

class CTEVDatabase;

// An index entry: the node, the owner of its name and the name itself.
struct NameMatch {
  int32_t node = 0;
  int32_t rin = 0;   // nOwnerId of the individual's name record
  std::string name;  // the name text as stored (8-bit)
  WideText key;      // its key, as the index orders it
};

struct NameFindResult {
  WideText prefix;                 // the key prefix searched for
  std::vector<NameMatch> matches;  // in index order
  bool more = false;               // matches beyond the limit were left out
  int32_t damaged_at = 0;          // the node where a damaged link stopped the walk, or 0
};

// The key prefix of a search text: with a "/" the text is a name and its
// key is made as the index makes keys ("Thomas /Whitcombe/" gives
// "Whitcombe, Thomas"); without one the text is a key's start as it stands
// ("Whitcombe, Th", "Whit").
WideText SearchPrefix(const std::string& text);

// The index entries whose key starts with the prefix of a search text, one
// at a time, in index order: FindNames without keeping them. The walk goes
// down the tree to the first key not below the prefix and on in order from
// there; a link above the index node bound or to a node met before stops it
// and names that node in DamagedAt(). Each node and name record on the way
// is read once. Memory: the path from the root and a mark per node met.
class NameFinder {
 public:
  NameFinder(CTEVDatabase& db, const std::string& text);
  // The next entry into `match`; false when there are no more (or the walk
  // stopped at damage).
  bool Next(NameMatch& match);
  // Whether Next would give another entry, judged without reading further.
  bool More();
  const WideText& Prefix() const { return prefix_; }
  int32_t DamagedAt() const { return damaged_at_; }

 private:
  struct Visited {
    NameMatch match;
    int32_t greater = 0;
  };
  // Loads `node` as a candidate; false when the link is damaged.
  bool Load(int32_t node, Visited& v, int32_t& lesser);
  // Goes down from the root to the first key not below the prefix, once.
  void Start();
  // Pushes `node` and its chain of lesser nodes; false at damage.
  bool Descend(int32_t node);

  CTEVDatabase& db_;
  WideText prefix_;
  int32_t bound_ = 0;
  int32_t damaged_at_ = 0;
  bool started_ = false;
  bool ended_ = false;
  NodeMarks met_;
  std::vector<Visited> path_;  // nodes whose key is not below the prefix, deepest last
  WideText text_;
};

// The index entries of `db` whose key starts with the prefix of `text`,
// letters A to Z in either case, at most `limit` of them. The walk goes down
// the tree to the first key not below the prefix and on in order from there;
// a link above the index node bound or to a node met before stops it and
// names that node in `damaged_at`. An empty prefix matches every entry. The
// search reads through a read cache that it frees at the end.
NameFindResult FindNames(CTEVDatabase& db, const std::string& text, size_t limit);

}  // namespace kinscope
