// SPDX-License-Identifier: GPL-3.0-or-later
#include "Journal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "Coding.h"
#include "PlatformSeam.h"

namespace kinscope {
namespace {

constexpr char kMagic[8] = {'K', 'S', 'J', 'O', 'U', 'R', 'N', '2'};
constexpr char kMagicV1[8] = {'K', 'S', 'J', 'O', 'U', 'R', 'N', '1'};
constexpr size_t kSlotSize = 64;
constexpr size_t kSlotSummed = 56;
constexpr size_t kSlotSummedV1 = 40;
constexpr uint64_t kHeaderArea = 2 * kSlotSize;
constexpr size_t kRecordHead = 12;  // offset and length
constexpr size_t kRecordTail = 8;   // sum
constexpr uint64_t kFnvStart = 14695981039346656037ull;
// The part of the database a journal is bound to: the header and the
// page-count table, three journal pages.
constexpr int64_t kBoundBytes = 12288;
constexpr size_t kBoundPages = static_cast<size_t>(kBoundBytes / JournalWriter::kPage);

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
  uint64_t fingerprint = 0;
  bool bound = false;  // whether it holds a fingerprint (the second layout)
};

using SlotImage = std::array<uint8_t, kSlotSize>;

SlotImage MakeSlot(const Slot& slot) {
  SlotImage image{};
  std::memcpy(image.data(), kMagic, sizeof kMagic);
  EncodeU32(image.data(), 8, slot.sequence);
  EncodeU32(image.data(), 12, slot.records);
  EncodeU64(image.data(), 16, static_cast<uint64_t>(slot.db_size));
  EncodeU64(image.data(), 24, slot.end);
  EncodeU64(image.data(), 32, slot.sum);
  EncodeU64(image.data(), 40, slot.fingerprint);
  EncodeU64(image.data(), kSlotSummed, Fnv(kFnvStart, image.data(), kSlotSummed));
  return image;
}

// The slot at `image` when its magic and sum hold.
bool ReadSlot(const uint8_t* image, Slot& slot) {
  size_t summed = 0;
  if (std::memcmp(image, kMagic, sizeof kMagic) == 0) {
    summed = kSlotSummed;
  } else if (std::memcmp(image, kMagicV1, sizeof kMagicV1) == 0) {
    summed = kSlotSummedV1;
  } else {
    return false;
  }
  if (DecodeU64(image, summed) != Fnv(kFnvStart, image, summed)) return false;
  slot.sequence = DecodeU32(image, 8);
  slot.records = DecodeU32(image, 12);
  slot.db_size = static_cast<int64_t>(DecodeU64(image, 16));
  slot.end = DecodeU64(image, 24);
  slot.sum = DecodeU64(image, 32);
  slot.bound = summed == kSlotSummed;
  slot.fingerprint = slot.bound ? DecodeU64(image, 40) : 0;
  return slot.sequence > 0;
}

// The fingerprint of a database's bound part, `length` bytes (at most
// kBoundBytes) read by `read(offset, buffer, count)`, which returns whether
// it read them all. False when a read fails.
template <typename Read>
bool Fingerprint(int64_t length, Read&& read, uint64_t& fingerprint) {
  fingerprint = kFnvStart;
  uint8_t page[JournalWriter::kPage];
  for (int64_t at = 0; at < length; at += JournalWriter::kPage) {
    const auto n = static_cast<size_t>(std::min(JournalWriter::kPage, length - at));
    if (!read(at, page, n)) return false;
    fingerprint = Fnv(fingerprint, page, n);
  }
  return true;
}

int64_t BoundLength(int64_t db_size) { return std::min(db_size, kBoundBytes); }

// One record of a journal, read and checked.
struct Record {
  int64_t offset = 0;  // in the database
  uint32_t length = 0;
  uint64_t bytes_at = 0;  // where its saved bytes lie in the journal
  uint64_t next = 0;      // where the next record begins
};

// Reads the record at `at` of the journal `file`, which must end by
// `limit`, into `record` and its saved bytes into `bytes`, and adds it to
// the running `sum`. False when it does not lie whole before `limit`, its
// sum fails, or it names bytes outside a database of `db_size` bytes.
bool ReadRecord(platform::FileHandle file, uint64_t at, uint64_t limit, int64_t db_size,
                uint8_t* bytes, Record& record, uint64_t& sum) {
  uint8_t head[kRecordHead];
  if (at + kRecordHead > limit ||
      platform::ReadAt(file, static_cast<int64_t>(at), head, sizeof head) != sizeof head) {
    return false;
  }
  record.length = DecodeU32(head, 8);
  record.offset = static_cast<int64_t>(DecodeU64(head, 0));
  if (record.length == 0 || record.length > JournalWriter::kPage || record.offset < 0 ||
      record.offset > db_size - int64_t{record.length} ||
      at + kRecordHead + record.length + kRecordTail > limit) {
    return false;
  }
  record.bytes_at = at + kRecordHead;
  uint8_t tail[kRecordTail];
  if (platform::ReadAt(file, static_cast<int64_t>(record.bytes_at), bytes, record.length) !=
          record.length ||
      platform::ReadAt(file, static_cast<int64_t>(record.bytes_at + record.length), tail,
                       sizeof tail) != sizeof tail ||
      DecodeU64(tail, 0) != Fnv(Fnv(kFnvStart, head, sizeof head), bytes, record.length)) {
    return false;
  }
  sum = Fnv(Fnv(Fnv(sum, head, sizeof head), bytes, record.length), tail, sizeof tail);
  record.next = record.bytes_at + record.length + kRecordTail;
  return true;
}

// The records of a journal that are applied: the `slot.records` ones up to
// the slot's end, then every whole one that holds after it. One page is
// held at a time.
struct Extent {
  uint32_t records = 0;  // records applied, the tail included
  uint64_t end = 0;      // where the last of them ends
};

// Walks the journal `file` (of `file_size` bytes) under `slot`, handing
// each record to be applied and its bytes to `each(record, bytes)`, which
// returns false to stop. The fault found, kNone when the slot's records all
// hold (the tail stops quietly at the first record that does not).
template <typename Each>
JournalFault WalkJournal(platform::FileHandle file, uint64_t file_size, const Slot& slot,
                         Extent& extent, Each&& each) {
  uint8_t bytes[JournalWriter::kPage];
  uint64_t sum = kFnvStart;
  uint64_t at = kHeaderArea;
  Record record;
  for (uint32_t r = 0; r < slot.records; ++r) {
    if (!ReadRecord(file, at, slot.end, slot.db_size, bytes, record, sum)) {
      return JournalFault::kRecordDamaged;
    }
    if (!each(record, bytes)) return JournalFault::kRecordDamaged;
    at = record.next;
  }
  if (at != slot.end || sum != slot.sum) return JournalFault::kRecordDamaged;
  extent.records = slot.records;
  while (ReadRecord(file, at, file_size, slot.db_size, bytes, record, sum)) {
    if (!each(record, bytes)) return JournalFault::kRecordDamaged;
    at = record.next;
    ++extent.records;
  }
  extent.end = at;
  return JournalFault::kNone;
}

// A journal found beside a database, checked; while it lasts, the journal
// file stays open when it is valid.
struct Reading {
  Reading() = default;
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;
  ~Reading() { platform::Close(file); }

