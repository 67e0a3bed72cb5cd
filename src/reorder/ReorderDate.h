// SPDX-License-Identifier: GPL-3.0-or-later
// Dates as the identical-name re-ordering reads them. Unlike the windows,
// which report a date of an invalid type and go on, the re-ordering cannot
// sort by such a date: it stops with "Unknown date type" and the program
// ends with status 9.
#pragma once

#include <cstdint>
#include <optional>

#include "wtev5date.h"

namespace kinscope {

// Exit status of the program after a date of an invalid type.
constexpr int kUnknownDateTypeStatus = 9;

// Decodes the 12 bytes at `stored`; nothing for a date type of 5 to 15.
std::optional<wtev5date> ReorderDate(const uint8_t* stored);

}  // namespace kinscope
