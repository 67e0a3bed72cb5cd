// SPDX-License-Identifier: GPL-3.0-or-later
// The repair: the copy, the rounds of mends and the table of mends.
#include "Repair.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "Causes.h"
#include "Coding.h"
#include "Journal.h"
#include "Messages.h"
#include "PlatformSeam.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

std::string Num(int64_t n) { return std::to_string(n); }

// Rounds of mends at the most: a mend that the open reads (the region count,
// the page-count table) ends its round, and what it makes readable is
// checked and mended in the next.
constexpr int kRounds = 4;

// The copy is written in pieces of this size; pieces of zeros are skipped
// (the copy reads as zeros there all the same).
constexpr size_t kCopyPiece = size_t{256} << 10;

// Why a file could not be created or written, for a path that names a file
// to be made: a missing folder is told as one.
std::string CreateCause(int code) {
  const platform::ErrorKind kind = platform::KindOfError(code);
  if (kind == platform::ErrorKind::kNoSuchFile || kind == platform::ErrorKind::kNoSuchFolder) {
    return "there is no such folder";
  }
  return WriteFailureCause(code, std::string());
}

// A text of the file as it stands, for a message: its printable bytes, the
// others in hexadecimal.
std::string Shown(const uint8_t* bytes, size_t count) {
  std::string text = "\"";
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (b >= 0x20 && b < 0x7f) {
      text += static_cast<char>(b);
    } else {
      static const char kHex[] = "0123456789abcdef";
      text += "\\x";
      text += kHex[b >> 4];
      text += kHex[b & 15];
    }
  }
  return text + "\"";
}

// The name of the field at `offset` of `layout`.
std::string FieldName(const RecordLayout& layout, size_t offset) {
  for (size_t i = 0; i < layout.count; ++i) {
    if (layout.fields[i].offset == offset) return layout.fields[i].name;
  }
  return "at offset " + Num(static_cast<int64_t>(offset));
}

// What is needed to open a file whose header keeps it from opening, taken
// back from its page maps and its page-count table.
struct Salvage {
  bool recognisable = false;
  std::string why;                                                // why not, in words
  std::vector<std::pair<int64_t, std::vector<uint8_t>>> patches;  // file offset, bytes
  std::vector<RepairLine> lines;
};

// Pages of each table (1 to 32) that a page map's bytes 1 to 8191 give it.
std::array<int, kTableCount + 1> MapPages(const uint8_t* map) {
  std::array<int, kTableCount + 1> pages{};
  for (size_t p = 1; p < kPageSize; ++p) {
    const int t = static_cast<int8_t>(map[p]);
    if (t >= 1 && t <= kTableCount) ++pages[static_cast<size_t>(t)];
  }
  return pages;
}

Salvage SalvageHeader(platform::FileHandle file) {
  Salvage s;
  const int64_t size = platform::FileSize(file);
  std::vector<uint8_t> fixed(static_cast<size_t>(kRegionBase));
  std::vector<uint8_t> map(kPageSize);
  if (size < kRegionBase + kPageSize ||
      platform::ReadAt(file, 0, fixed.data(), fixed.size()) != fixed.size()) {
    s.why = "it is shorter than a header, a page-count table and a page map";
    return s;
  }
  const auto count = [&](int region, int table) {
    return static_cast<int>(
        DecodeI16(fixed.data(),
                  static_cast<size_t>(kPageCountOffset + (region * kTableCount + table - 1) * 2)));
  };
  const int32_t header_regions = DecodeI32(fixed.data(), kHdrRegionCount);
  // The regions from 0 on that hold a page map: its first byte 11, or
  // another first byte where the page-count table counts pages of record
  // tables in the region and never more than the map's bytes give them.
  int maps = 0;
  for (; maps < kMaxRegions; ++maps) {
    const int64_t at = kRegionBase + maps * kRegionSize;
    if (platform::ReadAt(file, at, map.data(), map.size()) != map.size()) break;
    if (map[0] == kPageMapTable) continue;
    const std::array<int, kTableCount + 1> pages = MapPages(map.data());
    bool counted = false, agrees = true;
    for (int t = 1; t <= kTableCount; ++t) {
      if (t == kPageMapTable || TableSpecOf(t) == nullptr) continue;
      counted = counted || count(maps, t) > 0;
      agrees = agrees && count(maps, t) >= 0 && count(maps, t) <= pages[static_cast<size_t>(t)];
    }
    if (maps >= std::max(header_regions, 1) || !counted || !agrees) break;
    s.patches.push_back({at, {kPageMapTable}});
    s.lines.push_back({RepairLine::kMended, "region " + Num(maps) + " page 0",
                       "the page map's first byte is " + Num(map[0]),
                       "11, as every page map has it: the page-count table counts pages of "
                       "the tables the map's other bytes name"});
  }
  if (maps == 0) {
    s.why = "region 0 holds no page map that the page-count table agrees with";
    return s;
  }
  s.recognisable = true;
  if (std::memcmp(fixed.data() + kHdrMagic, "TEV", 4) != 0) {
    s.patches.push_back({static_cast<int64_t>(kHdrMagic), {'T', 'E', 'V', 0}});
    s.lines.push_back({RepairLine::kMended, "header",
                       "the magic is " + Shown(fixed.data() + kHdrMagic, 4),
                       "\"TEV\", as every file of this kind has it: the file holds page maps "
                       "that its page-count table agrees with"});
  }
  if (std::min(header_regions, kMaxRegions) > maps || header_regions < 0) {
    std::vector<uint8_t> bytes(4);
    EncodeI32(bytes.data(), 0, maps);
    s.patches.push_back({static_cast<int64_t>(kHdrRegionCount), bytes});
    s.lines.push_back({RepairLine::kMended, "header", "region count " + Num(header_regions),
                       Num(maps) + ": the regions from 0 on whose page map stands in the file"});
  }
  return s;
}

