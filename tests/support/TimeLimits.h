// SPDX-License-Identifier: GPL-3.0-or-later
// Scale of the time limits of the tests that bound how long a walk takes.
// The Windows build's tests run under Wine, where every file read costs a
// round trip more than on Linux (tens of microseconds); there the limits are
// this many times longer, still far below what a walk that never ends takes.
#pragma once

// Under AddressSanitizer every read is checked, and a walk takes a few times
// longer again.
#if defined(__SANITIZE_ADDRESS__)
#define KINSCOPE_TESTS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KINSCOPE_TESTS_SANITIZED 1
#endif
#endif

#ifdef _WIN32
constexpr double kTimeLimitScale = 30.0;
#elif defined(KINSCOPE_TESTS_SANITIZED)
constexpr double kTimeLimitScale = 4.0;
#else
constexpr double kTimeLimitScale = 1.0;
#endif
