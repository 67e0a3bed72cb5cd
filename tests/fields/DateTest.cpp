// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding encoded dates: day numbers, the two century tables, the leap-day
// step, flags, modifiers, the display text, the sort key and invalid types.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "wtev5date.h"

using kinscope::wtev5date;

namespace {

using Stored = std::array<uint8_t, 12>;

constexpr int32_t k1901 = 2415386;  // 1 January 1901

void PutPart(Stored& d, size_t at, uint8_t calendar, uint8_t flags, int32_t n) {
  d[at] = calendar;
  d[at + 1] = flags;
  d[at + 2] = static_cast<uint8_t>(n);
  d[at + 3] = static_cast<uint8_t>(n >> 8);
  d[at + 4] = static_cast<uint8_t>(n >> 16);
}

Stored Date(uint8_t type, uint8_t modifier, int32_t n1, uint8_t flags1 = 0, uint8_t cal1 = 0,
            int32_t n2 = 0, uint8_t flags2 = 0) {
  Stored d{};
  d[0] = type;
  d[1] = modifier;
  PutPart(d, 2, cal1, flags1, n1);
  PutPart(d, 7, 0, flags2, n2);
  return d;
}

struct TextCase {
  const char* what;
  Stored stored;
  const char* text;
};

TEST(DateTest, DisplayTexts) {
  const TextCase cases[] = {
      {"zero bytes", Stored{}, ""},
      {"first sub-type 2 stops", Date(0x22, 1, k1901), ""},
      {"type 1 decodes nothing", Date(1, 1, k1901), ""},
      {"1 Jan 1901", Date(2, 1, k1901), "Abt 1 Jan 1901"},
      {"1 Mar 1901", Date(2, 0, k1901 + 59), "1 Mar 1901"},
      {"leap day", Date(2, 0, k1901 + 3 * 365 + 59), "29 Feb 1904"},
      {"1 Mar of a leap year", Date(2, 0, k1901 + 3 * 365 + 60), "1 Mar 1904"},
      {"end of a block", Date(2, 0, k1901 + 1461 - 1), "31 Dec 1904"},
      {"next block", Date(2, 0, k1901 + 1461), "1 Jan 1905"},
      {"next block + 1", Date(2, 0, k1901 + 1461 + 1), "2 Jan 1905"},
      {"table A, 2269299", Date(2, 0, 2269299, 0, 0), "11 Jan 1501"},
      {"table A by calendar 1", Date(2, 0, 2269299, 0, 1), "11 Jan 1501"},
      {"table B, 2269299", Date(2, 0, 2269299, 0, 2), "1 Jan 1501"},
      {"table A, 2269289", Date(2, 0, 2269289, 0, 0), "1 Jan 1501"},
      {"calendar 3 is no date", Date(2, 0, k1901, 0, 3), ""},
      {"last day decoded", Date(2, 0, 2555904 - 1), "19 Sep 2285"},
      {"end value", Date(2, 0, 2555904), ""},
      {"largest 24-bit number", Date(2, 0, 0xffffff), ""},
      {"before the first century entry", Date(2, 0, 2000000), "14 Sep 763"},
      {"5 March 1899", Date(2, 0, 2414719), "5 Mar 1899"},
      {"day 31, no year", Date(2, 0, 31), "1 Feb "},
      {"day 1, no year", Date(2, 0, 1), "2 Jan "},
      {"day 365, no year", Date(2, 0, 365), "Out of range month"},
      {"no day", Date(2, 1, k1901, 0x20), "Abt Jan 1901"},
      {"no month", Date(2, 1, k1901, 0x40), "Abt 1 1901"},
      {"neither", Date(2, 1, k1901, 0x60), "Abt 1901"},
      {"other flag bits ignored", Date(2, 0, k1901, 0x9f), "1 Jan 1901"},
      {"no day on a leap day", Date(2, 0, k1901 + 3 * 365 + 59, 0x20), "Feb 1904"},
      {"stillborn, no date", Date(2, 14, 0), "Stillborn"},
      {"modifier past the table", Date(2, 23, k1901), "Mod23 1 Jan 1901"},
      {"modifier 255", Date(2, 255, 0), "Mod255"},
      {"two dates", Date(3, 0, k1901, 0, 0, k1901 + 365 + 32), "1 Jan 1901/2 Feb 1902"},
      {"two dates, type 4", Date(4, 3, k1901, 0x20, 0, k1901 + 365 + 32, 0x20),
       "Bef Jan 1901/Feb 1902"},
      {"type 4, empty second part", Date(4, 0, k1901), "1 Jan 1901"},
      {"second sub-type does not stop", Date(0xc2, 0, k1901), "1 Jan 1901"},
      {"second date out of range", Date(3, 0, k1901, 0, 0, 365), "Out of range month"},
  };
  for (const TextCase& c : cases) {
    const wtev5date date(c.stored.data());
    EXPECT_TRUE(date.IsValid()) << c.what;
    EXPECT_STREQ(date.DateText().Text(), c.text) << c.what;
  }
}

TEST(DateTest, FieldsOfADecodedDate) {
  const Stored stored = Date(0x93, 5, k1901 + 59, 0, 0, k1901 + 365, 0x20);
  const wtev5date date(stored.data());
  EXPECT_EQ(date.date_type(), 3);
  EXPECT_EQ(date.sub_type1(), 1);
  EXPECT_EQ(date.sub_type2(), 2);
  EXPECT_EQ(date.offset1(), 0);
  EXPECT_EQ(date.offset2(), 0);
  EXPECT_STREQ(date.modifier().Text(), "Cal");
  EXPECT_EQ(date.day1(), 1);
  EXPECT_EQ(date.month1(), 3);
  EXPECT_EQ(date.year1(), 1901);
  EXPECT_EQ(date.day2(), 0);
  EXPECT_EQ(date.month2(), 1);
  EXPECT_EQ(date.year2(), 1902);
  EXPECT_EQ(date.stored(), stored);
  // A copy keeps its own texts.
  const wtev5date copy = date;
  EXPECT_STREQ(copy.DateText().Text(), date.DateText().Text());
}

TEST(DateTest, SortKeysAndEmptiness) {
  const struct {
    Stored stored;
    const char* key;
    bool empty;
  } cases[] = {
      {Stored{}, "000000", true},
      {Date(2, 0, 2414719), "18990305", false},
      {Date(2, 0, k1901, 0x60), "19010000", false},
      {Date(2, 0, 2000000), "7630914", false},
      {Date(0, 0, 0, 0, 0, 0, 0x01), "000000", false},  // one stray bit is not empty
      {Date(0x22, 0, k1901), "000000", false},
  };
  for (const auto& c : cases) {
    const wtev5date date(c.stored.data());
    EXPECT_STREQ(date.DateSortKey().Text(), c.key);
    EXPECT_EQ(date.IsEmptyDate(), c.empty) << c.key;
  }
  // Keys compare as texts: a year below 1000 sorts after 1850.
  EXPECT_GT(wtev5date(Date(2, 0, 2086674 - 500).data()).DateSortKey().Compare("18500303"), 0);
}

TEST(DateTest, InvalidDateTypesAreReportedNotFatal) {
  for (uint8_t type = 5; type <= 15; ++type) {
    const wtev5date date(Date(type, 1, k1901, 0, 0, k1901).data());
    EXPECT_FALSE(date.IsValid()) << int{type};
    EXPECT_STREQ(date.DateText().Text(), "") << int{type};
    EXPECT_EQ(date.year1() + date.year2() + date.month1() + date.day1(), 0);
    EXPECT_EQ(date.date_type(), type);
  }
  // With first sub-type 2 the type is never looked at.
  EXPECT_TRUE(wtev5date(Date(0x25, 0, k1901).data()).IsValid());
}

TEST(DateTest, LeapYearsAndDayNumbers) {
  const std::pair<int32_t, bool> years[] = {{1904, true},  {1900, false}, {2000, true},
                                            {1500, false}, {1901, false}, {0, true}};
  for (const auto& [year, leap] : years) EXPECT_EQ(kinscope::IsLeapYear(year), leap) << year;
  // The Gregorian rule everywhere: 1500 counted by the Julian table gives
  // 31 December one day past December.
  const Stored last_day_1500 = Date(2, 0, 2269299 - 1, 0, 2);
  EXPECT_STREQ(wtev5date(last_day_1500.data()).DateText().Text(), "Out of range month");
  // The smallest day number that has a year still decodes without fault.
  const wtev5date early(Date(2, 0, 366).data());
  EXPECT_LT(early.year1(), 0);
}

// Any 12 bytes decode without fault to a short text, and only date types 5
// to 15 outside a first sub-type of 2 are invalid.
TEST(DateTest, ArbitraryBytesDecodeSafely) {
  std::mt19937 random(1901);
  for (int i = 0; i < 100000; ++i) {
    Stored stored{};
    for (uint8_t& b : stored) b = static_cast<uint8_t>(random());
    if (i % 2 == 0) stored[2] = stored[7] = static_cast<uint8_t>(random() % 3);  // real calendars
    const wtev5date date(stored.data());
    const bool expected_valid = ((stored[0] >> 4) & 3) == 2 || (stored[0] & 15) <= 4;
    ASSERT_EQ(date.IsValid(), expected_valid);
    ASSERT_LT(date.DateText().Length(), 48);
    ASSERT_GE(date.DateSortKey().Length(), 6);
  }
}

}  // namespace