class Run {
 public:
  Run(const std::string& in, const std::string& out, const RepairOptions& options,
      RepairReport& report)
      : in_(in),
        out_(out),
        part_(out + ".part"),
        journal_(JournalPath(out + ".part")),
        options_(options),
        report_(report) {}

  void Go();
  // Removes what the repair wrote: the copy under way and its journal.
  void CleanUp();

  // The mends, one a row of kMends. Each reads the copy and writes through
  // its journal; a round ends the change after its mends.
  void MendVersionText(const CheckReport& report);
  void MendRegionCount(const CheckReport& report);
  void MendPageCounts(const CheckReport& report);
  void MendNameChains(const CheckReport& report);
  void MendChains(const CheckReport& report);
  void CutTableLinks(const CheckReport& report);
  void MendIndividualBound(const CheckReport& report);
  void MendNameArea(const CheckReport& report);
  void MendRootCopies(const CheckReport& report);
  void MendIndex(const CheckReport& report);

 private:
  bool Fail(std::string why) {
    if (report_.error.empty()) report_.error = std::move(why);
    return false;
  }
  bool Progress(const char* stage, int64_t done, int64_t total) {
    if (!cancelled_ && options_.progress && !options_.progress(stage, done, total)) {
      cancelled_ = true;
    }
    return !cancelled_;
  }
  CheckProgress CheckStage(const char* stage) {
    return [this, stage](int done, int total) { return Progress(stage, done, total); };
  }
  std::function<bool()> Going() {
    return [this] { return Progress("mending", round_step_, round_steps_); };
  }
  void Line(RepairLine::Action action, std::string place, std::string was, std::string now) {
    report_.lines.push_back({action, std::move(place), std::move(was), std::move(now)});
  }
  // A write of a mend failed: the round is rolled back.
  void Failed() {
    if (!write_failed_) write_error_ = platform::LastError();
    write_failed_ = true;
  }
  // Why the change failed: the journal's error, else the failed write's.
  int ChangeError() const {
    const int error = db_ ? db_->ChangeError() : 0;
    return error != 0 ? error : write_error_;
  }
  // Writes `value` at file offset `at` of the copy.
  void SetI32(int64_t at, int32_t value) {
    uint8_t bytes[4];
    EncodeI32(bytes, 0, value);
    if (at <= 0 || db_->WriteAt(static_cast<int32_t>(at), bytes, 4) != 1) Failed();
    db_->SetModified();
  }
  void SetHeader(size_t field, int32_t value) {
    db_->SetHeaderI32(field, value);
    if (db_->UpdateHeader() != 1) Failed();
    db_->SetModified();
  }
  int64_t RecordAt(const TableSpec& t, int32_t n) const {
    return db_->LocateRecord(n, t.table, t.size, t.per_page);
  }
  // Whether the file at `path` may be replaced: nothing there, or a regular
  // file of the user's (removed then). False, with why, otherwise.
  bool ClearStale(const std::string& path);
  bool Refused();
  bool CopyFile(const Salvage& salvage);
  bool CopyJournal();
  bool OpenCopy();
  bool Rounds(CheckReport first);
  // Ends the change of a round: false when it could not be written whole.
  bool EndChange();
  bool Finish();
  // Walks the name chain of individual `rin` as the check does, calling
  // `each(at, image)` for every name read.
  void EachName(const uint8_t* person,
                const std::function<void(int32_t at, const INameRecImage& name)>& each);
  void MendChain(int32_t code, size_t next_at, size_t prev_at);

  std::string in_, out_, part_, journal_;
  const RepairOptions& options_;
  RepairReport& report_;
  std::unique_ptr<CTEVDatabase> db_;
  bool created_ = false;  // OUT.part is ours
  bool cancelled_ = false;
  bool write_failed_ = false;
  int write_error_ = 0;
  bool index_done_ = false;  // the index was rebuilt in this round
  bool journal_copied_ = false;
  bool salvaged_ = false;
  int64_t round_step_ = 0, round_steps_ = 1;
};

struct MendRow {
  FindingKind kind;
  void (Run::*mend)(const CheckReport&);
  // The open reads what the mend writes: the copy is opened again after it,
  // and the round ends there.
  bool reopen;
};

// The table of mends, in the order they are made. Rows that share a mend
// make it once a round.
const MendRow kMends[] = {
    {FindingKind::kRegionCount, &Run::MendRegionCount, true},
    {FindingKind::kPageCount, &Run::MendPageCounts, true},
    {FindingKind::kVersionText, &Run::MendVersionText, false},
    {FindingKind::kNameChain, &Run::MendNameChains, false},
    {FindingKind::kNamePrevious, &Run::MendNameChains, false},
    {FindingKind::kNameOwner, &Run::MendNameChains, false},
    {FindingKind::kChain, &Run::MendChains, false},
    {FindingKind::kLinkOutside, &Run::CutTableLinks, false},
    {FindingKind::kIndividualBound, &Run::MendIndividualBound, false},
    {FindingKind::kNameArea, &Run::MendNameArea, false},
    {FindingKind::kRootCopies, &Run::MendRootCopies, false},
    {FindingKind::kIndex, &Run::MendIndex, false},
};

