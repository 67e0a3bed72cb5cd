// SPDX-License-Identifier: GPL-3.0-or-later
// The identical-name re-ordering: walks the individual index in name order,
// finds each run of nodes whose names give the same key, and re-inserts the
// run's nodes so that they stand in the order of their owners' birth dates
// (the christening date when no birth date is stored).
//
// It writes a log beside the database ("\nFor NAME" and "\n  NODE" per run)
// and trace lines into the trace file. Every failure shows its message and
// ends the program with a fixed exit status; what was written to the
// database before it is undone from the journal at the next writable open.
#pragma once

#include <string>

namespace kinscope {

class CTEVDatabase;

// Exit statuses of the re-ordering's failures.
constexpr int kReorderLogStatus = 1000;     // "Error 1000": the log cannot be created
constexpr int kReorderDamageStatus = 8;     // a node, name record or owner cannot be read
constexpr int kReorderNameTextStatus = 98;  // a name text fails its read or checks
constexpr int kReorderWriteStatus = 1003;   // the change could not be written: rolled back

// The log's name for the database file `file_name`: up to and including the
// last "." after the last "/", then "log"; the whole name and ".log" when
// its last component has no ".".
std::string ReorderLogName(const std::string& file_name);

// Re-orders every run of identical names of the open database `db`, whose
// file is `file_name`, as one change of the file (the caller ends it with
// CommitChange). Returns true when done; false when a write failed (its
// journal or the file could not be written), no further run then being
// written and the change left to be rolled back. Ends the program on the
// failures listed above: the journal then undoes the change at the next
// writable open.
bool ReorderIdenticalNames(CTEVDatabase& db, const std::string& file_name);

}  // namespace kinscope
