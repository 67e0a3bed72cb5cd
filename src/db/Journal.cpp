// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "Coding.h"
#include "PlatformSeam.h"

namespace kinscope {
namespace {

constexpr char kMagic[8] = {'K', 'S', 'J', 'O', 'U', 'R', 'N', '1'};
constexpr size_t kSlotSize = 64;
constexpr size_t kSlotSummed = 40;
constexpr uint64_t kHeaderArea = 2 * kSlotSize;
constexpr size_t kRecordHead = 12;  // offset and length
constexpr size_t kRecordTail = 8;   // sum
constexpr uint64_t kFnvStart = 14695981039346656037ull;

uint64_t Fnv(uint64_t sum, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) sum = (sum ^ bytes[i]) * 1099511628211ull;
  return sum;
}

void EncodeU64(uint8_t* image, size_t offset, uint64_t value) {
  EncodeU32(image, offset, static_cast<uint32_t>(value));
  EncodeU32(image, offset + 4, static_cast<uint32_t>(value >> 32));
}

uint64_t DecodeU64(const uint8_t* image, size_t offset) {
  return DecodeU32(image, offset) | uint64_t{DecodeU32(image, offset + 4)} << 32;
}

struct Slot {
  uint32_t sequence = 0;
  uint32_t records = 0;
  int64_t db_size = 0;
  uint64_t end = 0;
  uint64_t sum = 0;
};

// The slot at `image` when its magic and sum hold.
bool ReadSlot(const uint8_t* image, Slot& slot) {
  if (std::memcmp(image, kMagic, sizeof kMagic) != 0) return false;
  if (DecodeU64(image, kSlotSummed) != Fnv(kFnvStart, image, kSlotSummed)) return false;
  slot.sequence = DecodeU32(image, 8);
  slot.records = DecodeU32(image, 12);
  slot.db_size = static_cast<int64_t>(DecodeU64(image, 16));
  slot.end = DecodeU64(image, 24);
  slot.sum = DecodeU64(image, 32);
  return slot.sequence > 0;
}

// Goes through the `records` records of the journal `file` that lie from
// the header area to `end`, checking each against its own sum, and hands
// each saved page to `each(offset, bytes, length)`, which returns false to
// stop. True when every record was read whole, held and was taken; `sum`
// then holds the running sum over them all, as the header counts it. One
// page is held at a time.
template <typename Each>
bool WalkRecords(platform::FileHandle file, uint64_t end, uint32_t records, uint64_t& sum,
                 Each&& each) {
  sum = kFnvStart;
  uint64_t at = kHeaderArea;
  uint8_t bytes[JournalWriter::kPage];
  for (uint32_t r = 0; r < records; ++r) {
    uint8_t head[kRecordHead];
    if (at + kRecordHead > end ||
        platform::ReadAt(file, static_cast<int64_t>(at), head, sizeof head) != sizeof head) {
      return false;
    }
    const uint32_t length = DecodeU32(head, 8);
    const auto offset = static_cast<int64_t>(DecodeU64(head, 0));
    if (length > JournalWriter::kPage || offset < 0 ||
        at + kRecordHead + length + kRecordTail > end) {
      return false;
    }
    uint8_t tail[kRecordTail];
    if (platform::ReadAt(file, static_cast<int64_t>(at + kRecordHead), bytes, length) != length ||
        platform::ReadAt(file, static_cast<int64_t>(at + kRecordHead + length), tail,
                         sizeof tail) != sizeof tail ||
        DecodeU64(tail, 0) != Fnv(Fnv(kFnvStart, head, sizeof head), bytes, length)) {
      return false;
    }
    sum = Fnv(Fnv(Fnv(sum, head, sizeof head), bytes, length), tail, sizeof tail);
    at += kRecordHead + length + kRecordTail;
    if (!each(offset, bytes, length)) return false;
  }
  return at == end;
}

// A journal found beside a database, checked; while it lasts, the journal
// file stays open when it is valid.
struct Reading {
  Reading() = default;
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;
  ~Reading() { platform::Close(file); }

