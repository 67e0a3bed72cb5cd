// SPDX-License-Identifier: GPL-3.0-or-later
// Finding individuals by name through the individual index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TreeCheck.h"
#include "UnicodeCompare.h"

namespace kinscope {

class CTEVDatabase;

// How a search found an index entry.
enum class MatchKind : uint8_t {
  kExact,     // its key starts with the search's key, letters A to Z in either case
  kSpelling,  // so does its folded key: case and accents ignored (AppendCp1252Folded)
  kSound,     // its surname sounds like the search's (American Soundex) and its
              // folded given names start with the search's
};

// An index entry: the node, the owner of its name and the name itself.
struct NameMatch {
  int32_t node = 0;
  int32_t rin = 0;   // nOwnerId of the individual's name record
  std::string name;  // the name text as stored (8-bit)
  WideText key;      // its key, as the index orders it
  MatchKind how = MatchKind::kExact;
};

struct NameFindResult {
  WideText prefix;                 // the key prefix searched for
  std::vector<NameMatch> matches;  // in index order
  bool more = false;               // matches beyond the limit were left out
  int32_t damaged_at = 0;          // the node where a damaged link stopped the walk, or 0
};

// Whether `key` starts with `prefix`, letters A to Z in either case, as the
// index compares keys.
bool KeyStartsWith(const WideText& key, const WideText& prefix);

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

// The search that finds what a user looks for under `text`: the exact
// lookup of NameFinder when it finds an entry, the forgiving search by
// spelling when it finds none, and by spelling and sound when `like` asks.
enum class SearchKind { kExact, kSpelling, kLike };
SearchKind ChooseSearch(CTEVDatabase& db, const std::string& text, bool like);

// The American Soundex code of a folded surname (AppendCp1252Folded): its
// first letter a to z in capitals and three digits, letters of one sound
// group written once when only h or w stands between them, other bytes left
// out ("Smith", "Smyth" and "Schmidt" give S530); empty when it holds no
// letter a to z.
std::string SoundexCode(std::string_view folded);

// The forgiving search: the whole index in order, as IndexWalk walks it (a
// subtree behind an unsound link is skipped, a node reached twice ends the
// walk), giving each entry whose folded key starts with the folded key
// prefix of `text` (SearchPrefix), and with `sound` also each entry whose
// surname (its key up to the first comma) has the Soundex code of the
// search's surname while its folded given names start with the search's.
// Each entry says how it was found, the strongest way first. Each node and
// name record is read once; memory: the walk's marks and path.
class LikeFinder {
 public:
  LikeFinder(CTEVDatabase& db, const std::string& text, bool sound);
  // The next entry found into `match`; false when the walk has ended.
  bool Next(NameMatch& match);
  // Called with Walked() and Total() every 4096 entries walked.
  void OnProgress(std::function<void(int64_t walked, int64_t total)> progress) {
    progress_ = std::move(progress);
  }
  const WideText& Prefix() const { return prefix_; }
  // Entries walked so far, and the most there can be (the index node bound,
  // or the entries walked when more), for a progress report.
  int64_t Walked() const { return walked_; }
  int64_t Total() const;
  // The faults of the tree that the walk met (all of them once Next has
  // returned false).
  const TreeFaults& Faults() const { return walk_.Faults(); }

 private:
  IndexWalk walk_;
  IndexEntry entry_;
  WideText prefix_;
  bool sound_;
  int64_t bound_;
  int64_t walked_ = 0;
  std::function<void(int64_t, int64_t)> progress_;
  std::string folded_prefix_;   // of the search
  std::string folded_given_;    // of the search, after its first comma
  std::string soundex_;         // of the search's surname
  std::string bytes_, folded_;  // of the entry being looked at
};

// The index entries of `db` whose key starts with the prefix of `text`,
// letters A to Z in either case, at most `limit` of them. The walk goes down
// the tree to the first key not below the prefix and on in order from there;
// a link above the index node bound or to a node met before stops it and
// names that node in `damaged_at`. An empty prefix matches every entry. The
// search reads through a read cache that it frees at the end.
NameFindResult FindNames(CTEVDatabase& db, const std::string& text, size_t limit);

}  // namespace kinscope
