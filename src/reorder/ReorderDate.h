// SPDX-License-Identifier: GPL-3.0-or-later
// Dates as the identical-name re-ordering reads them. Unlike the windows,
// which report a date of an invalid type and go on, the re-ordering cannot
// sort by such a date: it reports it and ends the program.
#pragma once

#include <cstdint>

#include "wtev5date.h"

namespace kinscope {

// Exit status of the program after a date of an invalid type.
constexpr int kUnknownDateTypeStatus = 9;

// Decodes the 12 bytes at `stored`. A date type of 5 to 15 shows "Unknown
// date type" (title "Error") and ends the program with status 9.
wtev5date ReorderDate(const uint8_t* stored);

}  // namespace kinscope
