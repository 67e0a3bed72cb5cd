// SPDX-License-Identifier: GPL-3.0-or-later
// Page maps and the location of fixed-size records.
//
// Page p of region r starts at r * 2^26 + 12288 + p * 8192. Byte p of a
// region's page map (its page 0) names the table that owns page p, 1 to 32;
// any other value gives the page to no table. The page-count table decides
// in which region a record number lies; the region's page list then gives the
// page: the pages the map gives the table, in ascending order. That group is
// gathered from the map on the first lookup of the table in the region, so
// an open only reads and checks the maps.
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

// The index (0 to 7) of the lowest byte of `marks` whose top bit is set,
// when no other bit is: the lowest mark moved to bit 0 of its byte picks,
// as a multiplier, the byte of the constant that holds its index, and the
// product's top byte is that index. Plain arithmetic, the same on every
// compiler and machine.
constexpr int LowestMarkedByte(uint64_t marks) {
  const uint64_t lowest = marks & (~marks + 1);
  return static_cast<int>(((lowest >> 7) * uint64_t{0x0001020304050607}) >> 56);
}
static_assert(LowestMarkedByte(0x80) == 0 && LowestMarkedByte(0x8000) == 1 &&
              LowestMarkedByte(0x8080800000000000) == 5 &&
              LowestMarkedByte(0x8000000000000000) == 7);

// The pages 1 to 8191 whose byte in `map` is `table`, in ascending order,
// appended to `pages`. Eight bytes at a time, read as a little-endian word
// so that byte k of the word is page at + k on every machine: the bytes
// equal to the table become zero in `word ^ pattern`, and the exact
// zero-byte test marks each of them with its top bit, so only the pages
// found cost more than the pass.
void Gather(const uint8_t* map, uint8_t table, std::vector<int16_t>& pages) {
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fu;
  const uint64_t pattern = table * 0x0101010101010101u;
  for (int at = 0; at < kPageSize; at += 8) {
    const auto i = static_cast<size_t>(at);
    const uint64_t word = DecodeU32(map, i) | uint64_t{DecodeU32(map, i + 4)} << 32;
    const uint64_t x = word ^ pattern;
    uint64_t found = ~(((x & kLow7) + kLow7) | x | kLow7);
    if (at == 0) found &= ~uint64_t{0xff};  // page 0 is the map itself
    while (found != 0) {
      pages.push_back(static_cast<int16_t>(at + LowestMarkedByte(found)));
      found &= found - 1;
    }
  }
}

}  // namespace

const std::vector<int16_t>* CTEVDatabase::Group(size_t region, size_t table) const {
  const RegionMap& list = page_lists_[region];
  const uint64_t bit = uint64_t{1} << table;
  if ((list.made & bit) != 0) return &list.groups[table];
  if (!list.raw) return nullptr;
  if (!list.groups) list.groups.reset(new std::vector<int16_t>[kTableCount + 1]);
  std::vector<int16_t>& pages = list.groups[table];
  Gather(list.raw.get(), static_cast<uint8_t>(table), pages);
  pages.shrink_to_fit();
  list.made |= bit;
  constexpr uint64_t kAll = ((uint64_t{1} << kTableCount) - 1) << 1;
  if (list.made == kAll) list.raw.reset();
  return &pages;
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
  const std::vector<int16_t>* pages =
      Group(static_cast<size_t>(region), static_cast<size_t>(table));
  return pages == nullptr ? 0 : static_cast<int>(pages->size());
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
  const std::vector<int16_t>* pages =
      Group(static_cast<size_t>(region), static_cast<size_t>(table));
  const int64_t k = number - cumulative;
  const int64_t position = (k - 1) / per_page;
  if (pages == nullptr || position >= static_cast<int64_t>(pages->size())) return 0;
  const int page = (*pages)[static_cast<size_t>(position)];

  const int64_t slot = (k - 1) % per_page;
  return region * kRegionSize + int64_t{page} * kPageSize + slot * size + kRegionBase;
}

int CTEVDatabase::ReadRecord(uint8_t* buffer, int size, int32_t number, int table, int per_page) {
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
