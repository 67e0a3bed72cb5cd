// SPDX-License-Identifier: GPL-3.0-or-later
// A cache of the pages a whole-file operation reads, so that the records it
// reads one by one cost a read of their page once and a copy after that.
// A page written while it is held is dropped (Forget), never patched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "PlatformFile.h"

namespace kinscope {

class ReadCache {
 public:
  // Pages of 8192 bytes from file offset `base` on (the start of region 0,
  // so that no record runs over the end of a cached page); at most
  // `capacity` bytes of them are kept. Direct-mapped: page k of the file
  // takes slot k modulo the slot count, replacing the page held there.
  ReadCache(int64_t base, size_t capacity);

  // Reads up to `count` bytes at `offset` as platform::ReadAt does (fewer
  // only at the end of the file), through the cache from `base` on and
  // straight from the file before it. Each page is read whole, with one
  // bounded read of 8192 bytes, the first time it is asked for.
  size_t Read(platform::FileHandle file, int64_t offset, uint8_t* buffer, size_t count);

  // Drops every held page that bytes `offset` to offset + `count` touch, so
  // that the next read of them goes to the file: called for every write to
  // the file while the cache is on, whether or not the write succeeded.
  void Forget(int64_t offset, size_t count);

  // Bytes of pages held now.
  size_t HeldBytes() const { return held_ * kPage; }

 private:
  static constexpr size_t kPage = 8192;
  struct Slot {
    int64_t page = -1;                 // page number held, -1 for none
    size_t valid = 0;                  // bytes of it the file has
    std::unique_ptr<uint8_t[]> bytes;  // allocated on first use
  };
  int64_t base_;
  std::vector<Slot> slots_;
  size_t held_ = 0;
};

}  // namespace kinscope
