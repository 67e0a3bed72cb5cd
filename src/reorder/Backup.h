// The copy of a database file made before the re-ordering writes to it.
#pragma once

#include <ctime>
#include <string>

namespace kinscope {

// Copies the file at `path` beside itself to "PATH.YYYYMMDD-HHMMSS.bak"
// (local time `now`; "-2", "-3", ... before ".bak" when that name is taken).
// The copy is created exclusively, never over an existing file, and flushed
// to disk. Returns the copy's path; empty on failure, with `error` telling
// why and no partial copy left behind.
std::string BackupDatabase(const std::string& path, std::time_t now, std::string& error);

}  // namespace kinscope
