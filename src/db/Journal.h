// SPDX-License-Identifier: GPL-3.0-or-later
// The rollback journal: how a change to a database file survives a crash.
//
// Before a page of the database (4096 bytes, the last one shorter) is first
// overwritten in a change, its original bytes are appended to the journal
// beside the file, "FILE-journal", and the journal is synced; then one of
// the journal's two header slots is rewritten to count the new records and
// synced again. Only then is the database written. A change ends (committed
// or rolled back) by syncing the database, zeroing both header slots and
// syncing the journal -- from then on it counts for nothing -- and removing
// it. A crash at any point therefore leaves either no journal that counts
// (the change is whole, or was never begun) or one that holds the original
// bytes of every page written so far, which the next writable open puts
// back.
//
// Journal layout (little-endian):
//   0    two header slots of 64 bytes: "KSJOURN2", sequence (u32), record
//        count (u32), the database's size (i64), end of the records (u64),
//        running sum of the records (u64), fingerprint of the database's
//        first 12,288 bytes (header and page-count table) as they were when
//        the change began (u64), 8 zero bytes, sum of the slot's first 56
//        bytes (u64). The slot with the higher sequence whose sum holds is
//        the header; the other stays intact while one is rewritten, so a
//        torn header write leaves the previous one in force. The first write
//        of a change puts sequence 1 (no records) into the second slot
//        together with the first records; sequence 2 then goes into the
//        first slot, so from the first write of the database on both slots
//        hold the database's size and fingerprint.
//   128  records: offset (i64), length (u32), the original bytes, sum (u64).
// Journals of the first layout ("KSJOURN1": no fingerprint, the slot's sum
// over its first 40 bytes at 40) are read too, bound by size alone.
//
// When a journal counts, and how much of it is applied:
// - It belongs to the database beside it: the database has the size the
//   journal recorded, and its first 12,288 bytes as they were (the journal's
//   saved copy where it holds one, the file's bytes elsewhere) give the
//   recorded fingerprint. A journal made for another file is never applied.
// - It is applied whole or not at all. Every record up to the newest sound
//   slot's end must hold, or the journal is invalid. Records after that end
//   are the batch whose header was being written, or whose newer slot was
//   damaged afterwards: each one that holds is applied too (its pages may
//   already be written, and putting back a page's own original bytes is
//   harmless when they are not). So a damaged newest slot never makes
//   recovery fall back to an older slot while pages it counted stay written.
// - With no sound slot the database was never written under the journal
//   (its first write waits for the second slot), or the change has ended:
//   nothing is applied.
//
// Memory: a change keeps a bit per page of the file; the original bytes are
// only in the journal. Applying a journal, at an open or in a rollback,
// reads it one record at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PlatformFile.h"