  JournalReport report;
  platform::FileHandle file = platform::kNoFile;
  uint64_t file_size = 0;
  Slot slot;
  Extent extent;
};

void Refuse(Reading& reading, JournalFault fault) {
  reading.report.state = JournalState::kInvalid;
  reading.report.fault = fault;
  platform::Close(reading.file);
  reading.file = platform::kNoFile;
}

// Whether the database `db` is the one the journal was made for: its size,
// and the fingerprint of its bound part as it was (the journal's copy of a
// page where it holds one, the file's bytes elsewhere).
void CheckBinding(Reading& reading, platform::FileHandle db) {
  const Slot& slot = reading.slot;
  reading.report.recorded_size = slot.db_size;
  reading.report.file_size = platform::FileSize(db);
  if (reading.report.file_size != slot.db_size) {
    Refuse(reading, JournalFault::kOtherSize);
    return;
  }
  if (!slot.bound) return;
  // Where the journal holds the first copy of each bound page.
  uint64_t copies[kBoundPages] = {};
  Extent extent;
  WalkJournal(reading.file, reading.file_size, slot, extent, [&](const Record& r, const uint8_t*) {
    const auto page = static_cast<size_t>(r.offset / JournalWriter::kPage);
    if (r.offset < kBoundBytes && copies[page] == 0) copies[page] = r.bytes_at;
    return true;
  });
  uint64_t fingerprint = 0;
  const bool read = Fingerprint(
      BoundLength(slot.db_size),
      [&](int64_t at, uint8_t* buffer, size_t n) {
        const uint64_t copy = copies[static_cast<size_t>(at / JournalWriter::kPage)];
        const platform::FileHandle from = copy != 0 ? reading.file : db;
        const int64_t where = copy != 0 ? static_cast<int64_t>(copy) : at;
        return platform::ReadAt(from, where, buffer, n) == n;
      },
      fingerprint);
  if (!read || fingerprint != slot.fingerprint) Refuse(reading, JournalFault::kOtherFile);
}

void ReadJournal(const std::string& db_path, platform::FileHandle db, Reading& reading) {
  const std::string path = JournalPath(db_path);
  const platform::PathKind kind = platform::KindOfPath(path);
  if (kind == platform::PathKind::kNothing) return;
  if (kind == platform::PathKind::kLink) return Refuse(reading, JournalFault::kLink);
  if (kind != platform::PathKind::kRegular) return Refuse(reading, JournalFault::kNotRegular);
  reading.file = platform::OpenOwnFile(path);
  if (reading.file == platform::kNoFile) return Refuse(reading, JournalFault::kNotYours);
  const int64_t size = platform::FileSize(reading.file);
  reading.file_size = size < 0 ? 0 : static_cast<uint64_t>(size);
  uint8_t area[kHeaderArea] = {};
  const size_t got = size < 0 ? 0 : platform::ReadAt(reading.file, 0, area, sizeof area);
  Slot slots[2];
  const bool sound[2] = {got == sizeof area && ReadSlot(area, slots[0]),
                         got == sizeof area && ReadSlot(area + kSlotSize, slots[1])};
  if (!sound[0] && !sound[1]) {
    // The database is first written once the second header (in the first
    // slot) has landed, and a change ends by zeroing both: a journal whose
    // first slot is still zero, the second zero or begun with our mark, holds
    // nothing to undo.
    const auto zero = [](uint8_t b) { return b == 0; };
    const uint8_t* second = area + kSlotSize;
    const bool ours = size >= 0 && std::all_of(static_cast<const uint8_t*>(area), second, zero) &&
                      (std::all_of(second, second + sizeof kMagic, zero) ||
                       std::memcmp(second, kMagic, sizeof kMagic) == 0 ||
                       std::memcmp(second, kMagicV1, sizeof kMagicV1) == 0);
    if (!ours) return Refuse(reading, JournalFault::kHeaderDamaged);
    reading.report.state = JournalState::kUnfinished;
    platform::Close(reading.file);
    reading.file = platform::kNoFile;
    return;
  }
  const bool first = !sound[1] || (sound[0] && slots[0].sequence > slots[1].sequence);
  reading.slot = first ? slots[0] : slots[1];
  if (sound[0] && sound[1] &&
      (slots[0].db_size != slots[1].db_size || slots[0].bound != slots[1].bound ||
       slots[0].fingerprint != slots[1].fingerprint)) {
    return Refuse(reading, JournalFault::kHeadersDisagree);
  }
  if (reading.slot.end < kHeaderArea || reading.slot.end > reading.file_size) {
    return Refuse(reading, JournalFault::kCutShort);
  }
  const JournalFault fault =
      WalkJournal(reading.file, reading.file_size, reading.slot, reading.extent,
                  [](const Record&, const uint8_t*) { return true; });
  if (fault != JournalFault::kNone) return Refuse(reading, fault);
  // The binding, on the database given or, failing that, one opened here.
  platform::FileHandle own = platform::kNoFile;
  if (db == platform::kNoFile) db = own = platform::OpenOwnFile(db_path);
  if (db != platform::kNoFile) CheckBinding(reading, db);
  platform::Close(own);
  if (reading.report.state == JournalState::kInvalid) return;
  if (reading.extent.records == 0) {
    // Nothing was saved under it: nothing to undo.
    reading.report.state = JournalState::kUnfinished;
    platform::Close(reading.file);
    reading.file = platform::kNoFile;
    return;
  }
  reading.report.state = JournalState::kValid;
}

// Zeroes both header slots of the journal `file` and syncs it: from then on
// it counts for nothing.
bool Spend(platform::FileHandle file) {
  const uint8_t zeros[kHeaderArea] = {};
  platform::FileSeam& seam = platform::Seam();
  return seam.WriteAt(file, 0, zeros, sizeof zeros) == sizeof zeros && seam.Sync(file);
}

}  // namespace