bool Has(const CheckReport& report, FindingKind kind) {
  return std::any_of(report.findings.begin(), report.findings.end(),
                     [kind](const Finding& f) { return f.kind == kind; });
}

bool Mendable(const CheckReport& report) {
  return std::any_of(std::begin(kMends), std::end(kMends),
                     [&](const MendRow& row) { return Has(report, row.kind); });
}

// ---- The copy -------------------------------------------------------------

bool Run::ClearStale(const std::string& path) {
  const platform::PathKind kind = platform::KindOfPath(path);
  if (kind == platform::PathKind::kNothing) return true;
  const platform::FileHandle own =
      kind == platform::PathKind::kRegular ? platform::OpenOwnFile(path) : platform::kNoFile;
  if (own == platform::kNoFile) {
    return Fail(path + " stands in the way, and is not a file of yours that can be replaced");
  }
  platform::Close(own);
  if (!platform::Seam().RemoveFile(path)) {
    return Fail(path + " stands in the way and cannot be removed (" +
                CreateCause(platform::LastError()) + ")");
  }
  return true;
}

bool Run::Refused() {
  if (out_.empty()) return !Fail("no file was named for the copy");
  for (const std::string& path : {out_, part_, journal_}) {
    if (platform::SameFile(in_, path)) {
      return !Fail(path +
                   " is the file being repaired: the repair writes a copy and never "
                   "the file it reads");
    }
  }
  switch (platform::KindOfPath(out_)) {
    case platform::PathKind::kNothing:
      return false;
    case platform::PathKind::kRegular:
      if (options_.force) return false;
      return !Fail(out_ + " exists and is left as it is (--force replaces it)");
    case platform::PathKind::kLink:
      return !Fail(out_ + " is a symbolic link: the copy is never written through one");
    case platform::PathKind::kFolder:
      return !Fail(out_ + " is a folder");
    case platform::PathKind::kOther:
      break;
  }
  return !Fail(out_ + " is not a regular file");
}

bool Run::CopyFile(const Salvage& salvage) {
  // The file held open by the caller is read through it: a second open of
  // it could meet the caller's own lock.
  CTEVDatabase* held =
      options_.source != nullptr && options_.source->IsOpen() ? options_.source : nullptr;
  const platform::FileHandle from =
      held != nullptr ? platform::kNoFile : platform::OpenExisting(in_, false);
  if (held == nullptr && from == platform::kNoFile) {
    const int error = platform::LastError();
    return Fail(in_ + ": cannot open the file (error " + Num(error) +
                "): " + OpenFailureCause(error, false));
  }
  const int64_t size = held != nullptr ? FileSizeOf(*held) : platform::FileSize(from);
  const auto read_at = [&](int64_t at, uint8_t* buffer, size_t n) {
    return held != nullptr ? held->ReadAt(at, buffer, n) : platform::ReadAt(from, at, buffer, n);
  };
  const auto next_data = [&](int64_t at) {
    return held != nullptr ? at : platform::NextData(from, at);
  };
  if (!ClearStale(journal_) || !ClearStale(part_)) {
    platform::Close(from);
    return false;
  }
  const platform::FileHandle to = platform::Seam().CreateNew(part_);
  if (to == platform::kNoFile) {
    platform::Close(from);
    return Fail("cannot write " + out_ + " (" + CreateCause(platform::LastError()) + ")");
  }
  created_ = true;
  std::vector<uint8_t> piece(kCopyPiece);
  bool copied = size >= 0;
  const auto piece_size = static_cast<int64_t>(kCopyPiece);
  // The last piece is always written: it gives the copy its size.
  const int64_t last_piece = size > 0 ? (size - 1) / piece_size * piece_size : 0;
  for (int64_t at = 0; copied && at < size; at += piece_size) {
    // A hole the file holds (sparse regions read as zeros) stays a hole in
    // the copy; the pieces before the next data are skipped unread, up to
    // the first one a taken-back header value lies in.
    int64_t skip_to = std::min(next_data(at) / piece_size * piece_size, last_piece);
    for (const auto& patch : salvage.patches) {
      if (patch.first >= at) skip_to = std::min(skip_to, patch.first / piece_size * piece_size);
    }
    if (skip_to > at) {
      at = skip_to - piece_size;
      copied = Progress("copying", skip_to, size);
      continue;
    }
    const auto n = static_cast<size_t>(std::min<int64_t>(size - at, kCopyPiece));
    if (read_at(at, piece.data(), n) != n) {
      copied =
          Fail(in_ + ": cannot read the file (" + platform::ErrorText(platform::LastError()) + ")");
      break;
    }
    for (const auto& [offset, bytes] : salvage.patches) {
      for (size_t i = 0; i < bytes.size(); ++i) {
        const int64_t o = offset + static_cast<int64_t>(i) - at;
        if (o >= 0 && o < static_cast<int64_t>(n)) piece[static_cast<size_t>(o)] = bytes[i];
      }
    }
    const bool last = at + static_cast<int64_t>(n) == size;
    if (!last && std::all_of(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n),
                             [](uint8_t b) { return b == 0; })) {
      continue;
    }
    if (platform::Seam().WriteAt(to, at, piece.data(), n) != n) {
      copied = Fail("cannot write " + out_ + " (" + CreateCause(platform::LastError()) + ")");
    }
    copied = copied && Progress("copying", at + static_cast<int64_t>(n), size);
  }
  platform::Close(from);
  platform::Close(to);
  return copied && CopyJournal();
}

