// SPDX-License-Identifier: GPL-3.0-or-later
// Record lookups through page lists made on first use answer exactly as the
// lists made for every map at open did. That eager algorithm is written out
// plainly here and both are asked the same lookups on random maps and page
// counts, the database object being reused from file to file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using tevwriter::Bytes;

namespace {

// One region's page list as built at open: 32 group heads, then the groups.
struct EagerList {
  std::array<int16_t, 32 + 8192> entries{};
  std::array<int32_t, 32> mapped{};
};

EagerList EagerIndex(const Bytes& map) {
  EagerList list;
  for (uint8_t byte : map) {
    const int t = static_cast<int8_t>(byte);
    if (t >= 1 && t <= 32) ++list.mapped[static_cast<size_t>(t - 1)];
  }
  int32_t total = 0;
  for (size_t t = 0; t < 32; ++t) {
    list.entries[t] = static_cast<int16_t>(32 + total);
    total += list.mapped[t];
  }
  std::array<int32_t, 32> placed{};
  for (size_t p = 1; p < 8192; ++p) {
    const int t = static_cast<int8_t>(map[p]);
    if (t < 1 || t > 32) continue;
    const auto i = static_cast<size_t>(t - 1);
    list.entries[static_cast<size_t>(list.entries[i] + placed[i]++)] = static_cast<int16_t>(p);
  }
  return list;
}

int64_t EagerLocate(const std::vector<EagerList>& lists, const std::vector<int16_t>& counts,
                    int32_t n, int t, int size, int per_page) {
  if (n < 1) return 0;
  int64_t cumulative = 0;
  int r = 0;
  for (; r < 31; ++r) {
    const int64_t in_region =
        int64_t{std::max<int16_t>(0, counts[static_cast<size_t>(r * 32 + t - 1)])} * per_page;
    if (cumulative + in_region >= n) break;
    cumulative += in_region;
  }
  if (r == 31 || static_cast<size_t>(r) >= lists.size()) return 0;
  const EagerList& list = lists[static_cast<size_t>(r)];
  const int64_t k = n - cumulative;
  const int64_t position = (k - 1) / per_page;
  if (position >= list.mapped[static_cast<size_t>(t - 1)]) return 0;
  const int16_t head = list.entries[static_cast<size_t>(t - 1)];
  const int page = list.entries[static_cast<size_t>(head + position)];
  if (page < 1 || page > 8192) return 0;
  return r * (int64_t{1} << 26) + int64_t{page} * 8192 + (k - 1) % per_page * size + 12288;
}

TEST(PageIndex, LookupsMatchTheEagerIndexOnRandomMaps) {
  std::mt19937 random(13);
  const auto below = [&random](int n) {
    return static_cast<int>(random() % static_cast<unsigned>(n));
  };
  TempDir dir;
  kinscope::CTEVDatabase db;
  std::vector<EagerList> lists;  // what the eager index holds for the object
  int64_t found = 0;
  for (int round = 0; round < 16; ++round) {
    const int regions = 1 + below(5);
    tevwriter::TevFile file(regions);
    std::vector<int16_t> counts(31 * 32, 0);
    std::vector<Bytes> maps;
    for (int r = 0; r < regions; ++r) {
      Bytes map(8192, 0);
      map[0] = 11;
      const int density = below(101);   // percent of pages owned
      const bool runs = below(2) == 0;  // pages taken in runs, as a table grows
      for (size_t p = 1; p < map.size();) {
        const size_t length = runs ? 1 + static_cast<size_t>(below(40)) : 1;
        if (below(100) >= density) {
          p += length;
          continue;
        }
        // Mostly a few tables, sometimes any byte: 0, above 32, negative.
        constexpr std::array<uint8_t, 4> kTables = {2, 3, 10, 11};
        const uint8_t byte = below(4) == 0 ? static_cast<uint8_t>(below(256))
                                           : kTables[static_cast<size_t>(below(4))];
        for (size_t end = std::min(map.size(), p + length); p < end; ++p) {
          map[p] = byte;
          file.SetMapByte(r, static_cast<int>(p), byte);
        }
      }
      maps.push_back(map);
    }
    // Counts near what the maps give, and wrong ones: negative, too large,
    // in regions without a map; every other round the counts of a sound
    // file (table 11's counting the map's own page), one of them a page off
    // in some rounds.
    std::vector<EagerList> fresh;
    for (const Bytes& map : maps) fresh.push_back(EagerIndex(map));
    const bool sound_counts = round % 2 == 0;
    const int off_region = round % 4 == 2 ? below(regions) : -1;
    const int off_table = 1 + below(32);
    for (int r = 0; r < 31; ++r) {
      for (int t = 1; t <= 32; ++t) {
        const int mapped =
            r < regions ? fresh[static_cast<size_t>(r)].mapped[static_cast<size_t>(t - 1)] : 0;
        auto count = below(3) == 0 ? static_cast<int16_t>(mapped - 2 + below(5)) : int16_t{0};
        if (sound_counts) {
          count = static_cast<int16_t>(mapped + (t == 11 && r < regions ? 1 : 0));
          if (r == off_region && t == off_table)
            count = static_cast<int16_t>(count + (below(2) ? 1 : -1));
        }
        counts[static_cast<size_t>(r * 32 + t - 1)] = count;
        file.SetPageCount(r, t, count);
      }
    }
    const bool corrupt = round % 4 == 3;
    const int bad_region = below(regions);
    if (corrupt) file.SetMapByte(bad_region, 0, 12);
    const std::string path = dir.File("db" + std::to_string(round) + ".tev");
    ASSERT_TRUE(file.Write(path));

    // The eager open: the maps before a bad one replace their regions' lists.
    for (int r = 0; r < (corrupt ? bad_region : regions); ++r) {
      if (lists.size() <= static_cast<size_t>(r)) lists.resize(static_cast<size_t>(r) + 1);
      lists[static_cast<size_t>(r)] = fresh[static_cast<size_t>(r)];
    }
    ASSERT_EQ(db.OpenDatabase(path, 1), corrupt ? kinscope::kOpenCorrupt : kinscope::kOpenOk);
    ASSERT_EQ(db.PageListCount(), static_cast<int>(lists.size()));
    if (corrupt) continue;

    for (int t = 1; t <= 32; ++t) {
      for (int per_page : {1, 37, 512}) {
        int64_t total = 0;
        for (int r = 0; r < 31; ++r)
          total += std::max<int16_t>(0, counts[static_cast<size_t>(r * 32 + t - 1)]);
        total *= per_page;
        for (int i = 0; i < 40; ++i) {
          const int span = static_cast<int>(total) + 2 * per_page + 3;
          const auto n = static_cast<int32_t>(below(span) - 2);
          const int64_t expected = EagerLocate(lists, counts, n, t, 16, per_page);
          ASSERT_EQ(db.LocateRecord(n, t, 16, per_page), expected)
              << "round " << round << " table " << t << " per page " << per_page << " n " << n;
          found += expected != 0;
        }
      }
    }
    db.CloseDatabase();
  }
  EXPECT_GT(found, 1000);  // the lookups do find records, not only nothing
}

}  // namespace
