// SPDX-License-Identifier: GPL-3.0-or-later
// Locating fixed-size records through the page-count table and the page maps.
#include <gtest/gtest.h>

#include "Coding.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;
using tevwriter::Bytes;

namespace {

constexpr int kTable = 2;  // individuals: 221 bytes, 37 to a page
constexpr int kSize = 221;
constexpr int kPerPage = 37;

// A record image whose first four bytes hold its number.
Bytes Numbered(int32_t n, int size = kSize) {
  Bytes record(static_cast<size_t>(size), 0x11);
  tevwriter::PutI32(record, 0, n);
  return record;
}

class PageMapTest : public ::testing::Test {
 protected:
  // Opens `file` read-only after writing it.
  void Open(const tevwriter::TevFile& file) {
    const std::string path = dir_.File("db.tev");
    ASSERT_TRUE(file.Write(path));
    ASSERT_EQ(db_.OpenDatabase(path, 1), 1);
  }
  // Reads record n of table 2; returns the number stored in it, or -1 when
  // the read failed (the buffer must then be all zero).
  int32_t Read(int32_t n) {
    kinscope::IndividImage record{};
    record.fill(0xcc);
    if (db_.LoadIndivid(record, n) == 0) {
      for (uint8_t b : record) EXPECT_EQ(b, 0) << "record " << n;
      return -1;
    }
    return kinscope::DecodeI32(record.data(), 0);
  }