bool Run::CopyJournal() {
  // An interrupted change of the file is undone on the copy: its journal
  // goes beside the copy, and the copy's open applies it.
  const JournalReport found = InspectJournal(in_);
  if (found.state == JournalState::kInvalid) {
    Line(RepairLine::kCut, JournalPath(in_),
         "a journal that is not applied: " + JournalFaultText(found),
         "not carried over: the copy holds the file as it stands, which may hold part of an "
         "interrupted change");
  }
  if (found.state != JournalState::kValid || salvaged_) {
    if (found.state == JournalState::kValid) {
      Line(RepairLine::kCut, JournalPath(in_), "an interrupted change",
           "not undone: the copy's header was taken back from the page maps, and the journal "
           "belongs to the file as it was");
    }
    return true;
  }
  const platform::FileHandle from = platform::OpenOwnFile(JournalPath(in_));
  const platform::FileHandle to = platform::Seam().CreateNew(journal_);
  bool copied = from != platform::kNoFile && to != platform::kNoFile;
  std::vector<uint8_t> piece(kCopyPiece);
  for (int64_t at = 0; copied;) {
    const size_t n = platform::ReadAt(from, at, piece.data(), piece.size());
    if (n == 0) break;
    copied = platform::Seam().WriteAt(to, at, piece.data(), n) == n;
    at += static_cast<int64_t>(n);
  }
  copied = copied && platform::Seam().Sync(to);
  if (!copied) Fail("cannot write " + journal_ + " (" + CreateCause(platform::LastError()) + ")");
  platform::Close(from);
  platform::Close(to);
  journal_copied_ = copied;
  return copied;
}

bool Run::OpenCopy() {
  db_ = std::make_unique<CTEVDatabase>();
  const int opened = db_->OpenDatabase(part_, 0);
  if (opened == kOpenCorrupt) {
    return Fail(in_ + ": " + kCorruptFileText + ", and what its page maps give back does not " +
                "make it open: there is nothing to mend from");
  }
  if (opened != kOpenOk) {
    return Fail("cannot open the copy " + part_ + " (" +
                OpenFailureCause(platform::LastError(), true) + ")");
  }
  return true;
}

bool Run::EndChange() {
  if (write_failed_ || db_->ChangeFailed()) {
    const int error = ChangeError();
    db_->RollBackChange();
    return Fail("cannot write the copy " + part_ + " (" + WriteFailureCause(error, part_) + ")");
  }
  if (db_->CommitChange() != 1) {
    return Fail("cannot write the copy " + part_ + " (" + WriteFailureCause(ChangeError(), part_) +
                ")");
  }
  return true;
}

// ---- Rounds of mends --------------------------------------------------------

bool Run::Rounds(CheckReport report) {
  for (int round = 0;; ++round) {
    if (round == kRounds || !Mendable(report)) break;
    const size_t lines = report_.lines.size();
    index_done_ = false;
    bool reopen = false;
    std::vector<void (Run::*)(const CheckReport&)> made;
    round_steps_ = static_cast<int64_t>(std::size(kMends));
    round_step_ = 0;
    for (const MendRow& row : kMends) {
      ++round_step_;
      if (!Has(report, row.kind) || std::find(made.begin(), made.end(), row.mend) != made.end()) {
        continue;
      }
      made.push_back(row.mend);
      if (!Progress("mending", round_step_, round_steps_)) break;
      (this->*row.mend)(report);
      if (cancelled_ || write_failed_ || db_->ChangeFailed()) break;
      if (row.reopen) {
        reopen = true;
        break;
      }
    }
    if (cancelled_) return false;
    if (!EndChange()) return false;
    if (reopen) {
      db_->CloseDatabase();
      if (db_->LastChangeEnd() != ChangeEnd::kCommitted) {
        return Fail("cannot write the copy " + part_ + " (" +
                    WriteFailureCause(ChangeError(), part_) + ")");
      }
      if (!OpenCopy()) return false;
    }
    if (report_.lines.size() == lines && !reopen) break;  // nothing more to mend
    report = CheckDatabase(*db_, part_, CheckStage("checking the copy"));
    if (report.cancelled) return false;
  }
  report_.after = std::move(report);
  return true;
}

bool Run::Finish() {
  for (const Finding& f : report_.after.findings) {
    if (f.severity == Severity::kDamage) {
      Line(RepairLine::kLeft, f.place, f.what, "left as it is: the repair has no mend for it");
    }
  }
  db_->CloseDatabase();
  if (db_->LastChangeEnd() != ChangeEnd::kCommitted) {
    return Fail("cannot write the copy " + part_ + " (" + WriteFailureCause(ChangeError(), part_) +
                ")");
  }
  db_.reset();
  // A spent journal that could not be removed goes with the copy's name.
  if (platform::KindOfPath(journal_) != platform::PathKind::kNothing &&
      !platform::Seam().RemoveFile(journal_)) {
    return Fail("cannot remove " + journal_ + " (" + CreateCause(platform::LastError()) + ")");
  }
  if (!platform::Seam().RenameOver(part_, out_)) {
    return Fail("cannot rename " + part_ + " to " + out_ + " (" +
                CreateCause(platform::LastError()) + ")");
  }
  created_ = false;
  platform::Seam().SyncFolder(out_);
  return true;
}

