// SPDX-License-Identifier: GPL-3.0-or-later
// Text helpers of the dump commands.
#include "Cp1252.h"
#include "Dump.h"

namespace kinscope::dump {

std::string Latin1(const std::string& bytes) { return Cp1252ToUtf8(bytes); }

std::string Latin1(const uint8_t* text, size_t max) { return Cp1252ToUtf8(text, max); }

std::string Hex(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(' ');
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
  return out;
}

}  // namespace kinscope::dump
