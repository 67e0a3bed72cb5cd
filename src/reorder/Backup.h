// SPDX-License-Identifier: GPL-3.0-or-later
// The copy of a database file made before the re-ordering writes to it.
#pragma once

#include <string>

#include "PlatformFile.h"

namespace kinscope {

class CTEVDatabase;

// Copies the file open in `db` (read through `db`, so the copy is what the
// re-ordering starts from) beside it to "PATH.YYYYMMDD-HHMMSS.bak" (local
// time `now`, from platform::Now(); "-2", "-3", ... before ".bak" when that name is taken). The
// copy is created exclusively, never over an existing file nor through a
// link, and synced to the disk. Returns the copy's path; empty on failure,
// with `error` telling why and no partial copy left behind (also when the
// file is no longer at its path).
std::string BackupDatabase(CTEVDatabase& db, const platform::LocalTime& now, std::string& error);

}  // namespace kinscope