void Run::CleanUp() {
  if (db_) {
    db_->RollBackChange();
    db_.reset();
  }
  if (!created_) return;
  if (platform::KindOfPath(journal_) != platform::PathKind::kNothing) {
    platform::Seam().RemoveFile(journal_);
  }
  platform::Seam().RemoveFile(part_);
  platform::Seam().SyncFolder(part_);
}

void Run::Go() {
  if (Refused()) return;
  Salvage salvage;
  {
    CTEVDatabase own;
    const bool held = options_.source != nullptr && options_.source->IsOpen();
    const int opened = held ? kOpenOk : own.OpenDatabase(in_, 1);
    CTEVDatabase& in = held ? *options_.source : own;
    if (opened == kOpenFailed) {
      const int error = platform::LastError();
      Fail(in_ + ": cannot open the file (error " + Num(error) +
           "): " + OpenFailureCause(error, false));
      return;
    }
    if (opened == kOpenOk) {
      report_.before = CheckDatabase(in, in_, CheckStage("checking"));
      if (report_.before.cancelled) {
        report_.cancelled = true;
        Fail("stopped: nothing was written");
        return;
      }
    } else {
      const platform::FileHandle file = platform::OpenExisting(in_, false);
      if (file != platform::kNoFile) {
        salvage = SalvageHeader(file);
        platform::Close(file);
      }
      if (!salvage.recognisable) {
        Fail(in_ + ": " + kCorruptFileText + ", and there is nothing to mend from: " +
             (salvage.why.empty() ? std::string("it cannot be read") : salvage.why));
        return;
      }
      salvaged_ = true;
      report_.lines = salvage.lines;
    }
  }
  const bool done = CopyFile(salvage) && OpenCopy() && [&] {
    if (journal_copied_) {
      if (db_->Recovered()) {
        Line(RepairLine::kMended, JournalPath(in_), "an interrupted change",
             "undone on the copy, as opening the file for writing would undo it: the copy is "
             "the file as it was before the change began");
      } else {
        Line(RepairLine::kCut, JournalPath(in_), "an interrupted change",
             "not undone: the copy's journal could not be applied");
      }
    }
    // The copy holds the file's bytes: the file's check stands for it,
    // unless its header was taken back or a change undone.
    CheckReport first;
    if (salvaged_ || journal_copied_) {
      first = CheckDatabase(*db_, part_, CheckStage("checking the copy"));
    } else {
      first = report_.before;
      // A journal beside the file is not beside the copy.
      first.findings.erase(
          std::remove_if(first.findings.begin(), first.findings.end(),
                         [](const Finding& f) { return f.kind == FindingKind::kJournal; }),
          first.findings.end());
    }
    return !first.cancelled && Rounds(std::move(first)) && Finish();
  }();
  if (!done || cancelled_) {
    if (cancelled_) {
      report_.cancelled = true;
      report_.error = "stopped: nothing was written";
    }
    CleanUp();
    report_.status = kRepairFailed;
    return;
  }
  report_.status = report_.Count(RepairLine::kCut) + report_.Count(RepairLine::kLeft) == 0
                       ? kRepairClean
                       : kRepairCut;
}

// ---- The mends ------------------------------------------------------------

void Run::MendVersionText(const CheckReport&) {
  const std::string was = Shown(db_->Header().data() + kHdrVersionText, 4);
  db_->WriteHeader();  // stores "500"
  db_->SetModified();
  Line(RepairLine::kMended, "header", "the version text is " + was,
       "\"500\", as every header write stores it");
}

void Run::MendRegionCount(const CheckReport&) {
  int maps = 0;
  uint8_t first = 0;
  for (; maps < kMaxRegions; ++maps) {
    const int64_t at = kRegionBase + maps * kRegionSize;
    if (db_->ReadAt(at + kPageSize - 1, &first, 1) != 1 || db_->ReadAt(at, &first, 1) != 1 ||
        first != kPageMapTable) {
      break;
    }
  }
  const int32_t was = db_->HeaderI32(kHdrRegionCount);
  if (was == maps) return;
  SetHeader(kHdrRegionCount, maps);
  Line(RepairLine::kMended, "header", "region count " + Num(was),
       Num(maps) + ": the regions from 0 on whose page map stands in the file");
}