namespace kinscope {

// The journal's path for the database at `db_path`: the path and "-journal".
std::string JournalPath(const std::string& db_path);

enum class JournalState {
  kNone,        // nothing stands beside the database under the journal's name
  kUnfinished,  // a journal that holds nothing to undo (never begun, or its
                // change ended): a writable open removes it
  kValid,       // an interrupted change: a writable open undoes it
  kInvalid,     // a file that is no journal of this database (damaged, torn,
                // made for another file, a link, not a regular file or not
                // the user's): never applied, never removed
};

// Why a journal is invalid.
enum class JournalFault {
  kNone,
  kLink,             // a symbolic link
  kNotRegular,       // a folder, a device or a pipe
  kNotYours,         // another user's file, or one that cannot be read
  kHeaderDamaged,    // neither header slot holds
  kHeadersDisagree,  // the two slots name different files
  kRecordDamaged,    // a record its header counts fails its sum or lies outside the file
  kCutShort,         // records its header counts are missing
  kOtherSize,        // made for a file of another size
  kOtherFile,        // made for a file whose header and page-count table differ
};

// What stands beside a database under the journal's name.
struct JournalReport {
  JournalState state = JournalState::kNone;
  JournalFault fault = JournalFault::kNone;
  int64_t recorded_size = -1;  // the size the journal recorded (kOtherSize)
  int64_t file_size = -1;      // the database's size (kOtherSize)
};

// What stands beside the database at `db_path`. Reads only. The binding to
// the database is checked on `db` when given; otherwise the database is
// opened for reading without a lock (and, when that fails, only the
// journal's own soundness is checked).
JournalReport InspectJournal(const std::string& db_path,
                             platform::FileHandle db = platform::kNoFile);

// Why a journal in `report` is not applied, in words for the user ("it is a
// symbolic link", ...); empty unless it is invalid.
std::string JournalFaultText(const JournalReport& report);

// What a journal in `report` means for the database beside it, in words for
// the user; empty for kNone.
std::string JournalProblem(const JournalReport& report);

// How a writable open dealt with a journal.
enum class Recovery {
  kNothing,     // no journal counted: nothing was written (an unfinished one is removed)
  kUndone,      // the interrupted change was undone and the journal removed
  kUndoneLeft,  // undone, and the spent journal could not be removed: it stands in
                // the way of the next change (`error` tells why)
  kFailed,      // a valid journal could not be applied whole, or could not be
                // spent afterwards: it stays for the next open (`error` tells why)
};

struct RecoveryResult {
  JournalReport report;
  Recovery recovery = Recovery::kNothing;
  int error = 0;  // platform::LastError() of the step that failed (also the removal
                  // of an unfinished journal)
};

// On a database open for writing (`db`, at `db_path`, held exclusively):
// puts back the bytes of a valid journal, syncs the database and spends and
// removes the journal; removes an unfinished one; leaves an invalid one
// alone.
RecoveryResult RecoverJournal(platform::FileHandle db, const std::string& db_path);

// How a change ended.
enum class ChangeEnd {
  kCommitted,  // the change is whole in the file and its journal counts no more
  kUndone,     // the file is as it was before the change and its journal counts no more
  kLeft,       // the file could not be put back: the journal stays, and the next
               // writable open undoes the change
};

// The journal of one change, written as the change goes.
class JournalWriter {
 public:
  static constexpr int64_t kPage = 4096;

  explicit JournalWriter(std::string db_path);
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Saves, before they are overwritten, the original bytes of every page of
  // the database `db` from `offset` to offset + `count` that this change has
  // not saved yet, creating the journal on the first call of a change, and
  // makes them durable. Requires the range to lie within the database as it
  // was when the change began. False when the journal cannot be created or
  // written (one standing there already, a full disk, an error): the change
  // has then failed, and every later call fails until it ends. Error() then
  // tells why.
  bool Save(platform::FileHandle db, int64_t offset, size_t count);

  // Ends a change that did not fail: syncs the database and spends and
  // removes the journal. kCommitted also when nothing was written. When the
  // sync fails or the journal cannot be spent, the change is rolled back
  // (kUndone or kLeft).
  ChangeEnd Commit(platform::FileHandle db);

  // Ends a change by writing every saved page back, syncing the database and
  // spending and removing the journal. kUndone on success (also when nothing
  // was written); kLeft when a write or the sync failed, the journal then
  // staying for the next open to apply.
  ChangeEnd RollBack(platform::FileHandle db);

  // Marks the change failed: a write to the database went wrong after its
  // pages were saved. `error` is the platform's code for it.
  void MarkFailed(int error);
  // Whether the change has failed (Save returned false or MarkFailed).
  bool Failed() const { return failed_; }
  // The platform's error code of the step that failed last: a failed Save,
  // write, sync or removal; 0 when none did.
  int Error() const { return error_; }
  // Whether a journal stands for the change.
  bool Active() const { return journal_ != platform::kNoFile; }
  // Whether the last change ended with its spent journal still standing
  // (it could not be removed; Error() tells why).
  bool LeftBehind() const { return left_behind_; }

 private:
  bool Create(platform::FileHandle db);
  bool WriteSlot();
  // Remembers the platform's last error and returns false.
  bool Fail();
  // Spends the journal (both slots zeroed and synced) and removes it. False
  // when it could not be spent: the journal then stays open and valid. When
  // it was spent but not removed, LeftBehind() is set.
  bool Finish();

  std::string db_path_;
  std::string path_;
  platform::FileHandle journal_ = platform::kNoFile;
  bool failed_ = false;
  bool left_behind_ = false;
  int error_ = 0;
  int64_t db_size_ = 0;
  uint64_t fingerprint_ = 0;
  uint32_t sequence_ = 0;
  uint32_t records_ = 0;
  uint64_t end_ = 0;
  uint64_t sum_ = 0;
  // A bit per journal page of the database as it was when the change began:
  // whether its original bytes are in the journal. The bytes themselves are
  // only in the journal, from which a rollback reads them back.
  std::vector<bool> saved_;
};

}  // namespace kinscope
