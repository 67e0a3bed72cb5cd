// SPDX-License-Identifier: GPL-3.0-or-later
// Character-by-character collation of wide texts.
#include "UnicodeCompare.h"

namespace kinscope {
namespace {

int32_t Fold(int32_t c) {
  const int32_t low = c & 0xff;
  return low >= 'A' && low <= 'Z' ? low - 'A' + 'a' : low;
}

}  // namespace

const CUnicodeCompareDefault& CUnicodeCompareDefault::Instance() {
  static const CUnicodeCompareDefault instance;
  return instance;
}

int32_t CUnicodeCompareDefault::Compare(std::u16string_view a, std::u16string_view b,
                                        int exact) const {
  // One pass over both texts; b counts as ended from its first zero on.
  bool b_open = true;
  size_t i = 0;
  for (; i < a.size() && a[i] != 0; ++i) {
    int32_t rb = 0;
    if (b_open && i < b.size() && b[i] != 0) rb = b[i];
    else b_open = false;
    const int32_t ca = exact != 0 ? a[i] : Fold(a[i]);
    const int32_t cb = exact != 0 ? rb : Fold(rb);
    if (ca != cb) return ca - cb;
  }
  return 0 - (b_open && i < b.size() ? int32_t{b[i]} : 0);
}

}  // namespace kinscope
