// SPDX-License-Identifier: GPL-3.0-or-later
// Name texts split into parts and keys, the collation of keys, and keys
// compared with the names of individual's name records.
#include <gtest/gtest.h>

#include <string>

#include "NameKeys.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::WideText;

namespace {

WideText Parts(std::u16string_view text, size_t capacity) {
  WideText given = u"x", surname = u"x", suffix = u"x";
  kinscope::SplitName(text, given, capacity, surname, capacity, suffix, capacity);
  return given + u'|' + surname + u'|' + suffix;
}

WideText Key(std::u16string_view text, size_t capacity = kinscope::kNameKeyCapacity) {
  WideText key = u"stale";
  kinscope::MakeNameKey(text, key, capacity);
  return key;
}

TEST(NameKeysTest, PartsAndKeys) {
  struct Row {
    WideText text, parts, key;
  } rows[] = {
      {u"John /Smith/", u"John|Smith|", u"Smith, John"},
      {u"John Henry /Smith/ Jr.", u"John Henry|Smith|Jr.", u"Smith, John Henry Jr."},
      {u"/Smith/", u"|Smith|", u"Smith, "},
      {u"John", u"John||", u", John"},
      {u"J /Smith/ Jr", u"J|Smith|Jr", u"Smith, JJr"},
      {u"John /Smith", u"John||Smith", u", John Smith"},
      {u" John  / Smith / Jr ", u"John|Smith|Jr", u"Smith, John Jr"},
      {u" John ", u" John ||", u",  John "},
      {u"", u"||", u", "},
      {u"a/b/c/d", u"a|b/c|d", u"b/c, ad"},
      {u"Ann//x", u"Ann||x", u", Ann x"},
      {u"  /   /  ", u"||", u", "},
      {WideText(u"Jo /Ng/\0/x/", 11), u"Jo|Ng|", u"Ng, Jo"},  // ends at its zero
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    EXPECT_EQ(Parts(row.text, 512), row.parts);
    EXPECT_EQ(Key(row.text), row.key);
  }
  EXPECT_EQ(Parts(u"John /Smith/ Jr.", 3), u"Jo|Sm|J");  // " J" cut, then trimmed
  EXPECT_EQ(Parts(u"John", 0), u"||");
  EXPECT_EQ(Key(u"John /Smith/", 4), u"Smi");
  EXPECT_EQ(Key(u"John /Smith/", 0), u"");
  EXPECT_EQ(Key(WideText(600, u'a') + u"/S/"), u"S, " + WideText(508, u'a'));
}

TEST(NameKeysTest, Collation) {
  const auto& collation = kinscope::CUnicodeCompareDefault::Instance();
  EXPECT_EQ(&collation, &kinscope::CUnicodeCompareDefault::Instance());
  struct Row {
    WideText a, b;
    int exact;
    int32_t result;
  } rows[] = {
      {u"smith, john", u"SMITH, JOHN", 0, 0},
      {u"smith, john", u"SMITH, JOHN", 1, 's' - 'S'},
      {u"Smith, Jo", u"Smith, John", 0, -'h'},
      {u"Smith, John", u"Smith, Jo", 0, 'h'},
      {u"", u"", 0, 0},
      {u"", u"A", 0, -'A'},  // b as stored
      {u"\xFFC4", u"\xFFE4", 0, 0xC4 - 0xE4},
      {u"\xFFC4", u"z", 0, 0xC4 - 'z'},
      {u"[", u"a", 0, '[' - 'a'},
      {u"@", u"`", 0, '@' - '`'},
      {u"\u0141", u"a", 0, 0},
      {u"\xFFC4", u"a", 1, 0xFFC4 - 'a'},
      {WideText(u"ab\0c", 4), u"ab", 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    EXPECT_EQ(collation.Compare(row.a, row.b, row.exact), row.result);
  }
}

// Folded keys sort as the collation sorts the keys of record texts, whose
// characters are widened bytes: every pair of a set that meets each edge of
// the folding (A to Z against a to z and the characters beside them, bytes
// above 0x7F, a key that begins another, the empty key).
TEST(NameKeysTest, FoldedKeysSortAsTheCollation) {
  const WideText keys[] = {u"",
                           u", ",
                           u"Smith, John",
                           u"SMITH, JOHN",
                           u"smith, jo",
                           u"Smith, Johnny",
                           u"\xFFC4mith, J",
                           u"\xFFE4mith, J",
                           u"zz",
                           u"[",
                           u"@",
                           u"`",
                           u"a",
                           u"Z",
                           u"\xFFFF",
                           WideText(u"ab\0c", 4)};
  const auto& collation = kinscope::CUnicodeCompareDefault::Instance();
  const auto sign = [](int v) { return (v > 0) - (v < 0); };
  std::string fa, fb;
  for (const WideText& a : keys) {
    for (const WideText& b : keys) {
      kinscope::FoldNameKey(a, fa);
      kinscope::FoldNameKey(b, fb);
      EXPECT_EQ(sign(fa.compare(fb)), sign(collation.Compare(a, b, 0)))
          << std::string(fa) << " | " << std::string(fb);
    }
  }
}

TEST(NameKeysTest, RecordsReadCheckedAndCompared) {
  tevwriter::TevFile file(1);
  const int32_t start = file.AppendINameRec(0, 0, 1, 200, "John /\xC4mith/");
  const int32_t end = start + 4000;
  file.SetHeaderI32(kinscope::kHdrIndividBound, 10);
  file.SetHeaderI32(kinscope::kHdrNameAreaStart, start);
  file.SetHeaderI32(kinscope::kHdrNameAreaEnd, end);
  struct Row {
    int32_t next, previous, owner;
    int sound;
  } rows[] = {{start, end, 10, 1}, {0, 0, 1, 1},         {0, 0, 0, 0},        {0, 0, 11, 0},
              {0, 0, -1, 0},       {start - 1, 0, 1, 0}, {end + 1, 0, 1, 0},  {0, start - 1, 1, 0},
              {0, end + 1, 1, 0},  {-1, 0, 1, 0},        {0, INT32_MIN, 1, 0}};
  std::vector<int32_t> offsets;
  for (const Row& row : rows) {
    offsets.push_back(file.AppendINameRec(row.next, row.previous, row.owner, 1, "J /S/"));
  }
  TempDir dir;
  ASSERT_TRUE(file.Write(dir.File("db.tev")));
  kinscope::CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(dir.File("db.tev"), 1), 1);
  WideText text;
  uint8_t type = 0;
  ASSERT_EQ(kinscope::ReadINameText(db, text, type, start), 1);
  EXPECT_EQ(text, u"John /\xFFC4mith/");  // widened with sign extension
  EXPECT_EQ(type, 200);
  for (size_t i = 0; i < offsets.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(kinscope::ReadINameText(db, text, type, offsets[i]), rows[i].sound);
    EXPECT_EQ(text, rows[i].sound ? u"J /S/" : u"");
    EXPECT_EQ(kinscope::ReadINameText(db, text, type, offsets[i], kinscope::LinkCheck::kOff), 1);
    EXPECT_EQ(kinscope::CompareNameKey(db, u"s, j", offsets[i]), rows[i].sound ? 0 : -1);
  }
  const int32_t beyond = static_cast<int32_t>(file.FileSize());
  EXPECT_EQ(kinscope::CompareNameKey(db, u"\xFFC4mith, John", start), 0);
  EXPECT_EQ(kinscope::CompareNameKey(db, u"\xFFC4mith, Jo", start), 2);
  EXPECT_EQ(kinscope::CompareNameKey(db, u"zz", start), 2);  // 0xC4 sorts after z
  EXPECT_EQ(kinscope::CompareNameKey(db, u"\xFFC4mith, Johnny", start), 1);
  EXPECT_EQ(kinscope::CompareNameKey(db, u"", start), 1);
  EXPECT_EQ(kinscope::CompareNameKey(db, u"", 0), -1);  // the record is read first
  EXPECT_EQ(kinscope::CompareNameKey(db, u"S, J", beyond), -1);
}

}  // namespace
