// SPDX-License-Identifier: GPL-3.0-or-later
// wtev5date: a decoded 12-byte encoded date.
//
// Stored layout:
//   0     type byte: bits 0-3 date type, bits 4-5 first sub-type, bits 6-7
//         second sub-type
//   1     modifier: index into the modifier texts (date types 2 to 4)
//   2-6   first date part, 7-11 second date part, each:
//           0    calendar: 0 or 1 century table A, 2 century table B
//           1    flags: 0x40 no month given, 0x20 no day given
//           2-4  day number, unsigned 24-bit: 0 no date; 1 to 365 a day of a
//                year not given; above that a Julian Day Number
// Date types: 0 and 1 decode nothing; 2 one date; 3 and 4 two dates. Types 5
// to 15 are invalid. A first sub-type of 2 stops the decoding before the date
// type is looked at.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "TextBuffer.h"

namespace kinscope {

constexpr size_t kDateSize = 12;

class wtev5date {
 public:
  // Decodes the 12 bytes at `stored`. An invalid date type (5 to 15) leaves
  // every number 0 and the modifier empty, and IsValid() tells it.
  explicit wtev5date(const uint8_t* stored);

  // False when the date type is 5 to 15: the caller reports "Unknown date
  // type".
  bool IsValid() const { return valid_; }

  // The display text: day, month name and year of the first date, then "/"
  // and the second date when it has a year, the modifier in front; "Out of
  // range month" for a month outside 0 to 12 or a first day above 31.
  TextBuffer DateText() const;
  // The first date as "%02d%02d%02d" of year, month and day.
  TextBuffer DateSortKey() const;
  // True when all 12 stored bytes are zero.
  bool IsEmptyDate() const;

  uint8_t date_type() const { return date_type_; }
  const std::array<uint8_t, kDateSize>& stored() const { return stored_; }
  uint8_t sub_type1() const { return sub_type1_; }
  uint8_t sub_type2() const { return sub_type2_; }
  int32_t offset1() const { return offset1_; }
  int32_t offset2() const { return offset2_; }
  const TextBuffer& modifier() const { return modifier_; }
  int32_t day1() const { return day1_; }
  int32_t day2() const { return day2_; }
  int32_t month1() const { return month1_; }
  int32_t month2() const { return month2_; }
  int32_t year1() const { return year1_; }
  int32_t year2() const { return year2_; }

 private:
  bool valid_ = true;
  uint8_t date_type_ = 0;
  std::array<uint8_t, kDateSize> stored_{};
  uint8_t sub_type1_ = 0;
  uint8_t sub_type2_ = 0;
  int32_t offset1_ = 0;
  int32_t offset2_ = 0;
  TextBuffer modifier_;
  int32_t day1_ = 0, day2_ = 0, month1_ = 0, month2_ = 0, year1_ = 0, year2_ = 0;
};

// Day, month and year of the 5-byte date part at `part`; all 0 for no date
// (day number 0, at or above 2555904, or a calendar byte above 2). A day
// number up to 365 gives a day of a year not given (year 0).
struct DayMonthYear {
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;
};
DayMonthYear DayNumberToDate(const uint8_t* part);

// The Gregorian rule: divisible by 4, and not by 100 unless by 400.
bool IsLeapYear(int32_t year);

// The modifier text of modifier byte `index`: the table's entry, or "Mod%d"
// for a byte beyond the table.
TextBuffer ModifierText(uint8_t index);

// The month name of month 1 to 12 with its trailing blank; empty otherwise.
const char* MonthName(int32_t month);

// The 12 date bytes at `stored` added up as unsigned values; 0 when no date
// is stored. The windows show it on a date's button.
int32_t DateByteSum(const uint8_t* stored);

}  // namespace kinscope
