// SPDX-License-Identifier: GPL-3.0-or-later
// Words for the user on why a database file could not be opened or written,
// shared by the main window and kinscope-dump and the same on every system:
// each cause is told by the kind of the platform's error code (a lock, a
// read-only disk, no permission, a full disk...), and only the codes of no
// such kind in the system's own words.
#pragma once

#include <string>

namespace kinscope {

class CTEVDatabase;

// Why an open failed with the platform's error `code`, as a phrase ("another
// program has the file open for writing"). `writable`: the open asked to
// write.
std::string OpenFailureCause(int code, bool writable);

// For a writable open that failed with `code`: the way to look at the file
// anyway ("Open it with kinscope --read-only to look at it."), when reading
// only gets around the cause; else empty.
std::string ReadOnlyHint(int code);

// Why a write failed with the platform's error `code`, as a phrase ("the
// disk is full"); a file already standing at the journal's name of the
// database at `db_path` (when given) is named.
std::string WriteFailureCause(int code, const std::string& db_path);

// Why no change can be written to the open database `db` now: a journal
// beside it that was not applied (by name, with its reason) or that could
// not be removed. Empty when a change can be written (or `db` is read-only).
std::string WriteRefusal(const CTEVDatabase& db);

// What a journal that is not applied may mean for the file beside it: it
// may hold part of an interrupted change, and where the copy made before a
// re-ordering lies.
std::string HalfDoneChangeNote(const std::string& db_path);

}  // namespace kinscope
