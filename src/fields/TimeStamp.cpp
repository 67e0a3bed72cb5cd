#include "TimeStamp.h"

#include <cstdio>
#include <ctime>

namespace kinscope {
namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

#ifdef _WIN32
// Days since 1970-01-01 as year, month (0 to 11) and day of the month.
void CivilFromDays(int64_t days, std::tm& out) {
  days += 719468;  // days from 0000-03-01 to 1970-01-01
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  out.tm_year = static_cast<int>(year - 1900);
  out.tm_mon = static_cast<int>(month - 1);
  out.tm_mday = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
}
#endif

// `t` broken down in the local time zone; false when it cannot be.
bool LocalParts(std::time_t t, std::tm& out) {
#ifdef _WIN32
  if (t >= 0) return localtime_s(&out, &t) == 0;
  // The Windows C library converts no time before 1970: count back from the
  // zone's standard offset, as the C library of Linux does in a zone that
  // kept one offset then.
  _tzset();
  const long west = _timezone;  // seconds west of UTC
  const int64_t local = static_cast<int64_t>(t) - west;
  const int64_t days = (local >= 0 ? local : local - 86399) / 86400;
  const int64_t in_day = local - days * 86400;
  out = std::tm{};
  CivilFromDays(days, out);
  out.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  out.tm_hour = static_cast<int>(in_day / 3600);
  out.tm_min = static_cast<int>(in_day / 60 % 60);
  out.tm_sec = static_cast<int>(in_day % 60);
  return true;
#else
  return localtime_r(&t, &out) != nullptr;
#endif
}

}  // namespace

std::string TimeStampText(int32_t seconds) {
  const std::time_t t = seconds;
  std::tm local{};
  if (!LocalParts(t, local)) return std::string();
  if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11) {
    return std::string();
  }
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %4d\n",
                              kWeekdays[local.tm_wday], kMonths[local.tm_mon], local.tm_mday,
                              local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
  if (n < 0 || static_cast<size_t>(n) >= sizeof text) return std::string();
  return std::string(text, static_cast<size_t>(n));
}

}  // namespace kinscope