void Run::MendPageCounts(const CheckReport&) {
  const int64_t size = FileSizeOf(*db_);
  std::vector<uint8_t> map(kPageSize);
  for (int r = 0; r < kMaxRegions; ++r) {
    const int64_t base = kRegionBase + r * kRegionSize;
    std::array<int, kTableCount + 1> mapped{}, within{};
    if (r < db_->PageListCount() && db_->ReadAt(base, map.data(), map.size()) == map.size()) {
      for (int p = 1; p < kPageSize; ++p) {
        const int t = static_cast<int8_t>(map[static_cast<size_t>(p)]);
        if (t < 1 || t > kTableCount) continue;
        ++mapped[static_cast<size_t>(t)];
        if (base + int64_t{p + 1} * kPageSize <= size) ++within[static_cast<size_t>(t)];
      }
    }
    for (int t = 1; t <= kTableCount; ++t) {
      if (t == kPageMapTable) continue;
      const int count = db_->PageCount(r, t);
      const int m = mapped[static_cast<size_t>(t)], w = within[static_cast<size_t>(t)];
      const int now = count < 0 || count > m ? w : std::min(count, w);
      if (now == count) continue;
      uint8_t bytes[2];
      EncodeU16(bytes, 0, static_cast<uint16_t>(now));
      const auto at = static_cast<int32_t>(kPageCountOffset + (r * kTableCount + t - 1) * 2);
      if (db_->WriteAt(at, bytes, 2) != 1) Failed();
      db_->SetModified();
      Line(RepairLine::kMended, "region " + Num(r) + " table " + Num(t),
           "the page-count table gave " + Num(count) + " pages, the page map " + Num(m) +
               (m > w ? " (" + Num(m - w) + " of them past the end of the file)" : ""),
           Num(now) + ": the pages the page map gives the table within the file");
    }
  }
}

void Run::EachName(const uint8_t* person,
                   const std::function<void(int32_t, const INameRecImage&)>& each) {
  std::set<int32_t> met;
  INameRecImage name{};
  for (int32_t at = DecodeI32(person, individ::kStartnames);
       at > 0 && met.insert(at).second && db_->LoadINameRec(at, name) != 0;
       at = DecodeI32(name.data(), iname::kNext)) {
    each(at, name);
  }
}

void Run::MendNameChains(const CheckReport&) {
  // A name two chains hold goes to the individual it names as its owner,
  // else to the first; the other chain is cut before it.
  std::vector<std::pair<int32_t, int32_t>> names;  // name, individual
  ForEachRecord(
      *db_, kIndividTable,
      [&](int32_t rin, const uint8_t* person) {
        EachName(person, [&](int32_t at, const INameRecImage&) { names.emplace_back(at, rin); });
      },
      Going());
  std::sort(names.begin(), names.end());
  std::map<int32_t, int32_t> holder;  // contested name -> the individual that keeps it
  for (size_t i = 1; i < names.size(); ++i) {
    if (names[i].first != names[i - 1].first || holder.count(names[i].first) != 0) continue;
    INameRecImage name{};
    db_->LoadINameRec(names[i].first, name);
    const int32_t owner = DecodeI32(name.data(), iname::kOwnerId);
    int32_t keeper = names[i - 1].second;
    for (size_t j = i - 1; j < names.size() && names[j].first == names[i].first; ++j) {
      if (names[j].second == owner) keeper = owner;
    }
    holder[names[i].first] = keeper;
  }
  names.clear();
  names.shrink_to_fit();

  const RecordType& people = kRecordTypes[kIndividualCode];
  ForEachRecord(
      *db_, kIndividTable,
      [&](int32_t rin, const uint8_t* person) {
        const std::string who = std::string(people.layout->kind) + " " + Num(rin);
        // The link that leads to the name at hand: the individual's
        // Startnames, then each name's next link.
        int64_t link_at = RecordAt(kIndividTable, rin) + static_cast<int64_t>(individ::kStartnames);
        std::string link_place = who;
        std::string link_name = "Startnames";
        int32_t previous = 0;
        std::set<int32_t> met;
        const auto cut = [&](int32_t at, const std::string& why) {
          SetI32(link_at, 0);
          Line(RepairLine::kCut, link_place,
               "its " + link_name + " link " + Num(at) + " leads to " + why,
               "0: the chain of names ends there");
        };
        for (int32_t at = DecodeI32(person, individ::kStartnames); at != 0;) {
          if (at < 0) return cut(at, "no record");
          if (!met.insert(at).second) return cut(at, "a name met before: the chain loops");
          INameRecImage name{};
          if (db_->LoadINameRec(at, name) == 0) return cut(at, "a record that cannot be read");
          const auto kept = holder.find(at);
          if (kept != holder.end() && kept->second != rin) {
            return cut(at, "a name of individual " + Num(kept->second) + "'s chain");
          }
          const std::string place = who + " name at " + Num(at);
          const int32_t stored_previous = DecodeI32(name.data(), iname::kPrevious);
          if (stored_previous != previous) {
            SetI32(at + static_cast<int64_t>(iname::kPrevious), previous);
            Line(RepairLine::kMended, place, "its previous link is " + Num(stored_previous),
                 Num(previous) + ": the name before it in the chain");
          }
          const int32_t owner = DecodeI32(name.data(), iname::kOwnerId);
          if (DecodeU8(name.data(), iname::kType) == 1 && owner != rin) {
            SetI32(at + static_cast<int64_t>(iname::kOwnerId), rin);
            Line(RepairLine::kMended, place, "its owner is " + Num(owner),
                 Num(rin) + ": the individual whose chain holds it");
          }
          previous = at;
          link_at = at + static_cast<int64_t>(iname::kNext);
          link_place = place;
          link_name = "next";
          at = DecodeI32(name.data(), iname::kNext);
        }
      },
      Going());
}

