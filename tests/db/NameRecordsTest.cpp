// SPDX-License-Identifier: GPL-3.0-or-later
// Reading name records and individual's name records by file offset, and
// the in-place rewrite of a name text.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Coding.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;
using tevwriter::Bytes;

namespace {

Bytes Head(size_t length, uint8_t fill) { return Bytes(length, fill); }

class NameRecordsTest : public ::testing::Test {
 protected:
  std::string Write(int64_t truncate_to = -1) {
    const std::string path = dir_.File("db.tev");
    EXPECT_TRUE(file_.Write(path));
    if (truncate_to >= 0) {
      EXPECT_TRUE(tevwriter::TruncateFile(path, truncate_to));
    }
    return path;
  }
  void Open(int mode = 1, int64_t truncate_to = -1) {
    ASSERT_EQ(db_.OpenDatabase(Write(truncate_to), mode), 1);
  }
  std::string INameText(const kinscope::INameRecImage& image) {
    return std::string(reinterpret_cast<const char*>(image.data() + 15));
  }

  TempDir dir_;
  tevwriter::TevFile file_{1};
  CTEVDatabase db_;
};

TEST_F(NameRecordsTest, LengthsAndTexts) {
  const int32_t place = file_.AppendNameRec(-7, 8, 9, -2, "Bristol, England");
  const int32_t empty = file_.AppendNameRec(0, 0, 0, 0, "");
  Bytes full = Head(13, 1);
  full.insert(full.end(), 300, 'x');  // no zero byte anywhere near
  const int32_t unterminated = file_.AppendRaw(full);
  const int32_t person = file_.AppendINameRec(1, 2, 3, 200, "John Henry /Whitcombe/ Jr.");
  const int32_t iempty = file_.AppendINameRec(0, 0, 0, 1, "");
  Bytes ifull = Head(15, 2);
  ifull.insert(ifull.end(), 300, 'y');
  const int32_t iunterminated = file_.AppendRaw(ifull);
  Open();

  kinscope::NameRecImage name{};
  EXPECT_EQ(db_.LoadNameRec(place, name), 16 + 14);
  EXPECT_EQ(kinscope::DecodeI32(name.data(), 0), -7);
  EXPECT_EQ(kinscope::DecodeI32(name.data(), 8), 9);
  EXPECT_EQ(kinscope::DecodeI8(name.data(), 12), -2);
  EXPECT_EQ(db_.NameRecText(place), "Bristol, England");
  EXPECT_EQ(db_.LoadNameRec(empty, name), 14);
  EXPECT_EQ(db_.NameRecText(empty), "");
  EXPECT_EQ(db_.LoadNameRec(unterminated, name), 269);
  EXPECT_EQ(db_.NameRecText(unterminated), std::string(255, 'x'));

  kinscope::INameRecImage iname{};
  EXPECT_EQ(db_.LoadINameRec(person, iname), 26 + 16);
  EXPECT_EQ(INameText(iname), "John Henry /Whitcombe/ Jr.");
  EXPECT_EQ(kinscope::DecodeU8(iname.data(), 12), 200);
  EXPECT_EQ(kinscope::DecodeI16(iname.data(), 13), 26);
  EXPECT_EQ(db_.LoadINameRec(iempty, iname), 16);
  EXPECT_EQ(db_.LoadINameRec(iunterminated, iname), 272);
  EXPECT_EQ(INameText(iname), std::string(256, 'y'));
}

TEST_F(NameRecordsTest, OffsetsThatLeadNowhere) {
  file_.AppendNameRec(0, 0, 0, 0, "somewhere");
  Open();
  const int64_t size = file_.FileSize();
  const int32_t offsets[] = {0,
                             -1,
                             INT32_MIN,
                             static_cast<int32_t>(size),
                             static_cast<int32_t>(size - 12),
                             INT32_MAX,
                             INT32_MAX - 5};
  for (int32_t offset : offsets) {
    SCOPED_TRACE(offset);
    kinscope::NameRecImage name{};
    name.fill(0xaa);
    EXPECT_EQ(db_.LoadNameRec(offset, name), 0);
    EXPECT_EQ(name[13], 0);
    EXPECT_EQ(db_.NameRecText(offset), "");
    kinscope::INameRecImage iname{};
    iname.fill(0xaa);
    EXPECT_EQ(db_.LoadINameRec(offset, iname), 0);
    EXPECT_EQ(iname[15], 0);
  }
}

TEST_F(NameRecordsTest, ShortReadsAtTheEndOfTheFile) {
  const int32_t at = file_.AppendNameRec(1, 2, 3, 4, "Gloucester");
  // Cut the file inside the text: what was read shows, and nothing stale.
  struct Case {
    int64_t keep;
    int name_result;
    std::string text;
  } cases[] = {{12, 0, ""}, {13, 14, ""}, {16, 17, "Glo"}, {30, 24, "Gloucester"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keep);
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(Write(at + c.keep), 1), 1);
    kinscope::NameRecImage name{};
    name.fill(0xaa);
    EXPECT_EQ(db.LoadNameRec(at, name), c.name_result);
    EXPECT_EQ(db.NameRecText(at), c.text);
  }
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(Write(at + 14), 1), 1);
  kinscope::INameRecImage iname{};
  EXPECT_EQ(db.LoadINameRec(at, iname), 0);  // 14 bytes: short of the 15-byte head
}

TEST_F(NameRecordsTest, StoreRewritesTheTextOnly) {
  const int32_t at = file_.AppendINameRec(5, 6, 7, 1, "Mary /Jones/");
  const int32_t after = file_.AppendNameRec(0, 0, 0, 0, "next record");
  const std::string path = Write();
  const Bytes before = tevwriter::ReadWholeFile(path);
  ASSERT_EQ(db_.OpenDatabase(path, 0), 1);

  kinscope::INameRecImage image{};
  ASSERT_EQ(db_.LoadINameRec(at, image), 12 + 16);
  image[0] = 0x55;      // a changed head is not written
  image[15 + 3] = 'z';  // Marz
  EXPECT_EQ(db_.StoreINameText(at, image), 1);
  EXPECT_TRUE(db_.IsModified());
  Bytes expected = before;
  expected[static_cast<size_t>(at) + 15 + 3] = 'z';
  EXPECT_EQ(tevwriter::ReadWholeFile(path), expected);
  EXPECT_EQ(db_.NameRecText(after), "next record");
}

TEST_F(NameRecordsTest, StoreEdgeCases) {
  const int32_t at = file_.AppendINameRec(0, 0, 1, 1, "Ann /Hale/");
  const std::string path = Write();
  const Bytes before = tevwriter::ReadWholeFile(path);
  kinscope::INameRecImage empty{};
  kinscope::INameRecImage text{};
  text[15] = 'Q';
  {
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path, 0), 1);
    EXPECT_EQ(db.StoreINameText(at, empty), 0);  // nothing to write, but marked
    EXPECT_TRUE(db.IsModified());
    EXPECT_EQ(db.StoreINameText(0, text), 0);
    EXPECT_EQ(db.StoreINameText(-3, text), 0);
    EXPECT_EQ(db.StoreINameText(INT32_MAX - 10, text), 0);  // past the 32-bit file range
  }
  EXPECT_EQ(tevwriter::ReadWholeFile(path), before);
  {
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path, 1), 1);
    EXPECT_EQ(db.StoreINameText(at, text), 1);
    EXPECT_EQ(db.StoreINameText(-3, text), 1);
    EXPECT_FALSE(db.IsModified());
    db.CloseDatabase();
  }
  EXPECT_EQ(tevwriter::ReadWholeFile(path), before);
}

}  // namespace
