// SPDX-License-Identifier: GPL-3.0-or-later
// The 8-bit texts of a database file as Unicode, and back. The files come
// from a Windows program, so their texts are Windows-1252; the five bytes
// that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are taken as
// their Latin-1 characters (U+0081 and so on), both ways, so every byte has
// one character and every such character one byte. Every path that shows or
// takes a text of the file goes through here: the windows, the main
// window's list and Find box, kinscope-dump and the GEDCOM export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kinscope {

// The Unicode code point of the Windows-1252 byte `byte`.
char32_t Cp1252CodePoint(uint8_t byte);

// Appends the UTF-8 form of `code` (at most U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t code);

// Appends the bytes of `text`, all of them, as UTF-8 to `out`.
void AppendCp1252AsUtf8(std::string& out, std::string_view text);

// The bytes of `text`, all of them, as UTF-8.
std::string Cp1252ToUtf8(std::string_view text);

// The text at `text` up to its first zero byte or `max` bytes, as UTF-8.
std::string Cp1252ToUtf8(const uint8_t* text, size_t max);

// What Utf8ToCp1252 met that it could not encode.
constexpr char32_t kNotUtf8 = 0x110000;  // a byte sequence that is not UTF-8

// The Windows-1252 bytes of the UTF-8 text `utf8` into `out`. False when a
// character has no byte in Windows-1252, `missing` then that character, or
// when `utf8` is not UTF-8 (overlong forms and surrogates included),
// `missing` then kNotUtf8; `out` holds the bytes before it.
bool Utf8ToCp1252(std::string_view utf8, std::string& out, char32_t& missing);

// The one-line reason Utf8ToCp1252 failed on `missing`, for messages:
// "Ł" (U+0141) is not in Windows-1252, the code page of the file's texts: no
// text of the file can hold it
std::string Cp1252MissingText(char32_t missing);

// The folded form of a Windows-1252 text, for finding a name however it is
// typed: letters lose their case and their accents as Unicode decomposition
// takes them off (Ä, á and a all give "a"; Š gives "s"), and the letters that
// do not decompose are spelled as they are written without the special
// letter: Æ "ae", Œ "oe", ß "ss", Ø "o", Ð "d", Þ "th". Every other byte stays
// as it is. Appended to `out`.
void AppendCp1252Folded(std::string& out, std::string_view text);

}  // namespace kinscope
