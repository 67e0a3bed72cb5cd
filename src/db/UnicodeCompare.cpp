// Character-by-character collation of wide texts.
#include "UnicodeCompare.h"

namespace kinscope {
namespace {

// The text up to its first zero character.
std::u16string_view Terminated(std::u16string_view text) {
  return text.substr(0, text.find(u'\0'));
}

// Character `i` of a terminated text; 0 at and beyond its end.
int32_t At(std::u16string_view text, size_t i) { return i < text.size() ? text[i] : 0; }

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
  a = Terminated(a);
  b = Terminated(b);
  for (size_t i = 0; i < a.size(); ++i) {
    const int32_t ca = exact != 0 ? At(a, i) : Fold(At(a, i));
    const int32_t cb = exact != 0 ? At(b, i) : Fold(At(b, i));
    if (ca != cb) return ca - cb;
  }
  return 0 - At(b, a.size());
}

}  // namespace kinscope
