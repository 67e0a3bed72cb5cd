// SPDX-License-Identifier: GPL-3.0-or-later
// Time stamps of records: 32-bit seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstdint>
#include <string>

namespace kinscope {

// The time stamp `seconds` (taken as signed) in the local time zone, laid
// out as "Thu Jan 01 00:00:00 1970" followed by a line break: weekday and
// month by their three-letter names, the day always with two digits. Empty
// when the C library cannot convert the value.
std::string TimeStampText(int32_t seconds);

}  // namespace kinscope
