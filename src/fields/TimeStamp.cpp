// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimeStamp.h"

#include <cstdio>

#include "PlatformFile.h"

namespace kinscope {
namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string TimeStampText(int32_t seconds) {
  platform::LocalTime local{};
  if (!platform::LocalTimeOf(seconds, local)) return std::string();
  if (local.day_of_week > 6 || local.month < 1 || local.month > 12) return std::string();
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %4d\n",
                              kWeekdays[local.day_of_week], kMonths[local.month - 1], local.day,
                              local.hour, local.minute, local.second, local.year);
  if (n < 0 || static_cast<size_t>(n) >= sizeof text) return std::string();
  return std::string(text, static_cast<size_t>(n));
}

}  // namespace kinscope
