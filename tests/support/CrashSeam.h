// SPDX-License-Identifier: GPL-3.0-or-later
// File seams that act out a crash and a full disk.
//
// CrashSeam counts the writes of the database and its journal (positioned
// writes and removals) and, right after the k-th, takes down what the disk
// would hold if the power failed then. The run goes on unharmed, so the
// program under test sees a consistent file; the test then puts the crash's
// files in place and opens them again. What the disk holds: every file as it
// was last synced, plus its writes since that sync either all kept, all
// dropped, or torn (each one's first half landed). Syncs are not passed on:
// the seam itself is the model of what is durable, and the sweep stays fast.
//
// FullDiskSeam fills the disk at the k-th positioned write.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FileContents.h"
#include "PlatformSeam.h"
#include "TEVDatabase.h"

namespace crash {

using Bytes = std::vector<uint8_t>;

enum Mode { kKept, kDropped, kTorn };
constexpr Mode kModes[] = {kKept, kDropped, kTorn};

inline std::optional<Bytes> ReadFile(const std::string& path) { return ReadBytes<Bytes>(path); }

// Writes `content` at `path`, or removes the file for none.
inline void PutFile(const std::string& path, const std::optional<Bytes>& content) {
  std::remove(path.c_str());
  if (!content) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(content->data()),
            static_cast<std::streamsize>(content->size()));
}

// Files by path; none for a file that is not there.
using Disk = std::map<std::string, std::optional<Bytes>>;

class CrashSeam : public kinscope::platform::FileSeam {
 public:
  // Crashes right after write `crash_after` (1 for the first); 0 never.
  explicit CrashSeam(int64_t crash_after) : crash_after_(crash_after) {}

  kinscope::platform::FileHandle OpenExisting(const std::string& path, bool writable) override {
    return Track(FileSeam::OpenExisting(path, writable), path);
  }
  kinscope::platform::FileHandle CreateNew(const std::string& path) override {
    return Track(FileSeam::CreateNew(path), path);
  }
  size_t WriteAt(kinscope::platform::FileHandle file, int64_t offset, const void* buffer,
                 size_t count) override {
    // Only the writes before the crash need their old bytes.
    if (crash_after_ == 0 || writes_ >= crash_after_) {
      const size_t written = FileSeam::WriteAt(file, offset, buffer, count);
      Counted();
      return written;
    }
    const int64_t size = kinscope::platform::FileSize(file);
    Pending p{offset, {}, static_cast<size_t>(std::max<int64_t>(size, 0)), count};
    if (offset < size) {
      p.old.resize(std::min(count, static_cast<size_t>(size - offset)));
      p.old.resize(kinscope::platform::ReadAt(file, offset, p.old.data(), p.old.size()));
    }
    const size_t written = FileSeam::WriteAt(file, offset, buffer, count);
    pending_[paths_[file]].push_back(std::move(p));
    Counted();
    return written;
  }
  bool Sync(kinscope::platform::FileHandle file) override {
    pending_.erase(paths_[file]);
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    const bool removed = FileSeam::RemoveFile(path);
    pending_.erase(path);
    Counted();
    return removed;
  }
  bool SyncFolder(const std::string&) override { return true; }

  // Takes `path` into what the crash leaves even when nothing opens it
  // through the seam (a file that must not be there then).
  void Watch(const std::string& path) { known_.emplace(path, true); }

  int64_t Writes() const { return writes_; }
  bool Crashed() const { return !disks_.empty(); }
  // The files the crash left, in `mode`.
  const Disk& After(Mode mode) const { return disks_.at(mode); }

 private:
  struct Pending {
    int64_t offset;
    Bytes old;        // the bytes the write covered that the file had
    size_t old_size;  // the file's size before the write
    size_t count;
  };

  kinscope::platform::FileHandle Track(kinscope::platform::FileHandle file,
                                       const std::string& path) {
    if (file != kinscope::platform::kNoFile) paths_[file] = path;
    known_.emplace(path, true);
    return file;
  }

  // Undoes the writes of a file since its last sync, newest first: each
  // whole when dropped, its second half when torn.
  static void Undo(Bytes& content, const std::vector<Pending>& writes, Mode mode) {
    for (auto w = writes.rbegin(); w != writes.rend(); ++w) {
      const size_t from = mode == kDropped ? 0 : w->count / 2;
      const auto at = static_cast<size_t>(w->offset);
      for (size_t i = from; i < w->old.size(); ++i) content[at + i] = w->old[i];
      if (content.size() > w->old_size) content.resize(std::max(w->old_size, at + from));
    }
  }

