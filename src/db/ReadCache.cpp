// SPDX-License-Identifier: GPL-3.0-or-later
// A direct-mapped cache of 8192-byte pages of the file.
#include "ReadCache.h"

#include <algorithm>
#include <cstring>

namespace kinscope {

ReadCache::ReadCache(int64_t base, size_t capacity)
    : base_(base), slots_(std::max<size_t>(1, capacity / kPage)) {}

size_t ReadCache::Read(platform::FileHandle file, int64_t offset, uint8_t* buffer, size_t count) {
  if (offset < base_) {
    // The fixed areas before the pages are read as they are asked for.
    const auto before =
        static_cast<size_t>(std::min<int64_t>(base_ - offset, static_cast<int64_t>(count)));
    const size_t n = platform::ReadAt(file, offset, buffer, before);
    if (n < before || before == count) return n;
    return n + Read(file, base_, buffer + n, count - n);
  }
  size_t done = 0;
  while (done < count) {
    const int64_t at = offset + static_cast<int64_t>(done) - base_;
    const int64_t page = at / static_cast<int64_t>(kPage);
    const auto in = static_cast<size_t>(at % static_cast<int64_t>(kPage));
    Slot& slot = slots_[static_cast<size_t>(page) % slots_.size()];
    if (slot.page != page) {
      if (!slot.bytes) {
        slot.bytes.reset(new uint8_t[kPage]);
        ++held_;
      }
      slot.valid = platform::ReadAt(file, base_ + page * static_cast<int64_t>(kPage),
                                    slot.bytes.get(), kPage);
      slot.page = slot.valid > 0 ? page : -1;  // a failed read is tried again next time
    }
    if (in >= slot.valid) break;  // the end of the file
    const size_t take = std::min(count - done, slot.valid - in);
    std::memcpy(buffer + done, slot.bytes.get() + in, take);
    done += take;
    if (in + take < kPage) break;  // the file ends within this page
  }
  return done;
}

void ReadCache::Forget(int64_t offset, size_t count) {
  const int64_t end = offset + static_cast<int64_t>(count);
  if (count == 0 || end <= base_) return;
  const auto page_size = static_cast<int64_t>(kPage);
  const int64_t first = (std::max(offset, base_) - base_) / page_size;
  const int64_t last = (end - 1 - base_) / page_size;
  for (int64_t page = first; page <= last; ++page) {
    Slot& slot = slots_[static_cast<size_t>(page) % slots_.size()];
    if (slot.page == page) slot.page = -1;
  }
}

}  // namespace kinscope
