// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReorderDate.h"

namespace kinscope {

std::optional<wtev5date> ReorderDate(const uint8_t* stored) {
  wtev5date date(stored);
  if (!date.IsValid()) return std::nullopt;
  return date;
}

}  // namespace kinscope
