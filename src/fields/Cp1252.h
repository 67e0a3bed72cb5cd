// SPDX-License-Identifier: GPL-3.0-or-later
// The 8-bit texts of a database file as Unicode. The files come from a
// Windows program, so their texts are Windows-1252; the five bytes that code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are taken as their
// Latin-1 characters. The windows, kinscope-dump and the GEDCOM export all
// decode through here, so they show a text alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kinscope {

// The Unicode code point of the Windows-1252 byte `byte`.
char32_t Cp1252CodePoint(uint8_t byte);

// Appends the UTF-8 form of `code` (at most U+FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t code);

// The bytes of `text`, all of them, as UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

// The text at `text` up to its first zero byte or `max` bytes, as UTF-8.
std::string Cp1252ToUtf8(const uint8_t* text, size_t max);

}  // namespace kinscope
