// SPDX-License-Identifier: GPL-3.0-or-later
// Name keys: how the individual index orders individuals' names.
//
// A name text holds the surname between two slashes: "John Henry /Smith/ Jr.".
// Its key is the surname, a comma and a blank, the given part, then the
// suffix ("Smith, John Henry Jr."), and keys are compared case-folded with
// CUnicodeCompareDefault. Record texts are widened to 16-bit characters byte
// by byte with sign extension (0x80 to 0xFF become 0xFF80 to 0xFFFF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "NameRecords.h"
#include "UnicodeCompare.h"

namespace kinscope {

class CTEVDatabase;

// Capacity, in characters and counting the terminator, of every name part
// and key the engine makes: a part or key holds at most 511 characters.
constexpr size_t kNameKeyCapacity = 512;

// Whether ReadINameText checks the record's links against the header.
enum class LinkCheck { kOn, kOff };

// Reads the individual's name record at `offset` and widens its text (up to
// 256 characters, ending at the first zero byte) into `text`, its type into
// `type`. With the link check, nOwnerId must lie from 1 to the individual
// bound and nPrevious and nNext must each be 0 or lie within the name area
// (header fields at 22, 70 and 74). Returns 1 on success; 0 when the record
// cannot be read or fails the check, `text` then empty and `type` 0.
int ReadINameText(CTEVDatabase& db, WideText& text, uint8_t& type, int32_t offset,
                  LinkCheck check = LinkCheck::kOn);

// Widens the text of an individual's name record as read (up to 256
// characters, ending at its first zero byte) into `text`, reusing its buffer.
void WidenINameText(const INameRecImage& image, WideText& text);

// Splits a name text into its given part (before the first "/"), surname
// (between the first and the last "/") and suffix (after the last "/"), each
// cut to its capacity - 1 characters and then trimmed of blanks. A text
// without a slash is all given part, cut but not trimmed.
void SplitName(std::u16string_view text, WideText& given, size_t given_capacity, WideText& surname,
               size_t surname_capacity, WideText& suffix, size_t suffix_capacity);

// Removes blanks (U+0020 only) from both ends of `text`.
void TrimBlanks(WideText& text);

// The key of a name text: surname, ", ", the given part, then the suffix, the
// suffix preceded by a blank only when the given part is longer than one
// character. Cut to `capacity` - 1 characters (empty for capacity 0). Made
// in `key`'s own buffer: nothing is allocated once it has grown.
void MakeNameKey(std::u16string_view text, WideText& key, size_t capacity);

// The key `key` in a compact form that sorts as the index sorts: one byte a
// character, its low 8 bits with A to Z folded to a to z, up to its first
// zero character. Compared as unsigned bytes (std::string's compare, a text
// before every text it begins), two folded keys are in the order that
// CUnicodeCompareDefault::Compare gives the keys they come from, case-folded,
// whenever no character of theirs has 8 low bits of zero: true of every key
// MakeNameKey makes of a record's text. Written into `out`'s own buffer.
void FoldNameKey(std::u16string_view key, std::string& out);

// Compares `key` with the key of the individual's name record at `offset`:
// 2 when `key` sorts before it, 0 when equal, 1 when after or when `key` is
// empty; -1 when the record cannot be read or, with `check` on, fails the
// link check (the record is read before `key` is looked at).
int32_t CompareNameKey(CTEVDatabase& db, std::u16string_view key, int32_t offset,
                       LinkCheck check = LinkCheck::kOn);

}  // namespace kinscope
