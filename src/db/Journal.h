// SPDX-License-Identifier: GPL-3.0-or-later
// The rollback journal: how a change to a database file survives a crash.
//
// Before a page of the database (4096 bytes, the last one shorter) is first
// overwritten in a change, its original bytes are appended to the journal
// beside the file, "FILE-journal", and the journal is synced; then one of
// the journal's two header slots is rewritten to count the new records and
// synced again. Only then is the database written. A change is committed by
// syncing the database and removing the journal. A crash at any point
// therefore leaves either no journal (the change is whole) or a journal that
// holds the original bytes of every page written so far, which the next
// writable open puts back.
//
// Journal layout (little-endian):
//   0    two header slots of 64 bytes: "KSJOURN1", sequence (u32), record
//        count (u32), database size (i64), end of the records (u64), sum of
//        the records (u64), sum of the slot's first 40 bytes (u64). The slot
//        with the higher sequence whose sum holds is the header; the other
//        stays intact while one is rewritten, so a torn header write leaves
//        the previous one in force.
//   128  records: offset (i64), length (u32), the original bytes, sum (u64).
// A journal counts as valid only when its header holds and every record it
// counts lies within the file with its sum right.
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
  kUnfinished,  // a journal whose header was never written: the database was
                // not written under it, and a writable open removes it
  kValid,       // an interrupted change: a writable open undoes it
  kInvalid,     // a file that is no complete journal of ours (damaged, torn,
                // a link, not a regular file or not the user's): never
                // applied, never removed
};

// What stands beside the database at `db_path`. Reads only.
JournalState InspectJournal(const std::string& db_path);

// What a journal in `state` means for the database beside it, in words for
// the user; nullptr for kNone.
const char* JournalProblem(JournalState state);

// On a database open for writing (`db`, at `db_path`, held exclusively):
// puts back the bytes of a valid journal, syncs the database and removes the
// journal; removes an unfinished one; leaves an invalid one alone. Returns
// what stood there; `failed` is set when a valid journal could not be
// applied whole (it then stays in place for the next open).
JournalState RecoverJournal(platform::FileHandle db, const std::string& db_path, bool& failed);

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
  // has then failed, and every later call fails until it is rolled back.
  bool Save(platform::FileHandle db, int64_t offset, size_t count);

  // Ends a change that did not fail: syncs the database and removes the
  // journal. True when the change is committed (also when nothing was
  // written); false when the sync or the removal failed, the journal then
  // (as far as it could not be removed) undoing the change at the next open.
  bool Commit(platform::FileHandle db);

  // Ends a change by writing every saved page back, syncing the database and
  // removing the journal. True on success; false when a write or the sync
  // failed, the journal then staying for the next open to apply.
  bool RollBack(platform::FileHandle db);

  // Marks the change failed: a write to the database went wrong after its
  // pages were saved.
  void MarkFailed() { failed_ = true; }
  // Whether the change has failed (Save returned false or MarkFailed).
  bool Failed() const { return failed_; }
  // Whether a journal stands for the change.
  bool Active() const { return journal_ != platform::kNoFile; }

 private:
  bool Create(platform::FileHandle db);
  bool WriteSlot();
  // Closes and removes the journal: the change is over. True when the
  // removal is durable.
  bool Finish();

  std::string db_path_;
  std::string path_;
  platform::FileHandle journal_ = platform::kNoFile;
  bool failed_ = false;
  int64_t db_size_ = 0;
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
