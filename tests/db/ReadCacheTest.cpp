// SPDX-License-Identifier: GPL-3.0-or-later
// Reads through the read cache give what reads of the file give: across
// page ends, before the first page, at and beyond the end of a short file,
// and after their slot was taken by another page.
#include <gtest/gtest.h>

#include <random>

#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using namespace kinscope;

namespace {

TEST(ReadCache, ReadsAsTheFileReads) {
  TempDir dir;
  const std::string path = dir.File("db.tev");
  tevwriter::TevFile f(1);
  for (int p = 1; p <= 4; ++p) f.AddPage(0, p, 2);
  tevwriter::Bytes noise(4 * 8192);
  std::mt19937 random(7);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  f.Patch(tevwriter::PageOffset(0, 1), noise);
  ASSERT_TRUE(f.Write(path));
  const int64_t end = tevwriter::PageOffset(0, 4) + 3000;  // the last page cut short
  ASSERT_TRUE(tevwriter::TruncateFile(path, end));

  const int64_t page2 = tevwriter::PageOffset(0, 2);
  const std::pair<int64_t, size_t> reads[] = {
      {0, 1685},          {12000, 600},       {page2 - 100, 271},  {page2 + 8000, 8192 + 400},
      {page2 + 5, 16},    {end - 10, 271},    {end, 16},           {end + 9000, 16},
      {page2 + 5, 16},    {kRegionBase, 3 * 8192}};
  for (const size_t capacity : {size_t{8192} * 2, kWholeFileReadCache}) {
    CTEVDatabase plain, cached;
    ASSERT_EQ(plain.OpenDatabase(path, 1), kOpenOk);
    ASSERT_EQ(cached.OpenDatabase(path, 1), kOpenOk);
    const ReadCacheScope scope(cached, capacity);
    for (const auto& [offset, count] : reads) {
      std::vector<uint8_t> a(count, 0xaa), b(count, 0xaa);
      EXPECT_EQ(cached.ReadAt(offset, b.data(), count), plain.ReadAt(offset, a.data(), count))
          << offset << " " << count;
      EXPECT_EQ(a, b) << offset << " " << count;
    }
    EXPECT_GT(cached.ReadCacheBytes(), 0u);
    EXPECT_LE(cached.ReadCacheBytes(), capacity);
  }
  // A writable database never caches.
  CTEVDatabase writable;
  ASSERT_EQ(writable.OpenDatabase(path, 0), kOpenOk);
  EXPECT_FALSE(writable.StartReadCache(kWholeFileReadCache));
}

}  // namespace
