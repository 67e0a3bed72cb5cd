// SPDX-License-Identifier: GPL-3.0-or-later
// Page maps and the location of fixed-size records.
//
// Page p of region r starts at r * 2^26 + 12288 + p * 8192. Byte p of a
// region's page map (its page 0) names the table that owns page p, 1 to 32;
// any other value gives the page to no table. The page-count table decides
// in which region a record number lies; the region's page list then gives the
// page: the list holds one group per table of the pages the map gives it, in
// ascending order. A region's list is made from its map on the first lookup
// in that region, so an open only reads and checks the maps.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "Coding.h"
#include "TEVDatabase.h"

namespace kinscope {

int CTEVDatabase::LoadRegionMap(int32_t region) {
  if (region < 0 || region >= kMaxRegions) return 0;
  std::unique_ptr<uint8_t[]> map(new uint8_t[kPageSize]);
  const int64_t at = region * kRegionSize + kRegionBase;
  if (ReadAt(at, map.get(), kPageSize) != kPageSize) return 0;
  if (map[0] != kPageMapTable) return 0;

  while (page_lists_.size() < static_cast<size_t>(region) + 1) page_lists_.emplace_back();
  RegionMap& list = page_lists_[static_cast<size_t>(region)];
  list = RegionMap{};
  list.raw = std::move(map);
  return 1;
}

const CTEVDatabase::RegionMap& CTEVDatabase::Indexed(size_t region) const {
  const RegionMap& list = page_lists_[region];
  if (!list.raw) return list;
  const uint8_t* map = list.raw.get();

  // Pages 1 to 8191 only: the map's own page 0 belongs to table 11 but is no
  // page of its records. Both passes go by the byte's value without a branch
  // on it: bytes other than 1 to 32 count in a histogram nobody reads and
  // are placed in one spare entry past the groups.
  // Four histograms, so that equal bytes in a row do not wait on each other.
  std::array<std::array<int32_t, 256>, 4> histograms{};
  size_t p = 1;
  for (; p + 4 <= kPageSize; p += 4) {
    for (size_t k = 0; k < 4; ++k) ++histograms[k][map[p + k]];
  }
  for (; p < kPageSize; ++p) ++histograms[0][map[p]];
  for (size_t t = 1; t <= kTableCount; ++t) {
    const int32_t count = histograms[0][t] + histograms[1][t] + histograms[2][t] + histograms[3][t];
    list.heads[t] = list.heads[t - 1] + count;
  }
  const auto total = static_cast<size_t>(list.heads[kTableCount]);
  list.pages.resize(total + 1);
  std::array<int32_t, 256> next;  // next free entry of each group; the spare one for the rest
  std::array<int32_t, 256> step;  // 1 for tables 1 to 32, else 0
  next.fill(static_cast<int32_t>(total));
  step.fill(0);
  for (size_t t = 1; t <= kTableCount; ++t) {
    next[t] = list.heads[t - 1];
    step[t] = 1;
  }
  int16_t* pages = list.pages.data();
  for (p = 1; p < kPageSize; ++p) {
    const uint8_t table = map[p];
    pages[next[table]] = static_cast<int16_t>(p);
    next[table] += step[table];
  }
  list.pages.pop_back();
  list.raw.reset();
  return list;
}

int CTEVDatabase::PageCount(int region, int table) const {
  if (region < 0 || region >= kPageCountRows || table < 1 || table > kTableCount) return 0;
  return DecodeI16(page_counts_.data(), static_cast<size_t>(region * kTableCount + table - 1) * 2);
}

int CTEVDatabase::MappedPages(int region, int table) const {
  if (region < 0 || static_cast<size_t>(region) >= page_lists_.size() || table < 1 ||
      table > kTableCount) {
    return 0;
  }
  const RegionMap& map = Indexed(static_cast<size_t>(region));
  const auto t = static_cast<size_t>(table);
  return map.heads[t] - map.heads[t - 1];
}

int64_t CTEVDatabase::LocateRecord(int32_t number, int table, int size, int per_page) const {
  if (number < 1 || table < 1 || table > kTableCount || size < 1 || per_page < 1) return 0;

  // The region: records of the table are numbered through regions 0 to 30.
  int64_t cumulative = 0;
  int region = 0;
  for (; region < kMaxRegions; ++region) {
    const int64_t in_region = int64_t{std::max(0, PageCount(region, table))} * per_page;
    if (cumulative + in_region >= number) break;
    cumulative += in_region;
  }
  if (region == kMaxRegions) return 0;
  if (static_cast<size_t>(region) >= page_lists_.size()) return 0;

  // The page: a position in the table's group of this region. A count larger
  // than the pages the map gives the table finds nothing, rather than a page
  // of the next table's group.
  const RegionMap& list = Indexed(static_cast<size_t>(region));
  const auto t = static_cast<size_t>(table);
  const int64_t k = number - cumulative;
  const int64_t position = (k - 1) / per_page;
  if (position >= list.heads[t] - list.heads[t - 1]) return 0;
  const int page = list.pages[static_cast<size_t>(list.heads[t - 1] + position)];

  const int64_t slot = (k - 1) % per_page;
  return region * kRegionSize + int64_t{page} * kPageSize + slot * size + kRegionBase;
}

int CTEVDatabase::ReadRecord(uint8_t* buffer, int size, int32_t number, int table,
                             int per_page) {
  if (size < 1) return 0;
  std::memset(buffer, 0, static_cast<size_t>(size));
  const int64_t offset = LocateRecord(number, table, size, per_page);
  if (offset == 0) return 0;
  const auto n = static_cast<size_t>(size);
  return ReadAt(offset, buffer, n) == n ? 1 : 0;
}

int CTEVDatabase::WriteRecord(const uint8_t* bytes, int size, int32_t number, int table,
                              int per_page) {
  const int64_t offset = LocateRecord(number, table, size, per_page);
  if (offset == 0) return 0;
  if (WriteAt(static_cast<int32_t>(offset), bytes, size) == 0) return 0;
  modified_ = true;
  return 1;
}

}  // namespace kinscope
