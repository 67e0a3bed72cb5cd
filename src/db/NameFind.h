// Finding individuals by name through the individual index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "UnicodeCompare.h"

namespace kinscope {

class CTEVDatabase;

// An index entry: the node, the owner of its name and the name itself.
struct NameMatch {
  int32_t node = 0;
  int32_t rin = 0;      // nOwnerId of the individual's name record
  std::string name;     // the name text as stored (8-bit)
  WideText key;         // its key, as the index orders it
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

// The index entries of `db` whose key starts with the prefix of `text`,
// letters A to Z in either case, at most `limit` of them. The walk goes down
// the tree to the first key not below the prefix and on in order from there;
// a link above the index node bound or to a node met before stops it and
// names that node in `damaged_at`. An empty prefix matches every entry.
NameFindResult FindNames(CTEVDatabase& db, const std::string& text, size_t limit);

}  // namespace kinscope