  JournalState state = JournalState::kNone;
  platform::FileHandle file = platform::kNoFile;
  Slot slot;
};

void ReadJournal(const std::string& db_path, Reading& reading) {
  const std::string path = JournalPath(db_path);
  if (!platform::Exists(path)) return;
  reading.state = JournalState::kInvalid;
  const platform::FileHandle file = platform::OpenOwnFile(path);
  if (file == platform::kNoFile) return;
  const int64_t size = platform::FileSize(file);
  uint8_t area[kHeaderArea] = {};
  const size_t got = size < 0 ? 0 : platform::ReadAt(file, 0, area, sizeof area);
  Slot slots[2];
  const bool sound[2] = {got == sizeof area && ReadSlot(area, slots[0]),
                         got == sizeof area && ReadSlot(area + kSlotSize, slots[1])};
  if (!sound[0] && !sound[1]) {
    // The database is written only after a header is: a journal whose first
    // header (sequence 1, in the second slot) never landed whole, the first
    // slot still zero and the second zero or begun with our mark, was left
    // by a change that never wrote the database.
    const auto zero = [](uint8_t b) { return b == 0; };
    const uint8_t* second = area + kSlotSize;
    if (size >= 0 && std::all_of(static_cast<const uint8_t*>(area), second, zero) &&
        (std::all_of(second, second + sizeof kMagic, zero) ||
         std::memcmp(second, kMagic, sizeof kMagic) == 0)) {
      reading.state = JournalState::kUnfinished;
    }
    platform::Close(file);
    return;
  }
  const Slot& slot =
      !sound[1] || (sound[0] && slots[0].sequence > slots[1].sequence) ? slots[0] : slots[1];
  uint64_t sum = 0;
  if (slot.end >= kHeaderArea && slot.end <= static_cast<uint64_t>(size) &&
      WalkRecords(file, slot.end, slot.records, sum,
                  [](int64_t, const uint8_t*, size_t) { return true; }) &&
      sum == slot.sum) {
    reading.state = JournalState::kValid;
    reading.file = file;
    reading.slot = slot;
    return;
  }
  platform::Close(file);
}

}  // namespace

std::string JournalPath(const std::string& db_path) { return db_path + "-journal"; }

JournalState InspectJournal(const std::string& db_path) {
  Reading reading;
  ReadJournal(db_path, reading);
  return reading.state;
}

const char* JournalProblem(JournalState state) {
  switch (state) {
    case JournalState::kNone:
      return nullptr;
    case JournalState::kUnfinished:
      return "an unfinished journal: the file was not changed under it; opening the file for "
             "writing removes it";
    case JournalState::kValid:
      return "an interrupted change: opening the file for writing undoes it";
    case JournalState::kInvalid:
      break;
  }
  return "not a complete journal (damaged, a link or not yours): it is never applied";
}

JournalState RecoverJournal(platform::FileHandle db, const std::string& db_path, bool& failed) {
  failed = false;
  Reading reading;
  ReadJournal(db_path, reading);
  const std::string path = JournalPath(db_path);
  platform::FileSeam& seam = platform::Seam();
  if (reading.state == JournalState::kUnfinished) {
    if (seam.RemoveFile(path)) seam.SyncFolder(path);
  }
  if (reading.state != JournalState::kValid) return reading.state;
  // The journal was checked whole above; each page is checked again as it
  // is read back, one page at a time. Every page is saved once per change,
  // so the order of the write-backs does not matter.
  uint64_t sum = 0;
  failed = !WalkRecords(reading.file, reading.slot.end, reading.slot.records, sum,
                        [&](int64_t offset, const uint8_t* bytes, size_t length) {
                          return seam.WriteAt(db, offset, bytes, length) == length;
                        });
  platform::Close(reading.file);
  reading.file = platform::kNoFile;
  failed = failed || !seam.Sync(db) || !seam.RemoveFile(path) || !seam.SyncFolder(path);
  return reading.state;
}

JournalWriter::JournalWriter(std::string db_path)
    : db_path_(std::move(db_path)), path_(JournalPath(db_path_)) {}

JournalWriter::~JournalWriter() { platform::Close(journal_); }

bool JournalWriter::Create(platform::FileHandle db) {
  journal_ = platform::Seam().CreateNew(path_);
  if (journal_ == platform::kNoFile) return false;
  db_size_ = platform::FileSize(db);
  sequence_ = 0;
  records_ = 0;
  end_ = kHeaderArea;
  sum_ = kFnvStart;
  saved_.assign(db_size_ < 0 ? 0 : static_cast<size_t>(db_size_ / kPage + 1), false);
  return db_size_ >= 0;
}

