// SPDX-License-Identifier: GPL-3.0-or-later
// The header command: what the header says and how the pages are shared out.
#include <array>
#include <cstdio>

#include "Coding.h"
#include "Dump.h"
#include "TEVDatabase.h"

namespace kinscope::dump {
namespace {

// The header's modification time: eight 16-bit fields.
json ModifyTime(const uint8_t* header) {
  uint16_t f[8];
  for (size_t i = 0; i < 8; ++i) f[i] = DecodeU16(header, kHdrModifyTime + 2 * i);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", f[0], f[1], f[3], f[4],
                f[5], f[6], f[7]);
  return {{"text", text}, {"day_of_week", f[2]}};
}

}  // namespace

Result Header(CTEVDatabase& db) {
  const uint8_t* h = db.Header().data();
  json doc;
  doc["version_text"] = Latin1(h + kHdrVersionText, 4);
  doc["magic"] = Latin1(h + kHdrMagic, 4);
  doc["region_count"] = db.HeaderI32(kHdrRegionCount);
  doc["individual_bound"] = db.HeaderI32(kHdrIndividBound);
  doc["root_node"] = db.HeaderI32(kHdrRootNode);
  doc["index_node_bound"] = db.HeaderI32(kHdrIndexNodeBound);
  doc["root_node_copy"] = db.HeaderI32(kHdrRootNode2);
  doc["name_area_start"] = db.HeaderI32(kHdrNameAreaStart);
  doc["name_area_end"] = db.HeaderI32(kHdrNameAreaEnd);
  doc["modify_time"] = ModifyTime(h);

  // Page counts: the non-zero entries of regions 0 to 30.
  json counts = json::array();
  for (int r = 0; r < kMaxRegions; ++r) {
    for (int t = 1; t <= kTableCount; ++t) {
      const int n = db.PageCount(r, t);
      if (n != 0) counts.push_back({{"region", r}, {"table", t}, {"pages", n}});
    }
  }
  doc["page_counts"] = counts;

  // Each loaded region's map, read afresh: pages it gives each table.
  json maps = json::array();
  std::array<uint8_t, kPageSize> map{};
  for (int r = 0; r < db.PageListCount(); ++r) {
    if (db.ReadAt(kRegionBase + r * kRegionSize, map.data(), map.size()) != map.size()) continue;
    std::array<int, kTableCount + 1> pages{};
    int foreign = 0;
    for (size_t p = 1; p < map.size(); ++p) {
      const int t = static_cast<int8_t>(map[p]);
      if (t >= 1 && t <= kTableCount) {
        ++pages[static_cast<size_t>(t)];
      } else if (t != 0) {
        ++foreign;
      }
    }
    json tables = json::array();
    for (int t = 1; t <= kTableCount; ++t) {
      if (pages[static_cast<size_t>(t)] != 0) {
        tables.push_back({{"table", t}, {"pages", pages[static_cast<size_t>(t)]}});
      }
    }
    maps.push_back({{"region", r},
                    {"first_byte", map[0]},
                    {"tables", tables},
                    {"pages_of_no_table", foreign}});
  }
  doc["page_maps"] = maps;
  return {doc, kOk, ""};
}

}  // namespace kinscope::dump