  TempDir dir_;
  CTEVDatabase db_;
};

TEST_F(PageMapTest, WorkedExampleOffsets) {
  tevwriter::TevFile file(2);
  file.AddPage(0, 5, kTable);
  file.AddPage(0, 17, kTable);
  file.AddPage(0, 40, kTable);
  file.AddPage(1, 3, kTable);
  Open(file);
  EXPECT_EQ(db_.LocateRecord(40, kTable, kSize, kPerPage), 151994);
  EXPECT_EQ(db_.LocateRecord(112, kTable, kSize, kPerPage), (int64_t{1} << 26) + 3 * 8192 + 12288);
  EXPECT_EQ(db_.LocateRecord(1, kTable, kSize, kPerPage), 5 * 8192 + 12288);
}

TEST_F(PageMapTest, NumbersCrossPagesAndRegions) {
  tevwriter::TevFile file(3);
  // Pages are listed in ascending order whatever order they were given in.
  file.AddPage(0, 9, kTable);
  file.AddPage(0, 2, kTable);
  file.AddPage(2, 8000, kTable);  // region 1 holds none of table 2
  file.AddPage(0, 4, 3);          // another table's page between them
  const int32_t total = 3 * kPerPage;
  for (int32_t n = 1; n <= total; ++n) file.PutRecord(kTable, n, Numbered(n));
  Open(file);

  const int32_t cases[] = {1, 36, 37, 38, 74, 75, 111};
  for (int32_t n : cases) EXPECT_EQ(Read(n), n);
  EXPECT_EQ(db_.LocateRecord(37, kTable, kSize, kPerPage), 2 * 8192 + 36 * 221 + 12288);
  EXPECT_EQ(db_.LocateRecord(38, kTable, kSize, kPerPage), 9 * 8192 + 12288);
  EXPECT_EQ(db_.LocateRecord(75, kTable, kSize, kPerPage),
            2 * (int64_t{1} << 26) + 8000 * 8192 + 12288);
  // One past the last record, and numbers 0 and below.
  const int32_t missing[] = {total + 1, 0, -1, INT32_MIN, INT32_MAX};
  for (int32_t n : missing) EXPECT_EQ(Read(n), -1) << n;
}

TEST_F(PageMapTest, LastRegionThirtyIsReachable) {
  tevwriter::TevFile file(31);
  file.AddPage(30, 8191, kTable);
  file.PutRecord(kTable, kPerPage, Numbered(kPerPage));
  Open(file);
  EXPECT_EQ(Read(kPerPage), kPerPage);
  EXPECT_EQ(db_.LocateRecord(kPerPage, kTable, kSize, kPerPage),
            30 * (int64_t{1} << 26) + 8191 * int64_t{8192} + 36 * 221 + 12288);
  EXPECT_EQ(Read(kPerPage + 1), -1);
}

TEST_F(PageMapTest, MapBytesThatNameNoTable) {
  tevwriter::TevFile file(1);
  file.AddPage(0, 1, kTable);
  // Bytes 0, 33, 127, 128 and 0xe2 (-30 as a signed byte) give no table the page.
  const uint8_t strays[] = {0, 33, 127, 128, 0xe2};
  int page = 2;
  for (uint8_t b : strays) file.SetMapByte(0, page++, b);
  file.AddPage(0, page, kTable);
  file.PutRecord(kTable, kPerPage + 1, Numbered(kPerPage + 1));
  Open(file);
  EXPECT_EQ(db_.LocateRecord(kPerPage + 1, kTable, kSize, kPerPage), page * 8192 + 12288);
  EXPECT_EQ(Read(kPerPage + 1), kPerPage + 1);
}

TEST_F(PageMapTest, TableThirtyTwoIsATable) {
  tevwriter::TevFile file(1);
  file.AddPage(0, 6, 32);
  Open(file);
  EXPECT_EQ(db_.LocateRecord(1, 32, 100, 81), 6 * 8192 + 12288);
  EXPECT_EQ(db_.LocateRecord(1, 33, 100, 81), 0);
  EXPECT_EQ(db_.LocateRecord(1, 0, 100, 81), 0);
}

TEST_F(PageMapTest, CountsThatDisagreeWithTheMapFindNothing) {
  tevwriter::TevFile file(2);
  file.AddPage(0, 1, kTable);
  file.AddPage(0, 2, 3);  // the next group: table 3
  file.PutRecord(3, 1, Numbered(77, 106));
  // Region 0 claims two pages of table 2; the map gives it one.
  file.SetPageCount(0, kTable, 2);
  Open(file);
  EXPECT_NE(db_.LocateRecord(kPerPage, kTable, kSize, kPerPage), 0);
  EXPECT_EQ(db_.LocateRecord(kPerPage + 1, kTable, kSize, kPerPage), 0);
  EXPECT_EQ(Read(kPerPage + 1), -1);
}

TEST_F(PageMapTest, NegativeAndZeroCountsSkipARegion) {
  tevwriter::TevFile file(3);
  file.AddPage(0, 1, kTable);
  file.AddPage(1, 1, kTable);
  file.AddPage(2, 1, kTable);
  file.SetPageCount(1, kTable, -5);
  file.PutRecord(kTable, 1, Numbered(1));
  Open(file);
  // Region 1 counts as no pages, so record 38 is the first of region 2.
  EXPECT_EQ(db_.LocateRecord(38, kTable, kSize, kPerPage), 2 * (int64_t{1} << 26) + 8192 + 12288);
  EXPECT_EQ(db_.LocateRecord(75, kTable, kSize, kPerPage), 0);
}

TEST_F(PageMapTest, CountedRegionWithoutAMapFindsNothing) {
  tevwriter::TevFile file(1);
  file.AddPage(0, 1, kTable);
  file.SetPageCount(4, kTable, 1);  // region 4 has no map loaded
  Open(file);
  EXPECT_NE(db_.LocateRecord(37, kTable, kSize, kPerPage), 0);
  EXPECT_EQ(db_.LocateRecord(38, kTable, kSize, kPerPage), 0);
}

TEST_F(PageMapTest, ShortReadAtTheEndOfTheFile) {
  tevwriter::TevFile file(1);
  file.AddPage(0, 3, kTable);
  file.PutRecord(kTable, 1, Numbered(1));
  const std::string path = dir_.File("db.tev");
  ASSERT_TRUE(file.Write(path));
  ASSERT_TRUE(tevwriter::TruncateFile(path, 12288 + 3 * 8192 + 100));
  ASSERT_EQ(db_.OpenDatabase(path, 1), 1);
  kinscope::IndividImage record{};
  record.fill(0xcc);
  EXPECT_EQ(db_.LoadIndivid(record, 1), 0);
  EXPECT_EQ(kinscope::DecodeI32(record.data(), 0), 1);  // the bytes read are there
  EXPECT_EQ(record[99], 0x11);
  EXPECT_EQ(record[100], 0);  // and nothing stale after them
  EXPECT_EQ(record[220], 0);
}

TEST_F(PageMapTest, WritesGoWhereReadsLook) {
  tevwriter::TevFile file(1);
  file.AddPage(0, 7, 10);
  file.AppendIndexNode(1, 2, 3, 4);
  const std::string path = dir_.File("db.tev");
  ASSERT_TRUE(file.Write(path));
  ASSERT_EQ(db_.OpenDatabase(path, 0), 1);

  kinscope::IndexNodeImage node{};
  kinscope::EncodeI32(node.data(), 12, 4242);
  EXPECT_EQ(db_.StoreIndexNode(node, 512), 1);  // last slot of the page
  EXPECT_EQ(db_.StoreIndexNode(node, 513), 0);  // no such record: nothing written
  EXPECT_EQ(db_.StoreIndexNode(node, 0), 0);
  kinscope::IndexNodeImage back{};
  EXPECT_EQ(db_.LoadIndexNode(back, 512), 1);
  EXPECT_EQ(back, node);
  EXPECT_EQ(tevwriter::ReadWholeFile(path).size(), static_cast<size_t>(12288 + 8 * 8192));
}

}  // namespace
