// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252 to UTF-8.
#include "Cp1252.h"

#include <cstring>

namespace kinscope {
namespace {

// Bytes 0x80 to 0x9F; the undefined ones keep their Latin-1 value.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char32_t Cp1252CodePoint(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t{byte};
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) AppendUtf8(out, Cp1252CodePoint(static_cast<uint8_t>(ch)));
  return out;
}

std::string Cp1252ToUtf8(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  const size_t n =
      end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
  return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(text), n));
}

}  // namespace kinscope