void Run::MendChain(int32_t code, size_t next_at, size_t prev_at) {
  const RecordType& type = kRecordTypes[code];
  std::map<int32_t, std::pair<int32_t, int32_t>> links;  // record -> next, previous
  ForEachRecord(
      *db_, type.table,
      [&](int32_t n, const uint8_t* r) {
        links[n] = {DecodeI32(r, next_at), DecodeI32(r, prev_at)};
      },
      Going());
  const auto place = [&](int32_t n) { return std::string(type.layout->kind) + " " + Num(n); };
  const auto field = [&](int32_t n, size_t at) {
    return RecordAt(type.table, n) + static_cast<int64_t>(at);
  };
  std::set<int32_t> reached;
  // Walks the chain from `start` forwards: each record's previous link set
  // to the record before it, a next link to no record or to one reached
  // before cut.
  const auto walk = [&](int32_t start) {
    for (int32_t at = start;;) {
      reached.insert(at);
      const int32_t next = links[at].first;
      if (next == 0) return;
      const bool known = links.count(next) != 0;
      if (!known || reached.count(next) != 0) {
        SetI32(field(at, next_at), 0);
        links[at].first = 0;
        Line(RepairLine::kCut, place(at),
             "its next link " + Num(next) +
                 (known ? " leads back into a chain" : " leads to no record"),
             "0: the chain ends there");
        return;
      }
      if (links[next].second != at) {
        SetI32(field(next, prev_at), at);
        Line(RepairLine::kMended, place(next), "its previous link is " + Num(links[next].second),
             Num(at) + ": the record whose next link leads to it");
        links[next].second = at;
      }
      at = next;
    }
  };
  // A chain begins at a record whose previous link is 0 and to which no
  // next link leads: a previous link lost to 0 does not make one.
  std::set<int32_t> led;
  for (const auto& [n, link] : links) {
    if (link.first != 0 && links.count(link.first) != 0) led.insert(link.first);
  }
  for (const auto& [n, link] : links) {
    if (link.second == 0 && reached.count(n) == 0 && led.count(n) == 0) walk(n);
  }
  // Records no chain reached: each run of them begins a chain of its own,
  // from its first record (the one whose previous record does not lead to
  // it).
  for (const auto& [n, link] : links) {
    if (reached.count(n) != 0 || (link.first == 0 && link.second == 0)) continue;
    int32_t head = n;
    std::set<int32_t> back{n};
    for (;;) {
      const int32_t p = links[head].second;
      const auto before = links.find(p);
      if (before == links.end() || reached.count(p) != 0 || before->second.first != head ||
          !back.insert(p).second) {
        break;
      }
      head = p;
    }
    if (links[head].second != 0) {
      SetI32(field(head, prev_at), 0);
      Line(RepairLine::kCut, place(head),
           "its previous link is " + Num(links[head].second) +
               ", but no chain leads to it from a first record",
           "0: it begins a chain of its own");
      links[head].second = 0;
    }
    walk(head);
  }
}

void Run::MendChains(const CheckReport& report) {
  const auto named = [&](int32_t code) {
    return std::any_of(report.findings.begin(), report.findings.end(), [code](const Finding& f) {
      return f.kind == FindingKind::kChain && f.code == code;
    });
  };
  if (named(kNoteCode)) MendChain(kNoteCode, note::kNextBlock, note::kPrevBlock);
  if (named(kCitationCode)) MendChain(kCitationCode, cit::kNextCit, cit::kPrevCit);
  if (named(kMediaCode)) MendChain(kMediaCode, media::kNext, media::kPrevious);
}

void Run::CutTableLinks(const CheckReport&) {
  for (const int32_t code : {kMarriageCode, kFamilyCode}) {
    const RecordType& type = kRecordTypes[code];
    std::map<const TableSpec*, int32_t> slots_of;
    for (const TableLink& link : kTableLinks)
      slots_of[link.target] = TableSlots(*db_, *link.target);
    ForEachRecord(
        *db_, type.table,
        [&](int32_t n, const uint8_t* r) {
          for (const TableLink& link : kTableLinks) {
            if (link.code != code) continue;
            const int32_t v = DecodeI32(r, link.offset);
            const int32_t slots = slots_of[link.target];
            if (v >= 0 && v <= slots) continue;
            SetI32(RecordAt(type.table, n) + static_cast<int64_t>(link.offset), 0);
            Line(RepairLine::kCut, std::string(type.layout->kind) + " " + Num(n),
                 "its " + FieldName(*type.layout, link.offset) + " link is " + Num(v) +
                     ", outside its table (" + Num(slots) + " records)",
                 "0: it leads nowhere");
          }
        },
        Going());
  }
}

void Run::MendIndividualBound(const CheckReport&) {
  const int32_t was = db_->HeaderI32(kHdrIndividBound);
  int32_t highest = was;
  ForEachRecord(
      *db_, kIndividTable,
      [&](int32_t rin, const uint8_t* person) {
        if (DecodeI32(person, individ::kStartnames) > 0) highest = std::max(highest, rin);
      },
      Going());
  const int32_t people = TableSlots(*db_, kIndividTable);
  for (const int32_t code : {kMarriageCode, kFamilyCode}) {
    ForEachRecord(
        *db_, kRecordTypes[code].table,
        [&](int32_t, const uint8_t* r) {
          for (const TableLink& link : kTableLinks) {
            if (link.code != code || link.target != &kIndividTable) continue;
            const int32_t v = DecodeI32(r, link.offset);
            if (v <= highest || v > people) continue;
            IndividImage person{};
            if (db_->LoadIndivid(person, v) == 1 &&
                std::any_of(person.begin(), person.end(), [](uint8_t b) { return b != 0; })) {
              highest = v;
            }
          }
        },
        Going());
  }
  if (highest == was) return;
  SetHeader(kHdrIndividBound, highest);
  Line(RepairLine::kMended, "header", "the individual bound is " + Num(was),
       Num(highest) +
           ": the highest individual that holds names or that a marriage or family "
           "link names");
}

