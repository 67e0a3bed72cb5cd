// Page maps and the location of fixed-size records.
//
// Page p of region r starts at r * 2^26 + 12288 + p * 8192. Byte p of a
// region's page map (its page 0) names the table that owns page p, 1 to 32;
// any other value gives the page to no table. The page-count table decides
// in which region a record number lies; the region's page list then gives the
// page: entries 0 to 31 are the heads of the tables' groups, and each group
// lists the table's pages in ascending order.
#include <algorithm>
#include <cstring>

#include "Coding.h"
#include "TEVDatabase.h"

namespace kinscope {

int CTEVDatabase::LoadRegionMap(int32_t region) {
  if (region < 0 || region >= kMaxRegions) return 0;
  std::array<uint8_t, kPageSize> map{};
  const int64_t at = region * kRegionSize + kRegionBase;
  if (ReadAt(at, map.data(), map.size()) != map.size()) return 0;
  if (map[0] != kPageMapTable) return 0;

  while (page_lists_.size() < static_cast<size_t>(region) + 1) page_lists_.emplace_back();
  PageList& list = page_lists_[static_cast<size_t>(region)];
  list = PageList{};

  // Count every byte, the map's own byte 0 included (one page of table 11).
  for (uint8_t byte : map) {
    const int table = static_cast<int8_t>(byte);
    if (table >= 1 && table <= kTableCount) ++list.mapped[static_cast<size_t>(table - 1)];
  }
  int32_t total = 0;
  for (size_t t = 0; t < kTableCount; ++t) {
    list.entries[t] = static_cast<int16_t>(kTableCount + total);
    total += list.mapped[t];
  }
  // Page 0 is counted but not placed: the last entry of table 11's group stays 0.
  std::array<int32_t, kTableCount> placed{};
  for (size_t p = 1; p < map.size(); ++p) {
    const int table = static_cast<int8_t>(map[p]);
    if (table < 1 || table > kTableCount) continue;
    const auto t = static_cast<size_t>(table - 1);
    const auto slot = static_cast<size_t>(list.entries[t] + placed[t]++);
    list.entries[slot] = static_cast<int16_t>(p);
  }
  return 1;
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
  return page_lists_[static_cast<size_t>(region)].mapped[static_cast<size_t>(table - 1)];
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
  const PageList& list = page_lists_[static_cast<size_t>(region)];
  const int64_t k = number - cumulative;
  const int64_t position = (k - 1) / per_page;
  const auto t = static_cast<size_t>(table - 1);
  if (position >= list.mapped[t]) return 0;
  const int page = list.entries[static_cast<size_t>(list.entries[t] + position)];
  if (page < 1 || page > kPageSize) return 0;

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
