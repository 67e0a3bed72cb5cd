// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: every date function on 12-byte values and day numbers taken
// from the input, 16 bytes a round: a stored date, then a 24-bit day number
// with its calendar byte and flags, and a time stamp.
#include <array>
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "TimeStamp.h"
#include "wtev5date.h"

using namespace kinscope;

namespace {

void CheckText(const TextBuffer& text) {
  if (text.Length() < 0 || text.Length() > text.Capacity()) fuzz::Fail("text length");
  if (std::strlen(text.Text()) != static_cast<size_t>(text.Length())) fuzz::Fail("text terminator");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  do {
    std::array<uint8_t, kDateSize> stored{};
    const std::vector<uint8_t> bytes = in.Bytes(kDateSize);
    std::copy(bytes.begin(), bytes.end(), stored.begin());
    const wtev5date date(stored.data());
    CheckText(date.DateText());
    CheckText(date.DateSortKey());
    CheckText(date.modifier());
    if (date.IsEmptyDate() != (DateByteSum(stored.data()) == 0))
      fuzz::Fail("empty date and byte sum");
    if (!date.IsValid() &&
        (date.day1() != 0 || date.year1() != 0 || date.modifier().Length() != 0)) {
      fuzz::Fail("an invalid date has numbers");
    }
    const DayMonthYear first = DayNumberToDate(stored.data() + 2);
    const DayMonthYear second = DayNumberToDate(stored.data() + 7);
    for (const DayMonthYear& d : {first, second}) {
      // Month 13 is day 365 of a year not taken as a leap year.
      if (d.month < 0 || d.month > 13 || d.day < 0 || d.day > 31)
        fuzz::Fail("day or month out of range");
    }
    const int32_t year = in.I32();
    IsLeapYear(year);
    MonthName(year);
    CheckText(ModifierText(stored[1]));
    TimeStampText(in.I32());
  } while (!in.Empty());
  return 0;
}
