// SPDX-License-Identifier: GPL-3.0-or-later
// The malformed-file table: damaged files, one a row. Each row names the
// damage done to a sound file written with our writer, the result the open
// must give and what one probe read must give then. Shared by the engine's
// test and the window tests that run on every row.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TevWriter.h"

namespace malformed {

using tevwriter::Bytes;
using tevwriter::TevFile;

constexpr int kIndividTable = 2;
constexpr int kIndividSize = 221;
constexpr int kIndividPerPage = 8192 / kIndividSize;  // 37

// The sound file: three individuals on one page, a name record, an
// individual's name record and a name record without a zero byte, the name
// area bounds in the header.
struct Base {
  TevFile file;
  int64_t individ_page = 0;  // file offset of the individuals' page
  int32_t name = 0;          // "Boston"
  int32_t iname = 0;         // "John /Smith/"
  int32_t unended = 0;       // 13 zero bytes, then 300 'A'
};

inline Base MakeBase(int regions) {
  Base b{TevFile(regions)};
  for (int i = 0; i < 3; ++i)
    b.file.AppendRecord(kIndividTable, Bytes(kIndividSize, uint8_t(i + 1)));
  b.individ_page = b.file.RecordOffset(kIndividTable, kIndividSize, 1);
  b.name = b.file.AppendNameRec(0, 0, 0, 1, "Boston");
  b.iname = b.file.AppendINameRec(0, 0, 1, 1, "John /Smith/");
  Bytes unended(13, 0);
  unended.resize(313, 'A');
  b.unended = b.file.AppendRaw(unended);
  b.file.SetHeaderI32(70, b.name);
  b.file.SetHeaderI32(74, b.unended + 400);
  return b;
}

// What the probe reads once the file is open.
enum class Probe {
  kIndivid,  // LoadIndivid(at): 1 or 0
  kName,     // LoadNameRec(at): the stored length or 0
  kIName,    // LoadINameRec(at): the stored length or 0
};

struct Row {
  const char* damage;
  int regions;                              // of the sound file
  std::function<void(Base&)> harm;          // damage before the write
  std::function<int64_t(const Base&)> cut;  // size to cut the written file to, or -1
  int open;                                 // expected open result
  Probe probe;
  std::function<int64_t(const Base&)> at;  // the probe's record number or offset
  int expected;                            // the probe's result
};

inline auto None() {
  return [](Base&) {};
}
inline auto NoCut() {
  return [](const Base&) { return int64_t{-1}; };
}
inline auto CutAt(int64_t size) {
  return [size](const Base&) { return size; };
}
inline auto Number(int64_t n) {
  return [n](const Base&) { return n; };
}
inline auto Header32(int offset, int32_t value) {
  return [offset, value](Base& b) { b.file.SetHeaderI32(offset, value); };
}
inline auto HeaderBytes(int offset, Bytes bytes) {
  return [offset, bytes](Base& b) { b.file.SetHeaderBytes(offset, bytes); };
}
inline auto Count(int16_t count) {
  return [count](Base& b) { b.file.SetPageCount(0, kIndividTable, count); };
}
inline auto IndividMapByte(uint8_t value) {
  return [value](Base& b) {
    b.file.SetMapByte(0, static_cast<int>((b.individ_page - 12288) / 8192), value);
  };
}
inline int64_t EndOfFile(const Base& b) { return b.file.FileSize(); }

inline const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"nothing", 1, None(), NoCut(), 1, Probe::kIndivid, Number(3), 1},
      {"past the last individual", 1, None(), NoCut(), 1, Probe::kIndivid,
       Number(kIndividPerPage + 1), 0},
      {"header cut at 0", 1, None(), CutAt(0), -1, Probe::kIndivid, Number(1), 0},
      {"header cut at 8", 1, None(), CutAt(8), -1, Probe::kIndivid, Number(1), 0},
      {"header cut at 11", 1, None(), CutAt(11), -1, Probe::kIndivid, Number(1), 0},
      {"header cut at 1684", 1, None(), CutAt(1684), -1, Probe::kIndivid, Number(1), 0},
      {"page-count table missing", 1, None(), CutAt(1685), -1, Probe::kIndivid, Number(1), 0},
      {"page-count table cut short", 1, None(), CutAt(4096 + 8191), -1, Probe::kIndivid, Number(1),
       0},
      {"page map cut short", 1, None(), CutAt(12288 + 8191), -1, Probe::kIndivid, Number(1), 0},
      {"magic TEVX", 1, HeaderBytes(8, {'T', 'E', 'V', 'X'}), NoCut(), -1, Probe::kIndivid,
       Number(1), 0},
      {"magic TEV and 0xFF", 1, HeaderBytes(11, {0xFF}), NoCut(), -1, Probe::kIndivid, Number(1),
       0},
      {"magic TEW", 1, HeaderBytes(8, {'T', 'E', 'W', 0}), NoCut(), -1, Probe::kIndivid, Number(1),
       0},
      {"magic in lower case", 1, HeaderBytes(8, {'t', 'e', 'v', 0}), NoCut(), -1, Probe::kIndivid,
       Number(1), 0},
      {"version 501", 1, HeaderBytes(0, {'5', '0', '1', 0}), NoCut(), 1, Probe::kIndivid, Number(1),
       1},
      {"version empty", 1, HeaderBytes(0, {0, 0, 0, 0}), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"version 5000 unended", 1, HeaderBytes(0, {'5', '0', '0', '0'}), NoCut(), 1, Probe::kIndivid,
       Number(1), 1},
      {"region count 0", 1, Header32(18, 0), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"region count -1", 1, Header32(18, -1), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"region count 1, map missing", 1, None(), CutAt(12288), -1, Probe::kIndivid, Number(1), 0},
      {"region count 2, one map", 1, Header32(18, 2), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"region count 30, one map", 1, Header32(18, 30), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"region count 30 of 31", 31, Header32(18, 30), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"region count 31", 31, None(), NoCut(), 1, Probe::kIndivid, Number(2), 1},
      {"region count 32", 31, Header32(18, 32), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"region count 127", 31, Header32(18, 127), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"region count 128", 31, Header32(18, 128), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"region count 32767", 31, Header32(18, 32767), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"region count -32768", 31, Header32(18, -32768), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"region count INT32_MAX", 1, Header32(18, INT32_MAX), NoCut(), -1, Probe::kIndivid,
       Number(1), 0},
      {"page map byte 0 is 0", 1, [](Base& b) { b.file.SetMapByte(0, 0, 0); }, NoCut(), -1,
       Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 10", 1, [](Base& b) { b.file.SetMapByte(0, 0, 10); }, NoCut(), -1,
       Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 12", 1, [](Base& b) { b.file.SetMapByte(0, 0, 12); }, NoCut(), -1,
       Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 255", 1, [](Base& b) { b.file.SetMapByte(0, 0, 255); }, NoCut(), -1,
       Probe::kIndivid, Number(1), 0},
      {"map names table 0 for the page", 1, IndividMapByte(0), NoCut(), 1, Probe::kIndivid,
       Number(1), 0},
      {"map names table 33 for the page", 1, IndividMapByte(33), NoCut(), 1, Probe::kIndivid,
       Number(1), 0},
      {"map names table 255 for the page", 1, IndividMapByte(255), NoCut(), 1, Probe::kIndivid,
       Number(1), 0},
      {"map names table 3 for the page", 1, IndividMapByte(3), NoCut(), 1, Probe::kIndivid,
       Number(1), 0},
      {"a mapped page not counted", 1, [](Base& b) { b.file.SetMapByte(0, 100, kIndividTable); },
       NoCut(), 1, Probe::kIndivid, Number(kIndividPerPage + 1), 0},
      {"page count -1", 1, Count(-1), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"page count -32768", 1, Count(-32768), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"page count 0", 1, Count(0), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"page count 5, one mapped: first page", 1, Count(5), NoCut(), 1, Probe::kIndivid, Number(1),
       1},
      {"page count 5, one mapped: second page", 1, Count(5), NoCut(), 1, Probe::kIndivid,
       Number(kIndividPerPage + 1), 0},
      {"page count 8191: first page", 1, Count(8191), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"page count 8191: last record", 1, Count(8191), NoCut(), 1, Probe::kIndivid,
       Number(8191 * kIndividPerPage), 0},
      {"page count 32767: beyond", 1, Count(32767), NoCut(), 1, Probe::kIndivid, Number(INT32_MAX),
       0},
      {"page count in region 127", 1,
       [](Base& b) { b.file.SetPageCount(127, kIndividTable, 32767); }, NoCut(), 1, Probe::kIndivid,
       Number(1), 1},
      {"record page past the end", 1, None(), [](const Base& b) { return b.individ_page; }, 1,
       Probe::kIndivid, Number(1), 0},
      {"record cut short", 1, None(), [](const Base& b) { return b.individ_page + 100; }, 1,
       Probe::kIndivid, Number(1), 0},
      {"record ends at the end", 1, None(),
       [](const Base& b) { return b.individ_page + kIndividSize; }, 1, Probe::kIndivid, Number(1),
       1},
      {"name at its offset", 1, None(), NoCut(), 1, Probe::kName,
       [](const Base& b) { return b.name; }, 14 + 6},
      {"name at 0", 1, None(), NoCut(), 1, Probe::kName, Number(0), 0},
      {"name at -1", 1, None(), NoCut(), 1, Probe::kName, Number(-1), 0},
      {"individual's name at 0", 1, None(), NoCut(), 1, Probe::kIName, Number(0), 0},
      {"individual's name at -1", 1, None(), NoCut(), 1, Probe::kIName, Number(-1), 0},
      // One byte early the head takes a zero byte before the record, and the
      // text starts at the record's type byte (1): "\1Boston".
      {"name just below the name area", 1, None(), NoCut(), 1, Probe::kName,
       [](const Base& b) { return b.name - 1; }, 14 + 7},
      {"name just above the name area", 1, None(), NoCut(), 1, Probe::kName,
       [](const Base& b) { return b.unended + 401; }, 14},
      {"name at 2^31-1", 1, None(), NoCut(), 1, Probe::kName, Number(INT32_MAX), 0},
      {"individual's name at 2^31-1", 1, None(), NoCut(), 1, Probe::kIName, Number(INT32_MAX), 0},
      {"name at the end of the file", 1, None(), NoCut(), 1, Probe::kName, EndOfFile, 0},
      {"name head ends at the end", 1, None(), NoCut(), 1, Probe::kName,
       [](const Base& b) { return EndOfFile(b) - 13; }, 14},
      {"name head cut by the end", 1, None(), NoCut(), 1, Probe::kName,
       [](const Base& b) { return EndOfFile(b) - 12; }, 0},
      {"individual's name head cut by the end", 1, None(), NoCut(), 1, Probe::kIName,
       [](const Base& b) { return EndOfFile(b) - 14; }, 0},
      {"individual's name of stored length 0", 1,
       [](Base& b) {
         b.file.Patch(b.iname + 13, {0, 0});
       },
       NoCut(), 1, Probe::kIName, [](const Base& b) { return b.iname; }, 16 + 12},
      {"name without a zero byte", 1, None(), NoCut(), 1, Probe::kName,
       [](const Base& b) { return b.unended; }, 14 + 255},
      {"individual's name without a zero byte", 1, None(), NoCut(), 1, Probe::kIName,
       [](const Base& b) { return b.unended; }, 16 + 256},
  };
  return rows;
}

// Writes row `row`'s damaged file to `path` (and cuts it as the row says).
// False when the write or the cut fails.
inline bool WriteRow(const Row& row, Base& base, const std::string& path) {
  row.harm(base);
  if (!base.file.Write(path)) return false;
  const int64_t cut = row.cut(base);
  return cut < 0 || tevwriter::TruncateFile(path, cut);
}

}  // namespace malformed
