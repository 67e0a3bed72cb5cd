// SPDX-License-Identifier: GPL-3.0-or-later
// Variable-length name records, addressed by their absolute file offset.
//
// Name record:                    Individual's name record:
//   0  i32 less_ptr                  0  i32 nNext
//   4  i32 greater_ptr               4  i32 nPrevious
//   8  i32 parent_rec                8  i32 nOwnerId
//  12  i8  type                     12  u8  type
//  13  text, zero-terminated        13  i16 nTextLen
//                                   15  text, zero-terminated
// On disk a record ends with its text's zero byte; its stored length is the
// head length plus the text length plus 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kinscope {

constexpr size_t kNameRecHead = 13;
constexpr size_t kNameRecRead = 269;  // head and at most 255 characters and a zero byte
constexpr size_t kINameRecHead = 15;
constexpr size_t kINameRecRead = 271;  // head and up to 256 text bytes
constexpr size_t kINameTextMax = 256;

// A name record as read: 269 bytes, the last one always zero.
using NameRecImage = std::array<uint8_t, kNameRecRead>;
// An individual's name record as read: 271 bytes and one more that is
// always zero, so the text is always terminated.
using INameRecImage = std::array<uint8_t, kINameRecRead + 1>;

}  // namespace kinscope
