// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a reader of the fuzzer's bytes, the
// expansion of a compact description into a sparse database file, and a
// scratch folder for the files written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TevWriter.h"

namespace kinscope::fuzz {

// Takes values from the front of the input; past its end every value is 0
// and every run of bytes is empty, so any input is a whole description.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  size_t Left() const { return Empty() ? 0 : size_ - at_; }
  uint8_t U8() { return Empty() ? 0 : data_[at_++]; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() {
    return static_cast<int32_t>(static_cast<uint32_t>(U16()) | uint32_t{U16()} << 16);
  }
  // Up to `count` bytes, fewer when the input ends.
  std::vector<uint8_t> Bytes(size_t count);
  // A text of up to `max` bytes: a length byte, then the bytes.
  std::string Text(size_t max);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A file described by an input.
struct Described {
  tevwriter::TevFile file;
  std::vector<int32_t> name_offsets;  // name records placed, by file offset
  int64_t cut = -1;                   // the written file is cut to this size, unless -1
};

// Reads a file description: region maps (0 to 3), header fields, pages
// given to tables (1 to 33, page map byte and page-count entry), raw
// page-count entries and map bytes, bytes patched into pages, name records,
// and a cut of the file. Misuse of the writer that a description asks for
// is skipped.
Described Describe(Input& in);

// Writes `d` to the scratch file `name`; returns its path (empty on failure).
std::string WriteDescribed(const Described& d, const std::string& name);

// Path of `name` in this process's scratch folder (removed at exit).
std::string ScratchPath(const std::string& name);

// Ends the run with a report the fuzzer records as a crash.
[[noreturn]] void Fail(const char* what);

}  // namespace kinscope::fuzz
