// SPDX-License-Identifier: GPL-3.0-or-later
// Reads and the one write of variable-length name records.
#include "NameRecords.h"

#include <cstring>
#include <limits>

#include "TEVDatabase.h"

namespace kinscope {
namespace {

// Length of the text at `text`, at most `max` bytes.
size_t TextLength(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  return end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
}

}  // namespace

int CTEVDatabase::LoadNameRec(int32_t offset, NameRecImage& buffer) {
  buffer.fill(0);
  size_t text = 0;
  if (!ReadNameRec(offset, buffer, text)) return 0;
  return static_cast<int>(text + kNameRecHead + 1);
}

bool CTEVDatabase::ReadNameRec(int32_t offset, NameRecImage& buffer, size_t& text) {
  if (offset < 1) return false;
  const size_t n = ReadAt(offset, buffer.data(), kNameRecRead);
  buffer[kNameRecRead - 1] = 0;
  if (n < kNameRecHead) return false;
  // The text ends at its zero byte, at the end of what was read, or before
  // the last byte of the buffer, whichever comes first.
  const size_t end = n < kNameRecRead - 1 ? n : kNameRecRead - 1;
  text = TextLength(buffer.data() + kNameRecHead, end - kNameRecHead);
  return true;
}

int CTEVDatabase::LoadINameRec(int32_t offset, INameRecImage& buffer) {
  buffer.fill(0);
  if (offset < 1) return 0;
  const size_t n = ReadAt(offset, buffer.data(), kINameRecRead);
  if (n < kINameRecHead) return 0;
  const size_t text = TextLength(buffer.data() + kINameRecHead, kINameTextMax);
  return static_cast<int>(text + kINameRecHead + 1);
}

std::string CTEVDatabase::NameRecText(int32_t offset) {
  NameRecImage buffer;  // only the bytes read are looked at
  size_t text = 0;
  if (!ReadNameRec(offset, buffer, text)) return std::string();
  return std::string(reinterpret_cast<const char*>(buffer.data() + kNameRecHead), text);
}

int CTEVDatabase::StoreINameText(int32_t offset, const INameRecImage& image) {
  if (read_only_) return 1;
  if (offset < 1) return 0;
  const size_t length = TextLength(image.data() + kINameRecHead, kINameTextMax);
  const int64_t at = int64_t{offset} + static_cast<int64_t>(kINameRecHead);
  size_t written = 0;
  // File offsets are 32-bit: a text that would end beyond them is not written.
  if (length > 0 && IsOpen() &&
      at + static_cast<int64_t>(length) <= std::numeric_limits<int32_t>::max()) {
    written = WriteAt(static_cast<int32_t>(at), image.data() + kINameRecHead,
                      static_cast<int32_t>(length)) == 1
                  ? length
                  : 0;
  }
  modified_ = true;
  return written >= 1 ? 1 : 0;
}

}  // namespace kinscope
