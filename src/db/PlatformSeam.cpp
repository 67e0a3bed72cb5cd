// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformSeam.h"

namespace kinscope::platform {
namespace {

FileSeam g_plain;
FileSeam* g_seam = &g_plain;

}  // namespace

FileHandle FileSeam::OpenExisting(const std::string& path, bool writable) {
  return platform::OpenExisting(path, writable);
}

FileHandle FileSeam::CreateNew(const std::string& path) { return platform::CreateNew(path); }

size_t FileSeam::WriteAt(FileHandle file, int64_t offset, const void* buffer, size_t count) {
  return platform::WriteAt(file, offset, buffer, count);
}

size_t FileSeam::Append(FileHandle file, const void* buffer, size_t count) {
  return platform::Append(file, buffer, count);
}

bool FileSeam::Sync(FileHandle file) { return platform::Sync(file); }

bool FileSeam::RemoveFile(const std::string& path) { return platform::RemoveFile(path); }

bool FileSeam::RenameOver(const std::string& from, const std::string& to) {
  return platform::RenameOver(from, to);
}

bool FileSeam::SyncFolder(const std::string& path) { return platform::SyncFolder(path); }

FileSeam& Seam() { return *g_seam; }

void SetSeam(FileSeam* seam) { g_seam = seam != nullptr ? seam : &g_plain; }

}  // namespace kinscope::platform
