// SPDX-License-Identifier: GPL-3.0-or-later
// Reads through the read cache give what reads of the file give: across
// page ends, before the first page, at and beyond the end of a short file,
// and after their slot was taken by another page; on a writable database,
// after writes and a rollback.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "PlatformSeam.h"
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
      {0, 1685},       {12000, 600},           {page2 - 100, 271}, {page2 + 8000, 8192 + 400},
      {page2 + 5, 16}, {end - 10, 271},        {end, 16},          {end + 9000, 16},
      {page2 + 5, 16}, {kRegionBase, 3 * 8192}};
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
}

// Fails the database's writes or its syncs on demand.
class FailingSeam : public platform::FileSeam {
 public:
  size_t WriteAt(platform::FileHandle file, int64_t offset, const void* buffer,
                 size_t count) override {
    return fail_writes && offset >= kRegionBase ? 0
                                                : FileSeam::WriteAt(file, offset, buffer, count);
  }
  bool Sync(platform::FileHandle file) override { return !fail_syncs && FileSeam::Sync(file); }
  bool fail_writes = false;
  bool fail_syncs = false;
};

// On a writable database the cache never gives bytes the file no longer
// holds: after a write across a page end, after a write that failed, and
// after a change rolled back.
TEST(ReadCache, WritesGoThrough) {
  TempDir dir;
  const std::string path = dir.File("db.tev");
  tevwriter::TevFile f(1);
  for (int p = 1; p <= 3; ++p) f.AddPage(0, p, 2);
  ASSERT_TRUE(f.Write(path));
  const auto at = static_cast<int32_t>(tevwriter::PageOffset(0, 2) - 8);  // across a page end
  const std::vector<uint8_t> zeros(16, 0), ones(16, 1), twos(16, 2);
  FailingSeam seam;
  platform::SetSeam(&seam);
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 0), kOpenOk);
  const auto read = [&db, at] {
    std::vector<uint8_t> b(16, 0xaa);
    db.ReadAt(at, b.data(), b.size());
    return b;
  };
  {
    const ReadCacheScope scope(db, 8192 * 4);
    EXPECT_EQ(read(), zeros);
    EXPECT_EQ(db.ReadCacheBytes(), 8192u * 2);
    ASSERT_EQ(db.WriteAt(at, ones.data(), 16), 1);
    EXPECT_EQ(read(), ones);
    seam.fail_writes = true;
    EXPECT_EQ(db.WriteAt(at, twos.data(), 16), 0);
    seam.fail_writes = false;
    EXPECT_EQ(read(), ones);  // what the file holds, whatever the failed write left
  }
  // A commit whose sync fails rolls the change back under a running cache.
  ASSERT_TRUE(db.StartReadCache(8192 * 4));
  EXPECT_EQ(read(), ones);
  seam.fail_syncs = true;
  EXPECT_EQ(db.CommitChange(), 0);
  seam.fail_syncs = false;
  EXPECT_EQ(read(), zeros);
  platform::SetSeam(nullptr);
  db.CloseDatabase();
}

}  // namespace
