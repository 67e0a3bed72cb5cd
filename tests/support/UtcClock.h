// SPDX-License-Identifier: GPL-3.0-or-later
// Time stamps shown in UTC, so that a test reads the same texts on every
// machine whatever its time zone.
#pragma once

#include <cstdlib>
#include <ctime>

// Sets this process's time zone to UTC.
inline void UseUtc() {
#ifdef _WIN32
  _putenv_s("TZ", "UTC");
  _tzset();
#else
  ::setenv("TZ", "UTC", 1);
  ::tzset();
#endif
}
