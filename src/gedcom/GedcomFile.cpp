// SPDX-License-Identifier: GPL-3.0-or-later
// The export to a file, through the platform layer: "OUT.part" created new,
// written, synced, renamed over OUT, and the folder synced.
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "Gedcom.h"
#include "PlatformFile.h"
#include "PlatformSeam.h"

namespace kinscope::gedcom {
namespace {

// A stream buffer over a file of the platform layer, written 64 KB at a
// time at its own offset. A write that the file takes short (a full disk)
// fails the stream, and every write after it.
class FileBuffer : public std::streambuf {
 public:
  explicit FileBuffer(platform::FileHandle file) : file_(file), buffer_(size_t{1} << 16) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  bool Failed() const { return failed_; }

 protected:
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const auto count = static_cast<size_t>(pptr() - pbase());
    if (!failed_ && count > 0) {
      failed_ = platform::Seam().WriteAt(file_, offset_, pbase(), count) != count;
      offset_ += static_cast<int64_t>(count);
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return !failed_;
  }

  platform::FileHandle file_;
  std::vector<char> buffer_;
  int64_t offset_ = 0;
  bool failed_ = false;
};

// Creates `part` new, never through a link. What stands there already is
// removed first only when it is a regular file of the user's (left by an
// interrupted export); anything else stays, and no file is created.
platform::FileHandle CreatePart(const std::string& part) {
  const platform::FileHandle file = platform::Seam().CreateNew(part);
  if (file != platform::kNoFile || !platform::Exists(part)) return file;
  const platform::FileHandle stale = platform::OpenOwnFile(part);
  if (stale == platform::kNoFile) return platform::kNoFile;
  platform::Close(stale);
  if (!platform::Seam().RemoveFile(part)) return platform::kNoFile;
  return platform::Seam().CreateNew(part);
}

}  // namespace

Outcome ExportFile(CTEVDatabase& db, const std::string& path, const Options& options,
                   Counts& counts) {
  counts = Counts{};
  const std::string part = path + ".part";
  const platform::FileHandle file = CreatePart(part);
  if (file == platform::kNoFile) return Outcome::kWriteFailed;
  Outcome outcome = Outcome::kWriteFailed;
  bool written = false;
  try {
    FileBuffer buffer(file);
    std::ostream out(&buffer);
    outcome = Export(db, out, options, counts);
    written = static_cast<bool>(out.flush()) && !buffer.Failed();
  } catch (...) {  // memory ran out: no unfinished output is left behind
    platform::Close(file);
    platform::Seam().RemoveFile(part);
    throw;
  }
  written = written && platform::Seam().Sync(file);
  platform::Close(file);
  const bool whole = outcome == Outcome::kComplete || outcome == Outcome::kLeftOut;
  if (whole && written && platform::RenameOver(part, path)) {
    platform::Seam().SyncFolder(path);
    return outcome;
  }
  platform::Seam().RemoveFile(part);
  return outcome == Outcome::kCancelled ? outcome : Outcome::kWriteFailed;
}

}  // namespace kinscope::gedcom