std::string JournalPath(const std::string& db_path) { return db_path + "-journal"; }

JournalReport InspectJournal(const std::string& db_path, platform::FileHandle db) {
  Reading reading;
  ReadJournal(db_path, db, reading);
  return reading.report;
}

std::string JournalFaultText(const JournalReport& report) {
  switch (report.fault) {
    case JournalFault::kNone:
      break;
    case JournalFault::kLink:
      return "it is a symbolic link";
    case JournalFault::kNotRegular:
      return "it is not a regular file (a folder, a device or a pipe)";
    case JournalFault::kNotYours:
      return "it belongs to another user or cannot be read";
    case JournalFault::kHeaderDamaged:
      return "its header is damaged";
    case JournalFault::kHeadersDisagree:
      return "its two headers name different files";
    case JournalFault::kRecordDamaged:
      return "a page saved in it is damaged (it fails its checksum)";
    case JournalFault::kCutShort:
      return "it is cut short: pages its header counts are missing";
    case JournalFault::kOtherSize:
      return "it was made for a file of " + std::to_string(report.recorded_size) +
             " bytes, and this file has " + std::to_string(report.file_size);
    case JournalFault::kOtherFile:
      return "it was made for another file: this file's header and page-count table differ "
             "from those it recorded";
  }
  return std::string();
}

