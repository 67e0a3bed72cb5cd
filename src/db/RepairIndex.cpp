// SPDX-License-Identifier: GPL-3.0-or-later
// The index rebuilt from the individuals' names.
//
// Memory: 16 bytes a name (the first 12 bytes of its folded key and its
// offset) and 4 bytes a distinct key (where its run of names starts), plus
// the full keys of the largest run of names whose first 12 key bytes agree,
// which are read again to order that run.
// The tree is not held: its nodes are made in node order, a page at a time,
// from the sorted names alone.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "Repair.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

constexpr size_t kPrefix = 12;

struct Name {
  std::array<uint8_t, kPrefix> key;  // the folded key's first bytes, zeros after its end
  int32_t offset;
};

bool Before(const Name& a, const Name& b) {
  const int order = std::memcmp(a.key.data(), b.key.data(), kPrefix);
  return order != 0 ? order < 0 : a.offset < b.offset;
}

// Whether the key of `name` may go on beyond its prefix.
bool Full(const Name& name) { return name.key[kPrefix - 1] != 0; }

class Builder {
 public:
  Builder(CTEVDatabase& db, const std::function<bool()>& going) : db_(db), going_(going) {}

  IndexRebuild Run();

 private:
  bool Going(size_t n) { return (n & 4095) != 0 || !going_ || going_(); }
  // The folded key of the individual's name record at `offset`.
  void FoldedKey(int32_t offset, std::string& out);
  bool Collect();
  bool Order();
  // The root of names [lo, hi): the last of a run of equal keys, so that
  // its greater side holds only keys after it, the run end nearest the
  // middle.
  size_t Root(size_t lo, size_t hi) const;
  bool Write();
  bool Flush();
  void Put(int32_t node, const IndexNodeImage& image);

  CTEVDatabase& db_;
  const std::function<bool()>& going_;
  std::vector<Name> names_;
  std::vector<uint32_t> runs_;  // where each run of equal keys starts, ascending
  IndexRebuild result_;
  // Nodes made but not yet written: a run of whole slots lying one after
  // another in the file.
  std::vector<uint8_t> pending_;
  int64_t pending_at_ = 0;
  INameRecImage image_{};
  WideText text_, key_;
};

void Builder::FoldedKey(int32_t offset, std::string& out) {
  db_.LoadINameRec(offset, image_);
  WidenINameText(image_, text_);
  MakeNameKey(text_, key_, kNameKeyCapacity);
  FoldNameKey(key_, out);
}

bool Builder::Collect() {
  std::string folded;
  bool going = true;
  size_t met = 0;
  ForEachRecord(
      db_, kIndividTable,
      [&](int32_t, const uint8_t* person) {
        // The chains are sound when the index is rebuilt (their mends come
        // first); a loop still ends the walk.
        size_t steps = 0;
        for (int32_t at = DecodeI32(person, individ::kStartnames); at > 0 && steps < 65536;
             ++steps) {
          if (db_.LoadINameRec(at, image_) == 0) break;
          WidenINameText(image_, text_);
          MakeNameKey(text_, key_, kNameKeyCapacity);
          FoldNameKey(key_, folded);
          Name name{};
          std::memcpy(name.key.data(), folded.data(), std::min(folded.size(), kPrefix));
          name.offset = at;
          names_.push_back(name);
          at = DecodeI32(image_.data(), iname::kNext);
          going = going && Going(++met);
        }
      },
      [&] { return going; });
  return going;
}

