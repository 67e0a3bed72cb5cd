// SPDX-License-Identifier: GPL-3.0-or-later
// The collation of the individual index: wide texts compared character by
// character, either exactly or with the letters A to Z folded to a to z.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kinscope {

// Wide text: 16-bit characters. A text ends at its first zero character or at
// the end of the view, whichever comes first.
using WideText = std::u16string;

class CUnicodeCompareDefault {
 public:
  // The one instance the program shares, made on first use.
  static const CUnicodeCompareDefault& Instance();

  // Negative when `a` sorts before `b`, 0 when equal, positive when after.
  // `exact` non-zero compares the characters as unsigned 16-bit values. Zero
  // compares their low 8 bits with A to Z folded to a to z (no other letter is
  // folded); when `a` ends the result is 0 minus b's character as stored, so a
  // text sorts before every text it begins.
  int32_t Compare(std::u16string_view a, std::u16string_view b, int exact) const;
};

}  // namespace kinscope
