// SPDX-License-Identifier: GPL-3.0-or-later
// Time stamps of records as text: the same on Linux and Windows, before 1970
// too, where the Windows C library converts nothing.
#include <gtest/gtest.h>

#include "TimeStamp.h"
#include "UtcClock.h"

namespace {

TEST(TimeStamp, TextInUtc) {
  UseUtc();
  const struct {
    int32_t seconds;
    const char* text;
  } rows[] = {
      {0, "Thu Jan 01 00:00:00 1970\n"},          {-1, "Wed Dec 31 23:59:59 1969\n"},
      {INT32_MIN, "Fri Dec 13 20:45:52 1901\n"},  {INT32_MAX, "Tue Jan 19 03:14:07 2038\n"},
      {1299338537, "Sat Mar 05 15:22:17 2011\n"}, {951782400, "Tue Feb 29 00:00:00 2000\n"},
      {-946771200, "Mon Jan 01 00:00:00 1940\n"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(kinscope::TimeStampText(row.seconds), row.text) << row.seconds;
}

}  // namespace