bool Builder::Order() {
  std::sort(names_.begin(), names_.end(), Before);
  // A name in two chains is indexed once.
  names_.erase(std::unique(names_.begin(), names_.end(),
                           [](const Name& a, const Name& b) { return a.offset == b.offset; }),
               names_.end());
  // Runs whose prefixes agree and may go on are put in the order of their
  // whole keys; equal keys keep the order of their offsets.
  std::vector<std::pair<std::string, Name>> run;
  for (size_t i = 0; i < names_.size();) {
    size_t end = i + 1;
    while (end < names_.size() && names_[end].key == names_[i].key) ++end;
    if (end - i > 1 && Full(names_[i])) {
      run.resize(end - i);
      for (size_t j = i; j < end; ++j) {
        run[j - i].second = names_[j];
        FoldedKey(names_[j].offset, run[j - i].first);
        if (!Going(j)) return false;
      }
      std::stable_sort(run.begin(), run.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (size_t j = i; j < end; ++j) {
        names_[j] = run[j - i].second;
        if (j == i || run[j - i].first != run[j - i - 1].first) {
          runs_.push_back(static_cast<uint32_t>(j));
        }
      }
    } else {
      runs_.push_back(static_cast<uint32_t>(i));
    }
    i = end;
  }
  return true;
}

size_t Builder::Root(size_t lo, size_t hi) const {
  const size_t mid = lo + (hi - lo) / 2;
  const auto run = std::upper_bound(runs_.begin(), runs_.end(), mid) - 1;
  const size_t first = std::max<size_t>(*run, lo);  // the middle's run, within the range
  const size_t last = std::min<size_t>(run + 1 == runs_.end() ? names_.size() : *(run + 1), hi) - 1;
  if (first > lo && mid - (first - 1) < last - mid) return first - 1;  // the run before ends nearer
  return last;
}

void Builder::Put(int32_t node, const IndexNodeImage& image) {
  const TableSpec& t = kIndexNodeTable;
  const int64_t at = db_.LocateRecord(node, t.table, t.size, t.per_page);
  if (!pending_.empty() && at != pending_at_ + static_cast<int64_t>(pending_.size())) Flush();
  if (pending_.empty()) pending_at_ = at;
  pending_.insert(pending_.end(), image.begin(), image.end());
  if (pending_.size() >= (size_t{1} << 20)) Flush();
}

bool Builder::Flush() {
  if (pending_.empty()) return !result_.write_failed;
  if (db_.WriteAt(static_cast<int32_t>(pending_at_), pending_.data(),
                  static_cast<int32_t>(pending_.size())) != 1) {
    result_.write_failed = true;
  }
  db_.SetModified();
  pending_.clear();
  return !result_.write_failed;
}

bool Builder::Write() {
  const size_t n = names_.size();
  // In order, without recursion: each range's root is made when it is met,
  // its lesser range walked first. Every node is written in node order.
  struct Range {
    size_t lo, hi;
    int32_t parent;
  };
  struct Open {
    Range range;
    size_t root;
    int depth;
  };
  std::vector<Open> path;
  Range cur{0, n, 0};
  int depth = 0;
  size_t made = 0;
  const auto node_of = [](size_t i) { return static_cast<int32_t>(i + 1); };
  for (;;) {
    while (cur.lo < cur.hi) {
      const size_t root = Root(cur.lo, cur.hi);
      path.push_back({cur, root, ++depth});
      result_.depth = std::max(result_.depth, depth);
      cur = {cur.lo, root, node_of(root)};
    }
    if (path.empty()) break;
    const Open open = path.back();
    path.pop_back();
    depth = open.depth;
    const size_t m = open.root;
    IndexNodeImage image{};
    const size_t lo = open.range.lo, hi = open.range.hi;
    EncodeI32(image.data(), indexnode::kLesser, lo < m ? node_of(Root(lo, m)) : 0);
    EncodeI32(image.data(), indexnode::kGreater, m + 1 < hi ? node_of(Root(m + 1, hi)) : 0);
    EncodeI32(image.data(), indexnode::kParent, open.range.parent);
    EncodeI32(image.data(), indexnode::kName, names_[m].offset);
    Put(node_of(m), image);
    if (!Going(++made) || result_.write_failed) return false;
    cur = {m + 1, hi, node_of(m)};
  }
  return Flush();
}

IndexRebuild Builder::Run() {
  const TableSpec& t = kIndexNodeTable;
  for (int r = 0; r < kMaxRegions; ++r) {
    result_.capacity +=
        int64_t{std::min(std::max(0, db_.PageCount(r, t.table)), db_.MappedPages(r, t.table))} *
        t.per_page;
  }
  if (!Collect() || !Order()) return result_;
  result_.names = static_cast<int64_t>(names_.size());
  if (result_.names > result_.capacity) return result_;
  // Slots of the node table must be whole: a count cut off by the end of
  // the file reads nothing.
  if (!Write()) return result_;
  // Nodes beyond the new bound, up to the old one, are left empty.
  const int32_t old_bound = db_.HeaderI32(kHdrIndexNodeBound);
  const int64_t stale_end = std::min<int64_t>(old_bound, result_.capacity);
  IndexNodeImage node{};
  const IndexNodeImage empty{};
  for (int64_t n = result_.names + 1; n <= stale_end; ++n) {
    const auto number = static_cast<int32_t>(n);
    if (db_.LoadIndexNode(node, number) == 1 && node != empty) Put(number, empty);
    if (!Going(static_cast<size_t>(n)) || result_.write_failed) return result_;
  }
  if (!Flush()) return result_;
  const int32_t root = names_.empty() ? 0 : static_cast<int32_t>(Root(0, names_.size()) + 1);
  db_.SetHeaderI32(kHdrRootNode, root);
  db_.SetHeaderI32(kHdrRootNode2, root);
  db_.SetHeaderI32(kHdrIndexNodeBound, static_cast<int32_t>(result_.names));
  if (db_.UpdateHeader() != 1) {
    result_.write_failed = true;
    return result_;
  }
  result_.done = true;
  return result_;
}

}  // namespace

IndexRebuild RebuildIndex(CTEVDatabase& db, const std::function<bool()>& going) {
  const ReadCacheScope cache(db);
  return Builder(db, going).Run();
}

}  // namespace kinscope
