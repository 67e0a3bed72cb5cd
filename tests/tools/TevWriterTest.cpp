// SPDX-License-Identifier: GPL-3.0-or-later
#include "TevWriter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

#include "TempDir.h"

using namespace tevwriter;

namespace {

int32_t I32At(const Bytes& b, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
                              static_cast<uint32_t>(b[at + 2]) << 16 |
                              static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(TevWriter, HeaderAndEmptyFile) {
  TevFile f(2);
  f.SetRootNode(-7);
  EXPECT_EQ(f.Read(0, 12), (Bytes{'5', '0', '0', 0, 0, 0, 0, 0, 'T', 'E', 'V', 0}));
  EXPECT_EQ(f.HeaderI32(18), 2);
  EXPECT_EQ(f.Read(30, 4), (Bytes{0xF9, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(f.HeaderI32(50), -7);
  EXPECT_EQ(f.FileSize(), PageOffset(1, 1));
  EXPECT_EQ(TevFile(0).FileSize(), 12288);
  for (int r = 0; r < 2; ++r) {
    EXPECT_EQ(f.Read(PageOffset(r, 0), 1)[0], 11);
    EXPECT_EQ(f.PageCount(r, kPageMapTable), 1);
  }
}

// Table 2 (221 bytes, 37 per page) with pages given out of order and a page
// of another table in between.
TEST(TevWriter, RecordOffsetsAcrossPagesAndRegions) {
  TevFile f(2);
  f.AddPage(0, 30, 2);
  f.AddPage(0, 10, 3);
  f.AddPage(0, 17, 2);
  f.AddPage(0, 5, 2);
  f.AddPage(1, 8191, 2);
  f.AddPage(1, 9, 2);
  EXPECT_EQ(f.PageCount(0, 2), 3);
  EXPECT_EQ(f.PageCount(1, 2), 2);
  EXPECT_EQ(f.Read(4096 + (32 + 2 - 1) * 2, 2), (Bytes{2, 0}));  // row 1, column 1
  EXPECT_EQ(f.PageCount(0, 3), 1);
  EXPECT_EQ(f.Read(PageOffset(0, 0) + 17, 1)[0], 2);
  EXPECT_EQ(f.Read(PageOffset(0, 0) + 10, 1)[0], 3);
  struct Case {
    int32_t number;
    int64_t offset;
  };
  const Case cases[] = {{-1, 0},
                        {0, 0},
                        {1, PageOffset(0, 5)},
                        {37, PageOffset(0, 5) + 36 * 221},
                        {38, PageOffset(0, 17)},
                        {40, 151994},
                        {111, PageOffset(0, 30) + 36 * 221},
                        {112, PageOffset(1, 9)},
                        {148, PageOffset(1, 9) + 36 * 221},
                        {149, PageOffset(1, 8191)},
                        {185, PageOffset(1, 8191) + 36 * 221},
                        {186, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(f.RecordOffset(2, 221, c.number), c.offset) << "record " << c.number;
  EXPECT_EQ(PageOffset(1, 9), (int64_t{1} << 26) + 12288 + 9 * 8192);
}

TEST(TevWriter, AppendRecordFillsPagesThenTakesNextFreePage) {
  TevFile f;
  f.AddPage(0, 1, 3);
  int32_t last = 0;
  for (int i = 0; i < 513; ++i) last = f.AppendIndexNode(i, -i, 0, 0);
  EXPECT_EQ(last, 513);
  EXPECT_EQ(f.PageCount(0, 10), 2);
  EXPECT_EQ(f.RecordOffset(10, 16, 1), PageOffset(0, 2));
  EXPECT_EQ(f.RecordOffset(10, 16, 513), PageOffset(0, 3));
  EXPECT_EQ(I32At(f.Read(f.RecordOffset(10, 16, 512), 16), 4), -511);
  const Bytes marr(106, 0xAB);
  EXPECT_EQ(f.AppendRecord(3, marr), 1);  // into the page given by hand
  EXPECT_EQ(f.Read(PageOffset(0, 1), 106), marr);
}

TEST(TevWriter, NameRecordLayoutAndPageEnds) {
  TevFile f;
  const int32_t a = f.AppendNameRec(-2, 300, 7, -1, "Bristol");
  const int32_t b = f.AppendINameRec(a, 0, 12, 200, "John /Smith/");
  EXPECT_EQ(a, PageOffset(0, 1));
  EXPECT_EQ(f.Read(PageOffset(0, 0) + 1, 1)[0], kNameTable);
  EXPECT_EQ(b, a + 13 + 7 + 1);
  const Bytes ra = f.Read(a, 21);
  EXPECT_EQ(I32At(ra, 0), -2);
  EXPECT_EQ(I32At(ra, 4), 300);
  EXPECT_EQ(I32At(ra, 8), 7);
  EXPECT_EQ(ra[12], 0xFF);
  EXPECT_EQ(std::string(ra.begin() + 13, ra.begin() + 20), "Bristol");
  EXPECT_EQ(ra[20], 0);
  const Bytes rb = f.Read(b, 29);
  EXPECT_EQ(I32At(rb, 0), a);
  EXPECT_EQ(I32At(rb, 8), 12);
  EXPECT_EQ(rb[12], 200);
  EXPECT_EQ(rb[13] | rb[14] << 8, 12);  // nTextLen
  EXPECT_EQ(std::string(rb.begin() + 15, rb.begin() + 27), "John /Smith/");
  EXPECT_EQ(rb[27], 0);
  // 30 records of 269 bytes end at 8119; a 73-byte record fills the page to
  // its last byte, and the next record starts a new name page.
  const std::string longest(255, 'x');
  for (int i = 0; i < 30; ++i) f.AppendNameRec(0, 0, 0, 2, longest);
  EXPECT_EQ(f.AppendNameRec(0, 0, 0, 2, std::string(59, 'y')), PageOffset(0, 1) + 8119);
  EXPECT_EQ(f.AppendNameRec(0, 0, 0, 2, ""), PageOffset(0, 2));
  EXPECT_EQ(f.PageCount(0, kNameTable), 2);
}

TEST(TevWriter, PatchRunsAcrossChunks) {
  TevFile f(1);
  Bytes bytes(8192 + 40);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  const int64_t at = PageOffset(0, 0) - 20;  // the fixed area's last bytes, then two pages
  f.Patch(at, bytes);
  EXPECT_EQ(f.Read(at, bytes.size()), bytes);
  EXPECT_EQ(f.Read(at - 1, 1), Bytes{0});
  EXPECT_EQ(f.Read(at + static_cast<int64_t>(bytes.size()), 1), Bytes{0});
}

TEST(TevWriter, Region30PageGivesSparseFile) {
  TevFile f(31);
  f.AddPage(30, 5, 2);
  f.PutRecord(2, 1, Bytes(221, 0x5A));
  TempDir dir;
  const std::string path = dir.File("sparse.tev");
  ASSERT_TRUE(f.Write(path));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 30 * (int64_t{1} << 26) + 12288 + 6 * 8192);
  EXPECT_EQ(st.st_size, f.FileSize());
  EXPECT_LT(static_cast<int64_t>(st.st_blocks) * 512, int64_t{1} << 20);
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  uint8_t map0 = 0, rec = 0;
  EXPECT_EQ(::pread(fd, &map0, 1, PageOffset(30, 0)), 1);
  EXPECT_EQ(::pread(fd, &rec, 1, PageOffset(30, 5) + 220), 1);
  ::close(fd);
  EXPECT_EQ(map0, 11);
  EXPECT_EQ(rec, 0x5A);
}

TEST(TevWriter, DamageHelpers) {
  TevFile f;
  f.SetPageCount(0, 2, -1);
  f.SetMapByte(0, 0, 12);
  EXPECT_EQ(f.PageCount(0, 2), -1);
  TempDir dir;
  const std::string path = dir.File("damage.tev");
  ASSERT_TRUE(f.Write(path));
  ASSERT_TRUE(OverwriteFile(path, 11, Bytes{'!'}));
  Bytes all = ReadWholeFile(path);
  ASSERT_EQ(all.size(), 12288u + 8192u);
  EXPECT_EQ(all[11], '!');
  EXPECT_EQ(all[4096 + 2], 0xFF);
  EXPECT_EQ(all[4097 + 2], 0xFF);
  EXPECT_EQ(all[12288], 12);
  ASSERT_TRUE(TruncateFile(path, 12287));
  EXPECT_EQ(ReadWholeFile(path).size(), 12287u);
  ::unlink(path.c_str());
  EXPECT_FALSE(OverwriteFile(path, 0, Bytes{1}));  // never creates the file
  EXPECT_TRUE(ReadWholeFile(path).empty());
  EXPECT_FALSE(f.Write(dir.File("no/such/dir.tev")));
}

TEST(TevWriter, MisuseThrows) {
  const std::function<void(TevFile&)> cases[] = {
      [](TevFile& f) { f.AddPage(1, 5, 2); },  // region without a map
      [](TevFile& f) { f.AddPage(0, 0, 2); },
      [](TevFile& f) { f.AddPage(0, 8192, 2); },
      [](TevFile& f) {
        f.AddPage(0, 3, 2);
        f.AddPage(0, 3, 4);
      },
      [](TevFile& f) { f.PutRecord(2, 1, Bytes(221, 0)); },
      [](TevFile& f) {
        f.AddPage(0, 3, 2);
        f.PutRecord(2, 38, Bytes(221, 0));
      },
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    TevFile f(1);
    EXPECT_THROW(cases[i](f), std::logic_error) << "case " << i;
  }
}

}  // namespace
