// SPDX-License-Identifier: GPL-3.0-or-later
// A field's value as text at the edges of each kind: the signedness of every
// width, characters of the Windows code page, a text that fills its field
// without a zero byte, an unknown date type, flags and raw bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FieldText.h"
#include "UtcClock.h"

using namespace kinscope;

namespace {

TEST(FieldText, ValuesByKind) {
  UseUtc();
  const struct {
    FieldSpec field;
    std::vector<uint8_t> bytes;
    const char* text;
  } rows[] = {
      {I8("i8", 0), {0x80}, "-128"},
      {U8("u8", 0), {0xff}, "255"},
      {I16("i16", 0), {0x00, 0x80}, "-32768"},
      {U16("u16", 0), {0xff, 0xff}, "65535"},
      {I32("i32", 0), {0x00, 0x00, 0x00, 0x80}, "-2147483648"},
      {Char("zero", 0), {0x00}, "0"},
      {Char("euro", 0), {0x80}, "-128 '\xe2\x82\xac'"},
      {Char("letter", 0), {'A'}, "65 'A'"},
      {Of("time", 0, 4, FieldKind::kTime), {0xff, 0xff, 0xff, 0x7f}, "Tue Jan 19 03:14:07 2038"},
      {Of("full", 0, 3, FieldKind::kText), {'a', 0xe9, 'z', 'X'}, "a\xc3\xa9z"},
      {Of("ended", 0, 3, FieldKind::kText), {'a', 0, 'c'}, "a"},
      {Of("date", 0, 12, FieldKind::kDate), std::vector<uint8_t>(12, 0x0f), "(invalid date type)"},
      {Of("flags", 0, 1, FieldKind::kFlags), {0x0a}, "0x0a"},
      {Of("bytes", 0, 2, FieldKind::kBytes), {1, 2}, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FieldValueText(row.field, row.bytes.data()), row.text) << row.field.name;
  }
}

TEST(FieldText, HexBytes) {
  const uint8_t bytes[] = {0x00, 0x0a, 0xff};
  EXPECT_EQ(HexBytes(bytes, 0), "");
  EXPECT_EQ(HexBytes(bytes, 3), "00 0a ff");
}

}  // namespace
