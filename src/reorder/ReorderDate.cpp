// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReorderDate.h"

#include <cstdlib>

#include "rdateRec.h"

namespace kinscope {

wtev5date ReorderDate(const uint8_t* stored) {
  wtev5date date(stored);
  if (!CheckDateType(date)) std::exit(kUnknownDateTypeStatus);
  return date;
}

}  // namespace kinscope
