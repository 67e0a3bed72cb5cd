#include "TimeStamp.h"

#include <cstdio>
#include <ctime>

namespace kinscope {
namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string TimeStampText(int32_t seconds) {
  const std::time_t t = seconds;
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::string();
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