void Run::MendNameArea(const CheckReport&) {
  const int32_t start = db_->HeaderI32(kHdrNameAreaStart);
  const int32_t end = db_->HeaderI32(kHdrNameAreaEnd);
  int32_t low = start, high = end;
  ForEachRecord(
      *db_, kIndividTable,
      [&](int32_t, const uint8_t* person) {
        EachName(person, [&](int32_t, const INameRecImage& name) {
          for (const size_t field : {iname::kPrevious, iname::kNext}) {
            const int32_t v = DecodeI32(name.data(), field);
            if (v <= 0) continue;
            low = std::min(low, v);
            high = std::max(high, v);
          }
        });
      },
      Going());
  if (low == start && high == end) return;
  db_->SetHeaderI32(kHdrNameAreaStart, low);
  SetHeader(kHdrNameAreaEnd, high);
  Line(RepairLine::kMended, "header", "the name area is " + Num(start) + " to " + Num(end),
       Num(low) + " to " + Num(high) + ": it holds every name the chains link to");
}

void Run::MendRootCopies(const CheckReport& report) {
  const int32_t first = db_->HeaderI32(kHdrRootNode);
  const int32_t second = db_->HeaderI32(kHdrRootNode2);
  const std::string was =
      "the two copies of the index root differ: " + Num(first) + " and " + Num(second);
  // The walk went from the second copy: when it found the index sound, that
  // copy is the root.
  if (!Has(report, FindingKind::kIndex)) {
    SetHeader(kHdrRootNode, second);
    Line(RepairLine::kMended, "header", was,
         Num(second) + " in both: the index hangs soundly from it");
    return;
  }
  db_->SetHeaderI32(kHdrRootNode2, first);
  const CheckReport from_first = CheckDatabase(*db_, part_, CheckStage("checking the copy"));
  if (from_first.cancelled) {
    cancelled_ = true;
    return;
  }
  if (!Has(from_first, FindingKind::kIndex)) {
    SetHeader(kHdrRootNode2, first);
    Line(RepairLine::kMended, "header", was,
         Num(first) + " in both: the index hangs soundly from it");
    index_done_ = true;
    return;
  }
  db_->SetHeaderI32(kHdrRootNode2, second);
  Line(RepairLine::kMended, "header", was,
       "the index hangs soundly from neither: it is rebuilt, and both copies name its root");
  MendIndex(report);
}

void Run::MendIndex(const CheckReport& report) {
  if (index_done_) return;
  index_done_ = true;
  std::string was;
  size_t findings = 0;
  for (const Finding& f : report.findings) {
    if (f.kind != FindingKind::kIndex) continue;
    if (findings++ == 0) was = f.place + ": " + f.what;
  }
  if (findings > 1) was += " (and " + Num(static_cast<int64_t>(findings - 1)) + " more findings)";
  const IndexRebuild r = RebuildIndex(*db_, Going());
  if (r.write_failed) Failed();
  if (cancelled_ || write_failed_) return;
  if (!r.done) {
    Line(RepairLine::kLeft, "index", was,
         "left as it is: the individuals hold " + Num(r.names) +
             " names, and the index node table has room for " + Num(r.capacity));
    return;
  }
  Line(RepairLine::kMended, "index", was,
       "rebuilt from the individuals' names: " + Num(r.names) + " nodes in name order, " +
           Num(r.depth) + " deep, root " + Num(db_->HeaderI32(kHdrRootNode2)));
}

}  // namespace

const char* RepairActionName(RepairLine::Action action) {
  switch (action) {
    case RepairLine::kMended:
      return "mended";
    case RepairLine::kCut:
      return "cut";
    case RepairLine::kLeft:
      break;
  }
  return "left";
}

size_t RepairReport::Count(RepairLine::Action action) const {
  return static_cast<size_t>(std::count_if(
      lines.begin(), lines.end(), [action](const RepairLine& l) { return l.action == action; }));
}

std::string RepairSummary(const RepairReport& report) {
  std::string text = Num(static_cast<int64_t>(report.Count(RepairLine::kMended))) + " mended, " +
                     Num(static_cast<int64_t>(report.Count(RepairLine::kCut))) + " cut";
  const size_t left = report.Count(RepairLine::kLeft);
  if (left > 0) text += ", " + Num(static_cast<int64_t>(left)) + " left";
  return text;
}

RepairReport RepairDatabase(const std::string& in_path, const std::string& out_path,
                            const RepairOptions& options) {
  RepairReport report;
  Run run(in_path, out_path, options, report);
  try {
    run.Go();
  } catch (...) {
    // Memory ran out (the caller ends with it): nothing is left behind.
    run.CleanUp();
    throw;
  }
  return report;
}

}  // namespace kinscope
