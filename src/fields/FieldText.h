// SPDX-License-Identifier: GPL-3.0-or-later
// A field's value as text, by the kind of the field (RecordLayouts.h), for
// every place that shows one: the byte view, kinscope-dump record and the
// record windows' labels. Texts are UTF-8, decoded as Cp1252.h says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "RecordLayouts.h"

namespace kinscope {

class CTEVDatabase;

// The value of an integer field (kInt): 1, 2 or 4 bytes, signed or not.
int64_t FieldInteger(const FieldSpec& field, const uint8_t* at);

// A character byte (kChar) as its character; empty for the zero byte.
std::string FieldCharText(uint8_t byte);

// A time stamp (kTime) as "Thu Jan 01 00:00:00 1970" in the local time
// zone, without a line break; empty when it cannot be converted.
std::string FieldTimeText(int32_t seconds);

// The display text of the 12-byte encoded date at `at` (kDate), as its
// decoding gives it whether or not its date type is known.
std::string FieldDateText(const uint8_t* at);

// A field's value on one line, by its kind: an integer in decimal; a
// character as its number and, unless zero, itself ("65 'A'"); a time stamp;
// a text; a date, "(invalid date type)" when its type is unknown; flags as
// "0x" and two hexadecimal digits. Empty for embedded events and ordinances
// (shown by their own fields) and for bytes taken as they are.
std::string FieldValueText(const FieldSpec& field, const uint8_t* at);

// Bytes as lower-case hexadecimal pairs joined by blanks: "0a ff 00".
std::string HexBytes(const uint8_t* bytes, size_t count);

// The birth date of individual `rin` of `db`, as a list of names shows it
// beside each name; empty when the individual cannot be read.
std::string BirthDateText(CTEVDatabase& db, int32_t rin);

}  // namespace kinscope
