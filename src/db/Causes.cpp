// SPDX-License-Identifier: GPL-3.0-or-later
#include "Causes.h"

#include "Journal.h"
#include "PlatformFile.h"
#include "TEVDatabase.h"

namespace kinscope {

std::string OpenFailureCause(int code, bool writable) {
  switch (platform::KindOfError(code)) {
    case platform::ErrorKind::kNoSuchFile:
      return "there is no such file";
    case platform::ErrorKind::kNoSuchFolder:
      return "there is no such folder";
    case platform::ErrorKind::kLocked:
      return writable ? "another program has the file open (Kinscope, kinscope-dump or the "
                        "genealogy program): it is locked"
                      : "another program has the file open for writing: it is locked";
    case platform::ErrorKind::kReadOnlyDisk:
      return "the file is on a read-only disk";
    case platform::ErrorKind::kNoPermission:
      return writable ? "you may not write to this file (it, or its folder, is read-only)"
                      : "you may not read this file";
    case platform::ErrorKind::kDiskFull:
      return "the disk is full";
    case platform::ErrorKind::kExists:
      return "a file stands in the way";
    case platform::ErrorKind::kOther:
      break;
  }
  return platform::ErrorText(code);
}

std::string ReadOnlyHint(int code) {
  switch (platform::KindOfError(code)) {
    case platform::ErrorKind::kReadOnlyDisk:
    case platform::ErrorKind::kNoPermission:
      return "Open it with kinscope --read-only to look at it.";
    case platform::ErrorKind::kLocked:
      return "Close it there first; if the other program only reads it, open it with "
             "kinscope --read-only.";
    default:
      return std::string();
  }
}

std::string WriteFailureCause(int code, const std::string& db_path) {
  if (platform::KindOfError(code) == platform::ErrorKind::kExists && !db_path.empty() &&
      platform::KindOfPath(JournalPath(db_path)) != platform::PathKind::kNothing) {
    return JournalPath(db_path) + " stands in the way of the journal";
  }
  if (code == 0) return "a write was cut short";
  switch (platform::KindOfError(code)) {
    case platform::ErrorKind::kDiskFull:
      return "the disk is full";
    case platform::ErrorKind::kReadOnlyDisk:
      return "the disk is read-only";
    case platform::ErrorKind::kNoPermission:
      return "the folder is read-only for you";
    default:
      return platform::ErrorText(code);
  }
}

std::string WriteRefusal(const CTEVDatabase& db) {
  if (!db.IsOpen() || db.IsReadOnly()) return std::string();
  const std::string journal = JournalPath(db.Path());
  if (platform::KindOfPath(journal) == platform::PathKind::kNothing) return std::string();
  const JournalReport report = InspectJournal(db.Path());
  const int error = db.JournalRecoveryError() != 0 ? db.JournalRecoveryError() : db.ChangeError();
  std::string why;
  if (report.state == JournalState::kInvalid) {
    why = "it was not applied: " + JournalFaultText(report);
  } else if (report.state == JournalState::kValid &&
             db.JournalRecovery() != Recovery::kUndoneLeft) {
    why = "it holds an interrupted change, which opening the file for writing again undoes";
  } else if (error != 0) {
    why = "it could not be removed (" + WriteFailureCause(error, std::string()) + ")";
  } else {
    why = "it is left from a change that has ended, and could not be removed";
  }
  return "Nothing can be written to this file while " + journal + " stands beside it: " + why + ".";
}

std::string HalfDoneChangeNote(const std::string& db_path) {
  return "If a change to this file was interrupted, the file may hold part of it. The copy "
         "the re-ordering makes before it writes, " +
         db_path + ".<date>-<time>.bak beside it, holds the file as it was.";
}

}  // namespace kinscope