std::string JournalProblem(const JournalReport& report) {
  switch (report.state) {
    case JournalState::kNone:
      break;
    case JournalState::kUnfinished:
      return "an unfinished journal: the file was not changed under it; opening the file for "
             "writing removes it";
    case JournalState::kValid:
      return "an interrupted change: opening the file for writing undoes it";
    case JournalState::kInvalid:
      return "not applied, and nothing can be written to the file while it stands there: " +
             JournalFaultText(report);
  }
  return std::string();
}

RecoveryResult RecoverJournal(platform::FileHandle db, const std::string& db_path) {
  RecoveryResult result;
  Reading reading;
  ReadJournal(db_path, db, reading);
  result.report = reading.report;
  const std::string path = JournalPath(db_path);
  platform::FileSeam& seam = platform::Seam();
  if (reading.report.state == JournalState::kUnfinished) {
    if (seam.RemoveFile(path)) {
      seam.SyncFolder(path);
    } else {
      result.error = platform::LastError();
    }
  }
  if (reading.report.state != JournalState::kValid) return result;
  // The journal was checked whole above; each page is checked again as it
  // is read back, one page at a time. Every page is saved once per change,
  // so the order of the write-backs does not matter.
  Extent extent;
  const bool applied = WalkJournal(reading.file, reading.file_size, reading.slot, extent,
                                   [&](const Record& r, const uint8_t* bytes) {
                                     return seam.WriteAt(db, r.offset, bytes, r.length) == r.length;
                                   }) == JournalFault::kNone &&
                       extent.records == reading.extent.records && seam.Sync(db);
  platform::Close(reading.file);
  reading.file = platform::kNoFile;
  if (!applied) {
    result.recovery = Recovery::kFailed;
    result.error = platform::LastError();
    return result;
  }
  // Spent first, so that a journal that cannot be removed is never applied
  // again over later changes of the file.
  const platform::FileHandle journal = seam.OpenExisting(path, true);
  const bool spent = journal != platform::kNoFile && Spend(journal);
  if (!spent) result.error = platform::LastError();
  platform::Close(journal);
  if (seam.RemoveFile(path)) {
    seam.SyncFolder(path);
    result.recovery = Recovery::kUndone;
    result.error = 0;
  } else {
    if (spent) result.error = platform::LastError();
    result.recovery = Recovery::kUndoneLeft;
  }
  return result;
}

JournalWriter::JournalWriter(std::string db_path)
    : db_path_(std::move(db_path)), path_(JournalPath(db_path_)) {}

JournalWriter::~JournalWriter() { platform::Close(journal_); }

bool JournalWriter::Fail() {
  error_ = platform::LastError();
  failed_ = true;
  return false;
}

void JournalWriter::MarkFailed(int error) {
  error_ = error;
  failed_ = true;
}

bool JournalWriter::Create(platform::FileHandle db) {
  left_behind_ = false;
  journal_ = platform::Seam().CreateNew(path_);
  if (journal_ == platform::kNoFile) return Fail();
  db_size_ = platform::FileSize(db);
  if (db_size_ < 0) return Fail();
  const bool read = Fingerprint(
      BoundLength(db_size_),
      [db](int64_t at, uint8_t* buffer, size_t n) {
        return platform::ReadAt(db, at, buffer, n) == n;
      },
      fingerprint_);
  if (!read) return Fail();
  sequence_ = 0;
  records_ = 0;
  end_ = kHeaderArea;
  sum_ = kFnvStart;
  saved_.assign(static_cast<size_t>(db_size_ / kPage + 1), false);
  return true;
}

