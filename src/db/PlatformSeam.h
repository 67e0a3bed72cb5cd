// SPDX-License-Identifier: GPL-3.0-or-later
// The seam through which the engine opens, writes, syncs and removes the
// database file and its journal, the re-ordering appends to its log, and
// the repair writes and renames its copy.
//
// By default every call passes straight to the function of PlatformFile.h
// of the same name. A test installs a seam of its own to count the writes or
// to act out a crash after any one of them; the system-specific layer below
// knows nothing of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "PlatformFile.h"

namespace kinscope::platform {

class FileSeam {
 public:
  virtual ~FileSeam() = default;
  // Each does what the function of the same name in PlatformFile.h does.
  virtual FileHandle OpenExisting(const std::string& path, bool writable);
  virtual FileHandle CreateNew(const std::string& path);
  virtual size_t WriteAt(FileHandle file, int64_t offset, const void* buffer, size_t count);
  virtual size_t Append(FileHandle file, const void* buffer, size_t count);
  virtual bool Sync(FileHandle file);
  virtual bool RemoveFile(const std::string& path);
  virtual bool RenameOver(const std::string& from, const std::string& to);
  virtual bool SyncFolder(const std::string& path);
};

// The seam in force: the one installed last, else the plain one.
FileSeam& Seam();

// Installs `seam` (not owned; it must outlive its use); nullptr restores the
// plain one.
void SetSeam(FileSeam* seam);

}  // namespace kinscope::platform