  void Counted() {
    if (++writes_ != crash_after_) return;
    for (Mode mode : kModes) {
      Disk& disk = disks_[mode];
      for (const auto& [path, unused] : known_) {
        std::optional<Bytes> content = ReadFile(path);
        const auto pending = pending_.find(path);
        if (content && mode != kKept && pending != pending_.end()) {
          Undo(*content, pending->second, mode);
        }
        disk[path] = content;
      }
    }
  }

  int64_t crash_after_;
  int64_t writes_ = 0;
  std::map<kinscope::platform::FileHandle, std::string> paths_;
  std::map<std::string, bool> known_;
  std::map<std::string, std::vector<Pending>> pending_;
  std::map<Mode, Disk> disks_;
};

// The system's code for a full disk, as the platform layer remembers it.
#ifdef _WIN32
constexpr int kDiskFullError = 112;  // ERROR_DISK_FULL
#else
constexpr int kDiskFullError = ENOSPC;
#endif

// A disk that fills up at positioned write `full_at` (1 for the first; 0
// never): that write lands its first half and fails with "no space"; every
// later write lands only what lies within the file's size, failing when it
// would make the file grow, as a full disk does. Appends (the log) may add
// `append_room` bytes in all (-1: no limit) before they fail the same way.
// Syncs are not passed on.
class FullDiskSeam : public kinscope::platform::FileSeam {
 public:
  explicit FullDiskSeam(int64_t full_at, int64_t append_room = -1)
      : full_at_(full_at), append_room_(append_room) {}

  size_t WriteAt(kinscope::platform::FileHandle file, int64_t offset, const void* buffer,
                 size_t count) override {
    ++writes_;
    if (full_at_ == 0 || writes_ < full_at_) return FileSeam::WriteAt(file, offset, buffer, count);
    const int64_t room = std::max<int64_t>(kinscope::platform::FileSize(file) - offset, 0);
    size_t lands = std::min(count, static_cast<size_t>(room));
    if (writes_ == full_at_) lands = std::min(lands, count / 2);
    if (lands == count) return FileSeam::WriteAt(file, offset, buffer, count);
    const size_t written = lands > 0 ? FileSeam::WriteAt(file, offset, buffer, lands) : 0;
    kinscope::platform::RememberError(kDiskFullError);
    return written;
  }
  size_t Append(kinscope::platform::FileHandle file, const void* buffer, size_t count) override {
    if (append_room_ < 0) return FileSeam::Append(file, buffer, count);
    const size_t lands = std::min(count, static_cast<size_t>(append_room_));
    append_room_ -= static_cast<int64_t>(lands);
    const size_t written = lands > 0 ? FileSeam::Append(file, buffer, lands) : 0;
    if (written < count) kinscope::platform::RememberError(kDiskFullError);
    return written;
  }
  bool Sync(kinscope::platform::FileHandle) override { return true; }
  bool SyncFolder(const std::string&) override { return true; }

  // The positioned writes asked for so far.
  int64_t Writes() const { return writes_; }

 private:
  int64_t full_at_;
  int64_t append_room_;
  int64_t writes_ = 0;
};

// Leaves the database at `path` as a crash right after the last write of
// `change` leaves it, its journal beside it: `change` runs on the file open
// for writing, and its end then can neither write, spend nor remove the
// journal.
inline void LeaveInterruptedChange(const std::string& path,
                                   const std::function<void(kinscope::CTEVDatabase&)>& change) {
  struct Stuck : kinscope::platform::FileSeam {
    size_t WriteAt(kinscope::platform::FileHandle, int64_t, const void*, size_t) override {
      return 0;
    }
    bool RemoveFile(const std::string&) override { return false; }
  } stuck;
  {
    kinscope::CTEVDatabase db;
    if (db.OpenDatabase(path, 0) != kinscope::kOpenOk) return;
    change(db);
    kinscope::platform::SetSeam(&stuck);
  }
  kinscope::platform::SetSeam(nullptr);
}

// Leaves the database at `path` as a crash in its header write-back leaves
// it: bytes 0 to 3 first set to "499", then the write-back interrupted right
// after it wrote the file ("500" there), its journal complete beside it.
inline void LeaveInterruptedWriteBack(const std::string& path) {
  std::optional<Bytes> bytes = ReadFile(path);
  if (!bytes || bytes->size() < 4) return;
  (*bytes)[2] = '9';
  (*bytes)[1] = '9';
  (*bytes)[0] = '4';
  (*bytes)[3] = 0;
  PutFile(path, bytes);
  CrashSeam seam(3);  // the journal's records, its header, then the file
  kinscope::platform::SetSeam(&seam);
  {
    kinscope::CTEVDatabase db;
    if (db.OpenDatabase(path, 0) == kinscope::kOpenOk) db.CloseDatabase();
  }
  kinscope::platform::SetSeam(nullptr);
  if (seam.Crashed()) {
    for (const auto& [file, content] : seam.After(kKept)) PutFile(file, content);
  }
}

}  // namespace crash
