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
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

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

namespace {

// Places each page p of `map` (1 to 8191) whose byte is a table 1 to 32 at
// the next entry of that table's group, the groups starting at `heads[t - 1]`
// and ending at `heads[t]`; a page whose group is already full, or whose
// byte is no table, goes to the spare entry `pages[heads[32]]`. True when
// every group came out exactly full. Maps hold long runs of one byte (a
// table's pages taken one after another, the unused pages at the end), so
// eight equal bytes are placed at once; single bytes go without a branch on
// their value.
bool Place(const uint8_t* map, const std::array<int32_t, kTableCount + 1>& heads, int16_t* pages) {
  const int32_t spare = heads[kTableCount];
  std::array<int32_t, 256> next;  // next entry of each byte's group
  std::array<int32_t, 256> end;   // its end; the spare entry for the rest
  next.fill(spare);
  end.fill(spare);
  for (size_t t = 1; t <= kTableCount; ++t) {
    next[t] = heads[t - 1];
    end[t] = heads[t];
  }
  const auto place = [&](int p) {
    const uint8_t table = map[p];
    const int32_t at = next[table];
    pages[at < end[table] ? at : spare] = static_cast<int16_t>(p);
    next[table] = at + 1;
  };
  constexpr uint64_t kEveryByte = 0x0101010101010101u;
  int p = 1;
  for (; p < 8; ++p) place(p);
  for (; p + 8 <= kPageSize; p += 8) {
    uint64_t word = 0;
    std::memcpy(&word, map + p, sizeof word);
    const uint8_t table = map[p];
    if (word == table * kEveryByte) {
      if (table == 0 || table > kTableCount) continue;  // no table's pages
      const int32_t at = next[table];
      if (at + 8 <= end[table]) {
        for (int k = 0; k < 8; ++k) pages[at + k] = static_cast<int16_t>(p + k);
        next[table] = at + 8;
        continue;
      }
    }
    for (int k = 0; k < 8; ++k) place(p + k);
  }
  for (size_t t = 1; t <= kTableCount; ++t) {
    if (next[t] != end[t]) return false;
  }
  return true;
}

}  // namespace

const CTEVDatabase::RegionMap& CTEVDatabase::Indexed(size_t region) const {
  const RegionMap& list = page_lists_[region];
  if (!list.raw) return list;
  const uint8_t* map = list.raw.get();

  // Pages 1 to 8191 only: the map's own page 0 belongs to table 11 but is no
  // page of its records. The page-count table gives the size of each group
  // in a sound file (table 11's counts the map's own page), so one pass
  // places the pages; where the map disagrees with the counts, the pages of
  // each table are counted first, in a pass of four histograms so that
  // equal bytes in a row do not wait on each other.
  const int row = static_cast<int>(region);
  for (size_t t = 1; t <= kTableCount; ++t) {
    const int counted = PageCount(row, static_cast<int>(t)) - (t == static_cast<size_t>(kPageMapTable) ? 1 : 0);
    list.heads[t] = list.heads[t - 1] + std::clamp(counted, 0, static_cast<int>(kPageSize) - 1);
  }
  if (list.heads[kTableCount] < static_cast<int32_t>(kPageSize)) {
    list.pages.resize(static_cast<size_t>(list.heads[kTableCount]) + 1);
  }
  if (list.pages.empty() || !Place(map, list.heads, list.pages.data())) {
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
    std::vector<int16_t>(static_cast<size_t>(list.heads[kTableCount]) + 1).swap(list.pages);
    Place(map, list.heads, list.pages.data());
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
