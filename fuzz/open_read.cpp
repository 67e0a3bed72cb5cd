// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: open and read a described file. Read-only: every table's
// records at first, last, page-boundary and out-of-range numbers, every
// Load*, and name records at offsets from the input, the header and the
// records read. Read-write on a copy: opening and closing changes only the
// version text, and a write of a record as it was read changes only the
// modification time besides.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "Coding.h"
#include "FuzzSupport.h"
#include "RecordTables.h"
#include "TEVDatabase.h"
#include "TevWriter.h"

using namespace kinscope;

namespace {

constexpr std::array<TableSpec, 9> kSpecs = {kIndividTable, kMarrTable,       kNoteTable,
                                             kFamLinkTable, kCitTable,        kIndexNodeTable,
                                             kUserEvTable,  kUserEvTypeTable, kMediaTable};

bool AllZero(const std::vector<uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

// Reads records and name records; returns a record that was read whole
// (its table and number), for the write check.
std::pair<const TableSpec*, int32_t> ReadAll(CTEVDatabase& db, fuzz::Input& in,
                                             std::vector<int32_t> offsets) {
  std::pair<const TableSpec*, int32_t> found{nullptr, 0};
  for (const TableSpec& t : kSpecs) {
    int64_t last = 0;
    for (int r = 0; r < kMaxRegions; ++r)
      last += int64_t{std::max(0, db.PageCount(r, t.table))} * t.per_page;
    const int32_t last32 = static_cast<int32_t>(std::min<int64_t>(last, INT32_MAX - 1));
    const int32_t numbers[] = {INT32_MIN,
                               -1,
                               0,
                               1,
                               2,
                               t.per_page - 1,
                               t.per_page,
                               t.per_page + 1,
                               2 * t.per_page + 1,
                               last32,
                               last32 + 1,
                               INT32_MAX,
                               in.I32(),
                               in.I32()};
    std::vector<uint8_t> record(static_cast<size_t>(t.size));
    for (const int32_t n : numbers) {
      const int ok = db.ReadRecord(record.data(), t.size, n, t.table, t.per_page);
      if (ok != 0 && ok != 1) fuzz::Fail("ReadRecord gave neither 0 nor 1");
      if (ok == 0 && db.LocateRecord(n, t.table, t.size, t.per_page) == 0 && !AllZero(record)) {
        fuzz::Fail("a record not found does not read as zeros");
      }
      if (ok == 1) {
        if (found.first == nullptr) found = {&t, n};
        for (size_t at = 0; at + 4 <= record.size() && offsets.size() < 64; at += 4) {
          offsets.push_back(DecodeI32(record.data(), at));
        }
      }
    }
  }
  for (int32_t n : {1, 2, in.I32()}) {
    IndividImage a{};
    MarrImage b{};
    NoteImage c{};
    FamLinkImage d{};
    CitImage e{};
    IndexNodeImage f{};
    UserEvImage g{};
    UserEvTypeImage h{};
    MediaImage i{};
    db.LoadIndivid(a, n);
    db.LoadMarr(b, n);
    db.LoadNote(c, n);
    db.LoadFamLink(d, n);
    db.LoadCit(e, n);
    db.LoadIndexNode(f, n);
    db.LoadUserEv(g, n);
    db.LoadUserEvType(h, n);
    db.LoadMedia(i, n);
  }
  const int32_t low = db.HeaderI32(kHdrNameAreaStart);
  const int32_t high = db.HeaderI32(kHdrNameAreaEnd);
  auto plus = [](int32_t a, int32_t b) {  // wraps as the file's 32-bit offsets would
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  };
  for (int32_t o : {low, plus(low, -1), plus(low, 1), high, plus(high, -1), plus(high, 1),
                    INT32_MAX, -1, 0, 1, in.I32()}) {
    offsets.push_back(o);
  }
  for (const int32_t o : offsets) {
    NameRecImage name{};
    const int length = db.LoadNameRec(o, name);
    if (length != 0 && (length < 14 || length > 269)) fuzz::Fail("name record length");
    if (name[kNameRecRead - 1] != 0) fuzz::Fail("name record not terminated");
    if (length != 0 && db.NameRecText(o).size() + 14 != static_cast<size_t>(length)) {
      fuzz::Fail("name record text and length disagree");
    }
    INameRecImage iname{};
    const int ilength = db.LoadINameRec(o, iname);
    if (ilength != 0 && (ilength < 16 || ilength > 272)) fuzz::Fail("individual's name length");
    if (iname.back() != 0) fuzz::Fail("individual's name not terminated");
  }
  return found;
}

// The file at `path` equals `before` except the bytes from `from` for `count`.
bool SameBut(const tevwriter::Bytes& before, const std::string& path,
             std::initializer_list<std::pair<size_t, size_t>> spans) {
  tevwriter::Bytes after = tevwriter::ReadWholeFile(path);
  if (after.size() != before.size()) return false;
  tevwriter::Bytes expected = before;
  for (const auto& [from, count] : spans) {
    std::copy(after.begin() + static_cast<std::ptrdiff_t>(from),
              after.begin() + static_cast<std::ptrdiff_t>(from + count),
              expected.begin() + static_cast<std::ptrdiff_t>(from));
  }
  return after == expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const fuzz::Described d = fuzz::Describe(in);
  const std::string path = fuzz::WriteDescribed(d, "open_read.tev");
  if (path.empty()) fuzz::Fail("cannot write the described file");

  std::pair<const TableSpec*, int32_t> found{nullptr, 0};
  {
    CTEVDatabase db;
    const int result = db.OpenDatabase(path, 1);
    if (result != kOpenOk && result != kOpenCorrupt) fuzz::Fail("open gave neither 1 nor -1");
    if (result != kOpenOk) return 0;
    found = ReadAll(db, in, d.name_offsets);
    db.CloseDatabase();
  }

  // Read-write: close writes the header back with "500" in front. Files of
  // further regions are megabytes long: comparing them whole would make the
  // target a hundred times slower, so only files of region 0 are compared.
  if (std::filesystem::file_size(path) > (uintmax_t{1} << 20)) return 0;
  const tevwriter::Bytes before = tevwriter::ReadWholeFile(path);
  {
    CTEVDatabase db;
    if (db.OpenDatabase(path, 0) != kOpenOk) fuzz::Fail("a file read-only opens fails read-write");
    db.CloseDatabase();
  }
  if (!SameBut(before, path, {{0, 4}})) fuzz::Fail("open and close changed more than the version");
  if (found.first != nullptr) {
    const TableSpec& t = *found.first;
    CTEVDatabase db;
    if (db.OpenDatabase(path, 0) != kOpenOk) fuzz::Fail("the file no longer opens");
    std::vector<uint8_t> record(static_cast<size_t>(t.size));
    if (db.ReadRecord(record.data(), t.size, found.second, t.table, t.per_page) != 1 ||
        db.WriteRecord(record.data(), t.size, found.second, t.table, t.per_page) != 1) {
      fuzz::Fail("a record read whole cannot be written back");
    }
    db.CloseDatabase();
    if (!SameBut(before, path, {{0, 4}, {kHdrModifyTime, 16}})) {
      fuzz::Fail("writing a record as it was changed more than the version and the time");
    }
  }
  return 0;
}
