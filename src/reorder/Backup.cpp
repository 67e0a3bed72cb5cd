// SPDX-License-Identifier: GPL-3.0-or-later
#include "Backup.h"

#include <cstdio>
#include <vector>

#include "PlatformFile.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

std::string Stamp(const platform::LocalTime& now) {
  char text[32] = "";
  std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", unsigned{now.year},
                unsigned{now.month}, unsigned{now.day}, unsigned{now.hour}, unsigned{now.minute},
                unsigned{now.second});
  return text;
}

std::string Reason() { return platform::ErrorText(platform::LastError()); }

}  // namespace

std::string BackupDatabase(CTEVDatabase& db, const platform::LocalTime& now, std::string& error) {
  if (!db.IsOpen()) {
    error = "no database is open";
    return std::string();
  }
  if (!platform::Exists(db.Path())) {
    error = "the database file is no longer at " + db.Path();
    return std::string();
  }
  const std::string base = db.Path() + "." + Stamp(now);
  std::string copy;
  platform::FileHandle out = platform::kNoFile;
  for (int n = 1; n <= 100 && out == platform::kNoFile; ++n) {
    copy = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".bak";
    if (platform::Exists(copy)) continue;
    out = platform::CreateNew(copy);
    if (out == platform::kNoFile) break;
  }
  if (out == platform::kNoFile) {
    error = "cannot create " + copy + ": " + Reason();
    return std::string();
  }
  std::vector<uint8_t> buffer(1 << 16);
  bool sound = true;
  for (int64_t at = 0; sound && at < db.FileSize();) {
    const size_t n = db.ReadAt(at, buffer.data(), buffer.size());
    sound = n > 0 && platform::WriteAt(out, at, buffer.data(), n) == n;
    at += static_cast<int64_t>(n);
  }
  sound = sound && platform::Sync(out);
  if (!sound) error = "cannot write " + copy + ": " + Reason();
  platform::Close(out);
  if (!sound) {
    platform::RemoveFile(copy);
    return std::string();
  }
  platform::SyncFolder(copy);
  return copy;
}

}  // namespace kinscope
