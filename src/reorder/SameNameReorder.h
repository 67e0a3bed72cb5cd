// SPDX-License-Identifier: GPL-3.0-or-later
// The identical-name re-ordering: walks the individual index in name order,
// finds each run of nodes whose names give the same key, and re-inserts the
// run's nodes so that they stand in the order of their owners' birth dates
// (the christening date when no birth date is stored).
//
// It writes a log beside the database ("\nFor NAME" and "\n  NODE" per run)
// and trace lines into the trace file, and shows nothing: it returns what
// became of it, with the message the program shows and the exit status it
// then ends with. The whole re-ordering is one change of the file: a
// failure of any kind ends it at once by putting back what was written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kinscope {

class CTEVDatabase;

// Exit statuses of the program after the re-ordering, all below 256 so that
// a shell sees them as they are. Statuses of 256 and above reach a parent
// process as their low 8 bits only, so "Error 1000" ends with 100, and the
// statuses of the re-ordering's own write failures follow it.
constexpr int kReorderDoneStatus = 0;
constexpr int kReorderDamageStatus = 8;       // a node, name record or owner cannot be read
constexpr int kReorderNameTextStatus = 98;    // a name text fails its read or checks
constexpr int kReorderLogStatus = 100;        // "Error 1000": the log cannot be created
constexpr int kReorderWriteStatus = 103;      // the change could not be written: undone
constexpr int kReorderLeftStatus = 104;       // stopped, and what it wrote could not be undone:
                                              // the journal stays for the next open
constexpr int kReorderCancelledStatus = 105;  // cancelled and undone: the file is as it was
                                              // (the main window goes on instead of ending)
// Also kUnknownDateTypeStatus (9, ReorderDate.h) and kOutOfMemoryStatus (5,
// TextBuffer.h).

// What a re-ordering came to.
struct ReorderResult {
  // A cancelled run ends as a failure does, rolled back, with an outcome of
  // its own.
  enum class Outcome { kDone, kFailed, kCancelled };

  Outcome outcome = Outcome::kDone;
  // The message to show: its text and title ("Done" and "-*-"; "Error 5"
  // and "Aborting", ...).
  std::string text;
  std::string title;
  // What follows the text: the cause, what became of the file and of the
  // log; empty when there is nothing to add.
  std::string detail;
  // The exit status the program ends with after the message.
  int status = kReorderDoneStatus;

  bool Done() const { return outcome == Outcome::kDone; }
};

// The log's name for the database file `file_name`: up to and including the
// last "." after the last "/", then "log"; the whole name and ".log" when
// its last component has no ".".
std::string ReorderLogName(const std::string& file_name);

// Why the log at `log_name` cannot be replaced: something stands there that
// is not a regular file of the user's (a link, a folder, another user's
// file). Empty when nothing stands there or the user's own file does.
std::string LogRefusal(const std::string& log_name);

// How far a re-ordering got: `done` runs of identical names of the `found`
// that a walk over the index counted before it began (`done` can pass
// `found` on a damaged index). Returns false to cancel the re-ordering.
// Called after every run and every 4096 nodes of the walk.
using ReorderProgress = std::function<bool(int64_t done, int64_t found)>;

// Re-orders every run of identical names of the open database `db`, whose
// file is `file_name`, as one change of the file, and ends that change:
// committed when done, rolled back at once on any failure (a write, the
// log, a damaged record, an invalid date, memory) or when `progress`
// cancels it. Done() when the change is committed; otherwise the failure or
// the cancel, its message saying whether the file is as it was. The trace
// lines are in the trace file when it returns.
ReorderResult ReorderIdenticalNames(CTEVDatabase& db, const std::string& file_name,
                                    const ReorderProgress& progress = {});

}  // namespace kinscope