bool JournalWriter::WriteSlot() {
  ++sequence_;
  const SlotImage slot = MakeSlot({sequence_, records_, db_size_, end_, sum_, fingerprint_, true});
  const int64_t at = sequence_ % 2 == 1 ? int64_t{kSlotSize} : 0;
  return platform::Seam().WriteAt(journal_, at, slot.data(), slot.size()) == slot.size();
}

bool JournalWriter::Save(platform::FileHandle db, int64_t offset, size_t count) {
  if (failed_) return false;
  if (count == 0) return true;
  const bool first = !Active();
  if (first && !Create(db)) return false;
  const int64_t last = offset + static_cast<int64_t>(count);
  if (offset < 0 || last > db_size_) {
    platform::RememberError(0);
    return Fail();
  }
  std::vector<uint8_t> batch;
  uint64_t sum = sum_;
  if (first) {
    // The first header, counting nothing yet, goes with the first records:
    // from the second header on, both slots name the database.
    ++sequence_;
    const SlotImage slot = MakeSlot({sequence_, 0, db_size_, end_, sum_, fingerprint_, true});
    batch.assign(slot.begin(), slot.end());
  }
  // Pages count as saved, and may be written, once their header is durable.
  std::vector<size_t> fresh;
  uint8_t original[kPage];
  for (int64_t page = offset / kPage * kPage; page < last; page += kPage) {
    const auto index = static_cast<size_t>(page / kPage);
    if (saved_[index]) continue;
    const auto length = static_cast<size_t>(std::min(kPage, db_size_ - page));
    if (platform::ReadAt(db, page, original, length) != length) return Fail();
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
  const int64_t at = first ? int64_t{kSlotSize} : static_cast<int64_t>(end_);
  if (seam.WriteAt(journal_, at, batch.data(), batch.size()) != batch.size() ||
      !seam.Sync(journal_)) {
    return Fail();
  }
  records_ += added;
  end_ = static_cast<uint64_t>(at) + batch.size();
  sum_ = sum;
  if (!WriteSlot() || !seam.Sync(journal_) || (first && !seam.SyncFolder(path_))) return Fail();
  for (size_t index : fresh) saved_[index] = true;
  return true;
}

bool JournalWriter::Finish() {
  platform::FileSeam& seam = platform::Seam();
  const bool spent = Spend(journal_);
  if (!spent) Fail();
  platform::Close(journal_);
  journal_ = platform::kNoFile;
  std::vector<bool>().swap(saved_);
  failed_ = false;
  // A removal that does not reach the disk before a crash leaves a spent
  // journal, or one that undoes a change which had ended: either is sound.
  if (seam.RemoveFile(path_)) {
    seam.SyncFolder(path_);
    return true;
  }
  if (spent) error_ = platform::LastError();
  left_behind_ = true;
  return spent;
}

ChangeEnd JournalWriter::Commit(platform::FileHandle db) {
  if (failed_) return RollBack(db);
  if (!Active()) return ChangeEnd::kCommitted;
  if (!platform::Seam().Sync(db)) {
    Fail();
    return RollBack(db);
  }
  // A journal that could be neither spent nor removed still counts: the
  // file holds the whole change, synced, and the next open undoes it.
  if (Finish()) return ChangeEnd::kCommitted;
  return ChangeEnd::kLeft;
}

ChangeEnd JournalWriter::RollBack(platform::FileHandle db) {
  if (!Active()) {
    failed_ = false;
    return ChangeEnd::kUndone;
  }
  // The saved pages are read back from the journal, as an open after a
  // crash would read them. A page that cannot be written back stops the
  // rollback: the journal then stays, and the next open applies it whole.
  platform::FileSeam& seam = platform::Seam();
  Extent extent;
  const Slot slot{sequence_, records_, db_size_, end_, sum_, fingerprint_, true};
  const bool sound = WalkJournal(journal_, end_, slot, extent,
                                 [&](const Record& r, const uint8_t* bytes) {
                                   return seam.WriteAt(db, r.offset, bytes, r.length) == r.length;
                                 }) == JournalFault::kNone &&
                     seam.Sync(db);
  if (!sound) {
    Fail();
    platform::Close(journal_);
    journal_ = platform::kNoFile;
    std::vector<bool>().swap(saved_);
    return ChangeEnd::kLeft;
  }
  // Put back and synced: a journal that could not be spent nor removed
  // holds only what the file holds now.
  Finish();
  failed_ = false;
  return ChangeEnd::kUndone;
}

}  // namespace kinscope
