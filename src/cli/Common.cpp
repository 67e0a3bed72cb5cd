// SPDX-License-Identifier: GPL-3.0-or-later
// Text helpers of the dump commands.
#include "Cp1252.h"
#include "Dump.h"

namespace kinscope::dump {

std::string Latin1(const std::string& bytes) { return Cp1252ToUtf8(bytes); }

std::string Latin1(const uint8_t* text, size_t max) { return Cp1252ToUtf8(text, max); }

size_t TextWidth(std::string_view utf8) {
  size_t width = 0;
  for (const char c : utf8) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return width;
}

}  // namespace kinscope::dump