bool JournalWriter::WriteSlot() {
  ++sequence_;
  uint8_t slot[kSlotSize] = {};
  std::memcpy(slot, kMagic, sizeof kMagic);
  EncodeU32(slot, 8, sequence_);
  EncodeU32(slot, 12, records_);
  EncodeU64(slot, 16, static_cast<uint64_t>(db_size_));
  EncodeU64(slot, 24, end_);
  EncodeU64(slot, 32, sum_);
  EncodeU64(slot, kSlotSummed, Fnv(kFnvStart, slot, kSlotSummed));
  const int64_t at = sequence_ % 2 == 1 ? int64_t{kSlotSize} : 0;
  return platform::Seam().WriteAt(journal_, at, slot, sizeof slot) == sizeof slot;
}

bool JournalWriter::Save(platform::FileHandle db, int64_t offset, size_t count) {
  if (failed_) return false;
  if (count == 0) return true;
  const bool first = !Active();
  if (first && !Create(db)) {
    failed_ = true;
    return false;
  }
  const int64_t last = offset + static_cast<int64_t>(count);
  if (offset < 0 || last > db_size_) {
    failed_ = true;
    return false;
  }
  std::vector<uint8_t> batch;
  uint64_t sum = sum_;
  // Pages count as saved, and may be written, once their header is durable.
  std::vector<size_t> fresh;
  uint8_t original[kPage];
  for (int64_t page = offset / kPage * kPage; page < last; page += kPage) {
    const auto index = static_cast<size_t>(page / kPage);
    if (saved_[index]) continue;
    const auto length = static_cast<size_t>(std::min(kPage, db_size_ - page));
    if (platform::ReadAt(db, page, original, length) != length) {
      failed_ = true;
      return false;
    }
    uint8_t head[kRecordHead];
    EncodeU64(head, 0, static_cast<uint64_t>(page));
    EncodeU32(head, 8, static_cast<uint32_t>(length));
    uint8_t tail[kRecordTail];
    EncodeU64(tail, 0, Fnv(Fnv(kFnvStart, head, sizeof head), original, length));
    batch.insert(batch.end(), head, head + sizeof head);
    batch.insert(batch.end(), original, original + length);
    batch.insert(batch.end(), tail, tail + sizeof tail);
    sum = Fnv(Fnv(Fnv(sum, head, sizeof head), original, length), tail, sizeof tail);
    fresh.push_back(index);
  }
  if (fresh.empty()) return true;
  const auto added = static_cast<uint32_t>(fresh.size());
  platform::FileSeam& seam = platform::Seam();
  // The records, then the header that counts them, each made durable before
  // the next step; the journal's own name is made durable before the
  // database is first written.
  const bool written = seam.WriteAt(journal_, static_cast<int64_t>(end_), batch.data(),
                                    batch.size()) == batch.size() &&
                       seam.Sync(journal_);
  if (written) {
    records_ += added;
    end_ += batch.size();
    sum_ = sum;
  }
  if (!written || !WriteSlot() || !seam.Sync(journal_) || (first && !seam.SyncFolder(path_))) {
    failed_ = true;
    return false;
  }
  for (size_t index : fresh) saved_[index] = true;
  return true;
}

bool JournalWriter::Finish() {
  platform::Close(journal_);
  journal_ = platform::kNoFile;
  std::vector<bool>().swap(saved_);
  failed_ = false;
  platform::FileSeam& seam = platform::Seam();
  return seam.RemoveFile(path_) && seam.SyncFolder(path_);
}

bool JournalWriter::Commit(platform::FileHandle db) {
  if (failed_) return false;
  if (!Active()) return true;
  return platform::Seam().Sync(db) && Finish();
}

bool JournalWriter::RollBack(platform::FileHandle db) {
  if (!Active()) {
    failed_ = false;
    return true;
  }
  // The saved pages are read back from the journal, as an open after a
  // crash would read them. A page that cannot be written back stops the
  // rollback: the journal then stays, and the next open applies it whole.
  platform::FileSeam& seam = platform::Seam();
  uint64_t sum = 0;
  const bool sound = WalkRecords(journal_, end_, records_, sum,
                                 [&](int64_t offset, const uint8_t* bytes, size_t length) {
                                   return seam.WriteAt(db, offset, bytes, length) == length;
                                 });
  return sound && seam.Sync(db) && Finish();
}

}  // namespace kinscope
