// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of encoded dates, their display text and sort key.
#include "wtev5date.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace kinscope {
namespace {

constexpr const char* kModifiers[23] = {
    "",          "Abt",   "mAft",  "Bef",   "Est",   "Cal",   "Mod6",      "Mod7",
    "Mod8",      "DNS",   "Mod10", "Mod11", "Mod12", "Mod13", "Stillborn", "Mod15",
    "Uncleared", "Mod17", "Mod18", "Mod19", "Mod20", "Mod21", "Mod22"};

constexpr const char* kMonths[13] = {"",     "Jan ", "Feb ", "Mar ", "Apr ", "May ", "Jun ",
                                     "Jul ", "Aug ", "Sep ", "Oct ", "Nov ", "Dec "};

// Every year has a February of 28 days here; the leap day is handled apart.
constexpr int32_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Julian Day Numbers of 1 January 1101, 1201, ... 1901, and the end value.
// Up to 1401 they are Julian-calendar dates, from 1601 Gregorian; table A
// takes 1501 in the Gregorian calendar, table B in the Julian.
constexpr int32_t kCenturyA[10] = {2123199, 2159724, 2196249, 2232774, 2269289,
                                   2305814, 2342338, 2378862, 2415386, 2555904};
constexpr int32_t kCenturyB[10] = {2123199, 2159724, 2196249, 2232774, 2269299,
                                   2305814, 2342338, 2378862, 2415386, 2555904};

constexpr size_t kFirstPart = 2;
constexpr size_t kSecondPart = 7;
constexpr uint8_t kNoMonth = 0x40;
constexpr uint8_t kNoDay = 0x20;
constexpr int32_t kDaysPerBlock = 4 * 365 + 1;
constexpr int32_t kDaysPerCentury = 36525;

}  // namespace

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

const char* MonthName(int32_t month) { return month >= 0 && month <= 12 ? kMonths[month] : ""; }

TextBuffer ModifierText(uint8_t index) {
  if (index < std::size(kModifiers)) return TextBuffer(kModifiers[index]);
  TextBuffer text;
  text.Format("Mod%d", int32_t{index});
  return text;
}

DayMonthYear DayNumberToDate(const uint8_t* part) {
  DayMonthYear date;
  const uint8_t calendar = part[0];
  const uint8_t flags = part[1];
  const int32_t n = part[2] | (part[3] << 8) | (part[4] << 16);
  if (n == 0 || calendar > 2) return date;
  const int32_t* table = calendar == 2 ? kCenturyB : kCenturyA;
  const int32_t* found = std::upper_bound(table, table + 10, n);
  if (found == table + 10) return date;
  const auto i = static_cast<size_t>(found - table);

  int32_t r = n;
  int32_t year = 0;
  bool leap_day = false;
  if (n > 365) {
    if (i == 0) {
      int32_t start = table[0];
      year = 1101;
      while (n < start) {
        start -= kDaysPerCentury;
        year -= 100;
      }
      r = n - start;
    } else {
      year = 1101 + 100 * static_cast<int32_t>(i - 1);
      r = n - table[i - 1];
    }
    year += 4 * (r / kDaysPerBlock);
    r %= kDaysPerBlock;
    const int32_t k = std::min(r / 365, 3);  // the fourth year may hold 366 days
    year += k;
    r -= 365 * k;
    if (IsLeapYear(year)) {
      if (r == 59) leap_day = true;
      if (r > 59) --r;
    }
  }
  if (leap_day) {
    date.day = 29;
    date.month = 2;
  } else {
    int32_t month = 1;
    while (month <= 12 && kDaysInMonth[month - 1] <= r) r -= kDaysInMonth[month++ - 1];
    date.month = month;  // 13 only for day 365 of a year not taken as a leap year
    date.day = r + 1;
  }
  date.year = year;
  if ((flags & kNoMonth) != 0) date.month = 0;
  if ((flags & kNoDay) != 0) date.day = 0;
  return date;
}

wtev5date::wtev5date(const uint8_t* stored) {
  std::copy(stored, stored + kDateSize, stored_.begin());
  date_type_ = stored_[0] & 15;
  sub_type1_ = (stored_[0] >> 4) & 3;
  sub_type2_ = (stored_[0] >> 6) & 3;
  if (sub_type1_ == 2) return;
  if (date_type_ > 4) {
    valid_ = false;
    return;
  }
  if (date_type_ < 2) return;
  if (date_type_ >= 3) {
    const DayMonthYear second = DayNumberToDate(stored_.data() + kSecondPart);
    day2_ = second.day;
    month2_ = second.month;
    year2_ = second.year;
  }
  const DayMonthYear first = DayNumberToDate(stored_.data() + kFirstPart);
  day1_ = first.day;
  month1_ = first.month;
  year1_ = first.year;
  modifier_ = ModifierText(stored_[1]);
}

TextBuffer wtev5date::DateText() const {
  if (month1_ < 0 || month1_ > 12 || day1_ > 31 || month2_ < 0 || month2_ > 12) {
    return TextBuffer("Out of range month");
  }
  TextBuffer text("");
  TextBuffer number;
  if (day1_ != 0) text = text + number.Format("%d ", day1_);
  text = text + MonthName(month1_);
  if (year1_ != 0) text = text + number.Format("%d", year1_);
  if (year2_ != 0) {
    text = text + "/";
    if (day2_ != 0) text = text + number.Format("%d ", day2_);
    text = text + MonthName(month2_);
    text = text + number.Format("%d", year2_);
  }
  if (text.Length() > 0 && modifier_.Length() > 0) text = ' ' + text;
  return modifier_.Length() > 0 ? modifier_ + text : text;
}

TextBuffer wtev5date::DateSortKey() const {
  TextBuffer key;
  key.Format("%02d%02d%02d", year1_, month1_, day1_);
  return key;
}

bool wtev5date::IsEmptyDate() const {
  return std::all_of(stored_.begin(), stored_.end(), [](uint8_t b) { return b == 0; });
}

int32_t DateByteSum(const uint8_t* stored) {
  return std::accumulate(stored, stored + kDateSize, int32_t{0});
}

}  // namespace kinscope
