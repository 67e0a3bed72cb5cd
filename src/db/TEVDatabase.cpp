// SPDX-License-Identifier: GPL-3.0-or-later
// Open, close and the header of a database file.
#include "TEVDatabase.h"

#include <algorithm>
#include <cstring>

#include "Coding.h"
#include "PlatformSeam.h"

namespace kinscope {
namespace {

constexpr uint8_t kMagic[4] = {'T', 'E', 'V', 0};
constexpr uint8_t kVersionText[4] = {'5', '0', '0', 0};

}  // namespace

CTEVDatabase::CTEVDatabase() = default;

CTEVDatabase::~CTEVDatabase() {
  CommitChange();
  platform::Close(file_);
}

int CTEVDatabase::OpenDatabase(const std::string& path, int32_t mode) {
  if (IsOpen()) return kOpenFailed;
  // Paths go to the file system as the caller gave them; one that holds a
  // zero byte cannot be passed on at all.
  if (path.find('\0') != std::string::npos) return kOpenCorrupt;

  file_ = platform::Seam().OpenExisting(path, mode == 0);
  if (file_ == platform::kNoFile) return kOpenFailed;
  path_ = path;
  journal_.reset();
  journal_found_ = RecoveryResult();
  if (mode == 0) {
    journal_found_ = RecoverJournal(file_, path);
    if (journal_found_.recovery == Recovery::kFailed) {
      platform::Close(file_);
      file_ = platform::kNoFile;
      platform::RememberError(journal_found_.error);
      return kOpenFailed;
    }
    journal_ = std::make_unique<JournalWriter>(path);
  } else {
    journal_found_.report = InspectJournal(path, file_);
  }
  file_size_ = platform::FileSize(file_);

  bool sound = ReadAt(0, header_.data(), header_.size()) == header_.size() &&
               std::memcmp(header_.data() + kHdrMagic, kMagic, sizeof kMagic) == 0;
  if (sound) {
    // Only 31 regions have room for a page map; further regions are ignored.
    const int32_t regions = std::min<int32_t>(HeaderI32(kHdrRegionCount), kMaxRegions);
    if (regions > 0) page_lists_.reserve(static_cast<size_t>(regions));
    for (int32_t r = 0; sound && r < regions; ++r) sound = LoadRegionMap(r) == 1;
  }
  if (sound) {
    sound =
        ReadAt(kPageCountOffset, page_counts_.data(), page_counts_.size()) == page_counts_.size();
  }
  if (!sound) {
    platform::Close(file_);
    file_ = platform::kNoFile;
    journal_.reset();
    return kOpenCorrupt;
  }
  read_only_ = mode != 0;
  modified_ = false;
  return kOpenOk;
}

void CTEVDatabase::CloseDatabase() {
  if (!IsOpen()) return;
  if (modified_) {
    const platform::LocalTime now = platform::Now();
    const uint16_t fields[8] = {now.year, now.month,  now.day_of_week, now.day,
                                now.hour, now.minute, now.second,      now.milliseconds};
    for (size_t i = 0; i < 8; ++i) EncodeU16(header_.data(), kHdrModifyTime + 2 * i, fields[i]);
  }
  WriteHeader();
  CommitChange();
  cache_.reset();
  platform::Close(file_);
  file_ = platform::kNoFile;
  journal_.reset();
}

int CTEVDatabase::CommitChange() {
  if (!journal_ || !IsOpen()) return 1;
  last_end_ = journal_->Commit(file_);
  // A rollback writes the saved pages back past the cache.
  if (last_end_ != ChangeEnd::kCommitted) cache_.reset();
  return last_end_ == ChangeEnd::kCommitted ? 1 : 0;
}

ChangeEnd CTEVDatabase::RollBackChange() {
  if (!journal_ || !IsOpen()) return ChangeEnd::kUndone;
  cache_.reset();  // the rollback writes the saved pages back past the cache
  last_end_ = journal_->RollBack(file_);
  return last_end_;
}

void CTEVDatabase::ReleasePageLists() {
  page_lists_.clear();
  page_lists_.shrink_to_fit();
}

void CTEVDatabase::WriteHeader() {
  if (read_only_ || !IsOpen()) return;
  std::memcpy(header_.data() + kHdrVersionText, kVersionText, sizeof kVersionText);
  WriteAt(0, header_.data(), kHeaderSize);
}

int CTEVDatabase::UpdateHeader() {
  return WriteAt(static_cast<int32_t>(kHdrUpdateStart), header_.data() + kHdrUpdateStart,
                 static_cast<int32_t>(kHdrUpdateLength));
}

int CTEVDatabase::WriteAt(int32_t offset, const uint8_t* bytes, int32_t count) {
  if (read_only_) return 1;
  if (!IsOpen() || offset < 0 || count < 0 || int64_t{offset} + count > file_size_) return 0;
  const auto n = static_cast<size_t>(count);
  if (!journal_ || !journal_->Save(file_, offset, n)) return 0;
  const bool written = platform::Seam().WriteAt(file_, offset, bytes, n) == n;
  if (cache_) cache_->Forget(offset, n);
  if (written) return 1;
  journal_->MarkFailed(platform::LastError());
  return 0;
}

size_t CTEVDatabase::ReadAt(int64_t offset, uint8_t* buffer, size_t count) const {
  if (!IsOpen()) return 0;
  if (cache_) return cache_->Read(file_, offset, buffer, count);
  return platform::ReadAt(file_, offset, buffer, count);
}

bool CTEVDatabase::StartReadCache(size_t bytes) {
  if (cache_ || !IsOpen()) return false;
  cache_ = std::make_unique<ReadCache>(kRegionBase, bytes);
  return true;
}

void CTEVDatabase::StopReadCache() { cache_.reset(); }

int32_t CTEVDatabase::HeaderI32(size_t offset) const { return DecodeI32(header_.data(), offset); }

void CTEVDatabase::SetHeaderI32(size_t offset, int32_t value) {
  EncodeI32(header_.data(), offset, value);
}

void ReleaseDatabase(std::unique_ptr<CTEVDatabase>& db, bool free_object) {
  if (!db) return;
  db->ReleasePageLists();
  if (free_object) db.reset();
}

}  // namespace kinscope
