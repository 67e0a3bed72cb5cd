// SPDX-License-Identifier: GPL-3.0-or-later
#include "IndexKeyRanks.h"

#include <algorithm>

#include "Coding.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TreeCheck.h"

namespace kinscope {
namespace {

constexpr int64_t kPageBytes = 8192;

// The pages of the index node table, as page numbers counted from region 0.
std::vector<int64_t> IndexNodePages(const CTEVDatabase& db) {
  std::vector<int64_t> pages;
  const auto per_page = static_cast<int64_t>(kIndexNodeTable.per_page);
  for (int64_t first = 1; first <= INT32_MAX; first += per_page) {
    const int64_t at = db.LocateRecord(static_cast<int32_t>(first), kIndexNodeTable.table,
                                       kIndexNodeTable.size, kIndexNodeTable.per_page);
    if (at == 0) break;
    pages.push_back((at - kRegionBase) / kPageBytes);
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

// Whether a write of an index node or of the header could change the name
// record at `offset`.
bool MayBeWritten(int32_t offset, const std::vector<int64_t>& node_pages) {
  if (offset < kRegionBase) return true;
  const int64_t first = (offset - kRegionBase) / kPageBytes;
  const int64_t last =
      (offset + static_cast<int64_t>(kINameRecRead) - 1 - kRegionBase) / kPageBytes;
  const auto at = std::lower_bound(node_pages.begin(), node_pages.end(), first);
  return at != node_pages.end() && *at <= last;
}

}  // namespace

size_t IndexKeyRanks::Build(CTEVDatabase& db) {
  const std::vector<int64_t> node_pages = IndexNodePages(db);
  // The walk reaches only nodes up to the index node bound that the table's
  // pages hold.
  const int64_t held = static_cast<int64_t>(node_pages.size()) * kIndexNodeTable.per_page;
  entries_.assign(static_cast<size_t>(std::max<int64_t>(
                      0, std::min<int64_t>(db.HeaderI32(kHdrIndexNodeBound), held))) +
                      1,
                  Entry{});
  runs_ = 0;
  IndexWalk walk(db);
  IndexEntry entry;
  WideText previous;
  bool first = true;
  bool ordered = true;
  bool in_run = false;
  uint32_t rank = 1;
  size_t ranked = 0;
  while (walk.Next(entry)) {
    const int32_t name = DecodeI32(entry.image.data(), indexnode::kName);
    const bool rankable =
        static_cast<size_t>(entry.node) < entries_.size() && !MayBeWritten(name, node_pages);
    if (entry.name_read == 0) {
      if (rankable) {
        entries_[static_cast<size_t>(entry.node)] = {name, kUnreadable};
        ++ranked;
      }
      continue;
    }
    const int32_t order =
        first ? -1 : CUnicodeCompareDefault::Instance().Compare(previous, entry.key, 0);
    first = false;
    if (order == 0 && !in_run) ++runs_;
    in_run = order == 0;
    ordered = ordered && order <= 0;  // out of order: no rank can stand for the keys
    if (order < 0) ++rank;
    previous.swap(entry.key);
    if (!ordered || !rankable) continue;
    entries_[static_cast<size_t>(entry.node)] = {name, rank};
    ++ranked;
  }
  if (!ordered) {
    entries_.clear();
    entries_.shrink_to_fit();
    ranked = 0;
  }
  bits_.assign(entries_.size() / 64 + 1, 0);
  return ranked;
}

bool IndexKeyRanks::Mark(int32_t node) {
  const auto n = static_cast<size_t>(node);
  if (node < 0 || n / 64 >= bits_.size()) return far_.insert(node).second;
  const uint64_t bit = uint64_t{1} << (n % 64);
  if ((bits_[n / 64] & bit) != 0) return false;
  bits_[n / 64] |= bit;
  marked_.push_back(node);
  return true;
}

void IndexKeyRanks::ClearMarks() {
  for (const int32_t node : marked_) {
    const auto n = static_cast<size_t>(node);
    bits_[n / 64] &= ~(uint64_t{1} << (n % 64));
  }
  marked_.clear();
  far_.clear();
}

size_t IndexKeyRanks::HeldBytes() const {
  return entries_.capacity() * sizeof(Entry) + bits_.capacity() * sizeof(uint64_t) +
         marked_.capacity() * sizeof(int32_t);
}

}  // namespace kinscope
