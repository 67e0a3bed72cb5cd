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

// One saved page as the journal holds it.
struct Record {
  int64_t offset;
  std::vector<uint8_t> bytes;
};

// A journal read whole and checked.
struct Reading {
  JournalState state = JournalState::kNone;
  std::vector<Record> records;
};

Reading ReadJournal(const std::string& db_path) {
  Reading reading;
  const std::string path = JournalPath(db_path);
  if (!platform::Exists(path)) return reading;
  reading.state = JournalState::kInvalid;
  const platform::FileHandle file = platform::OpenOwnFile(path);
  if (file == platform::kNoFile) return reading;
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
    return reading;
  }
  const Slot& slot = !sound[1] || (sound[0] && slots[0].sequence > slots[1].sequence) ? slots[0]
                                                                                      : slots[1];
  bool valid = slot.end >= kHeaderArea && slot.end <= static_cast<uint64_t>(size);
  uint64_t sum = kFnvStart;
  uint64_t at = kHeaderArea;
  for (uint32_t r = 0; valid && r < slot.records; ++r) {
    uint8_t head[kRecordHead];
    valid = at + kRecordHead <= slot.end &&
            platform::ReadAt(file, static_cast<int64_t>(at), head, sizeof head) == sizeof head;
    if (!valid) break;
    const uint32_t length = DecodeU32(head, 8);
    Record record{static_cast<int64_t>(DecodeU64(head, 0)), {}};
    valid = length <= JournalWriter::kPage && record.offset >= 0 &&
            at + kRecordHead + length + kRecordTail <= slot.end;
    if (!valid) break;
    record.bytes.resize(length);
    uint8_t tail[kRecordTail];
    valid = platform::ReadAt(file, static_cast<int64_t>(at + kRecordHead), record.bytes.data(),
                             length) == length &&
            platform::ReadAt(file, static_cast<int64_t>(at + kRecordHead + length), tail,
                             sizeof tail) == sizeof tail;
    if (!valid) break;
    uint64_t own = Fnv(kFnvStart, head, sizeof head);
    own = Fnv(own, record.bytes.data(), length);
    valid = DecodeU64(tail, 0) == own;
    sum = Fnv(Fnv(Fnv(sum, head, sizeof head), record.bytes.data(), length), tail, sizeof tail);
    at += kRecordHead + length + kRecordTail;
    reading.records.push_back(std::move(record));
  }
  platform::Close(file);
  if (valid && at == slot.end && sum == slot.sum) {
    reading.state = JournalState::kValid;
  } else {
    reading.records.clear();
  }
  return reading;
}

}  // namespace

std::string JournalPath(const std::string& db_path) { return db_path + "-journal"; }

JournalState InspectJournal(const std::string& db_path) { return ReadJournal(db_path).state; }

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
  const Reading reading = ReadJournal(db_path);
  const std::string path = JournalPath(db_path);
  platform::FileSeam& seam = platform::Seam();
  if (reading.state == JournalState::kUnfinished) {
    if (seam.RemoveFile(path)) seam.SyncFolder(path);
  }
  if (reading.state != JournalState::kValid) return reading.state;
  // Every page is saved once per change, so the order does not matter; last
  // to first all the same.
  for (auto r = reading.records.rbegin(); r != reading.records.rend() && !failed; ++r) {
    failed = seam.WriteAt(db, r->offset, r->bytes.data(), r->bytes.size()) != r->bytes.size();
  }
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
  saved_.clear();
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
  std::vector<std::pair<int64_t, std::vector<uint8_t>>> fresh;
  for (int64_t page = offset / kPage * kPage; page < last; page += kPage) {
    if (saved_.count(page) != 0) continue;
    const auto length = static_cast<size_t>(std::min(kPage, db_size_ - page));
    std::vector<uint8_t> original(length);
    if (platform::ReadAt(db, page, original.data(), length) != length) {
      failed_ = true;
      return false;
    }
    uint8_t head[kRecordHead];
    EncodeU64(head, 0, static_cast<uint64_t>(page));
    EncodeU32(head, 8, static_cast<uint32_t>(length));
    uint8_t tail[kRecordTail];
    EncodeU64(tail, 0, Fnv(Fnv(kFnvStart, head, sizeof head), original.data(), length));
    batch.insert(batch.end(), head, head + sizeof head);
    batch.insert(batch.end(), original.begin(), original.end());
    batch.insert(batch.end(), tail, tail + sizeof tail);
    sum = Fnv(Fnv(Fnv(sum, head, sizeof head), original.data(), length), tail, sizeof tail);
    fresh.emplace_back(page, std::move(original));
  }
  if (fresh.empty()) return true;
  const auto added = static_cast<uint32_t>(fresh.size());
  platform::FileSeam& seam = platform::Seam();
  // The records, then the header that counts them, each made durable before
  // the next step; the journal's own name is made durable before the
  // database is first written.
  const bool written =
      seam.WriteAt(journal_, static_cast<int64_t>(end_), batch.data(), batch.size()) ==
          batch.size() &&
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
  for (auto& [page, original] : fresh) saved_.emplace(page, std::move(original));
  return true;
}

bool JournalWriter::Finish() {
  platform::Close(journal_);
  journal_ = platform::kNoFile;
  saved_.clear();
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
  platform::FileSeam& seam = platform::Seam();
  bool sound = true;
  for (const auto& [page, bytes] : saved_) {
    sound = seam.WriteAt(db, page, bytes.data(), bytes.size()) == bytes.size() && sound;
  }
  return sound && seam.Sync(db) && Finish();
}

}  // namespace kinscope
