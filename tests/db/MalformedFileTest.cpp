// Damaged files, one a row: each row names the damage done to a sound file
// written with our writer, the result the open must give and what one probe
// read must give then.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Coding.h"
#include "Gedcom.h"
#include "GedcomLines.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;
using tevwriter::Bytes;
using tevwriter::TevFile;

namespace {

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

Base MakeBase(int regions) {
  Base b{TevFile(regions)};
  for (int i = 0; i < 3; ++i) b.file.AppendRecord(kIndividTable, Bytes(kIndividSize, uint8_t(i + 1)));
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
  int regions;                                     // of the sound file
  std::function<void(Base&)> harm;                 // damage before the write
  std::function<int64_t(const Base&)> cut;         // size to cut the written file to, or -1
  int open;                                        // expected open result
  Probe probe;
  std::function<int64_t(const Base&)> at;          // the probe's record number or offset
  int expected;                                    // the probe's result
};

auto None() { return [](Base&) {}; }
auto NoCut() { return [](const Base&) { return int64_t{-1}; }; }
auto CutAt(int64_t size) { return [size](const Base&) { return size; }; }
auto Number(int64_t n) { return [n](const Base&) { return n; }; }
auto Header32(int offset, int32_t value) {
  return [offset, value](Base& b) { b.file.SetHeaderI32(offset, value); };
}
auto HeaderBytes(int offset, Bytes bytes) {
  return [offset, bytes](Base& b) { b.file.SetHeaderBytes(offset, bytes); };
}
auto Count(int16_t count) {
  return [count](Base& b) { b.file.SetPageCount(0, kIndividTable, count); };
}
auto IndividMapByte(uint8_t value) {
  return [value](Base& b) {
    b.file.SetMapByte(0, static_cast<int>((b.individ_page - 12288) / 8192), value);
  };
}
int64_t EndOfFile(const Base& b) { return b.file.FileSize(); }

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"nothing", 1, None(), NoCut(), 1, Probe::kIndivid, Number(3), 1},
      {"past the last individual", 1, None(), NoCut(), 1, Probe::kIndivid, Number(kIndividPerPage + 1), 0},
      {"header cut at 0", 1, None(), CutAt(0), -1, Probe::kIndivid, Number(1), 0},
      {"header cut at 8", 1, None(), CutAt(8), -1, Probe::kIndivid, Number(1), 0},
      {"header cut at 11", 1, None(), CutAt(11), -1, Probe::kIndivid, Number(1), 0},
      {"header cut at 1684", 1, None(), CutAt(1684), -1, Probe::kIndivid, Number(1), 0},
      {"page-count table missing", 1, None(), CutAt(1685), -1, Probe::kIndivid, Number(1), 0},
      {"page-count table cut short", 1, None(), CutAt(4096 + 8191), -1, Probe::kIndivid, Number(1), 0},
      {"page map cut short", 1, None(), CutAt(12288 + 8191), -1, Probe::kIndivid, Number(1), 0},
      {"magic TEVX", 1, HeaderBytes(8, {'T', 'E', 'V', 'X'}), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"magic TEV and 0xFF", 1, HeaderBytes(11, {0xFF}), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"magic TEW", 1, HeaderBytes(8, {'T', 'E', 'W', 0}), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"magic in lower case", 1, HeaderBytes(8, {'t', 'e', 'v', 0}), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"version 501", 1, HeaderBytes(0, {'5', '0', '1', 0}), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"version empty", 1, HeaderBytes(0, {0, 0, 0, 0}), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"version 5000 unended", 1, HeaderBytes(0, {'5', '0', '0', '0'}), NoCut(), 1, Probe::kIndivid, Number(1), 1},
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
      {"region count INT32_MAX", 1, Header32(18, INT32_MAX), NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 0", 1, [](Base& b) { b.file.SetMapByte(0, 0, 0); }, NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 10", 1, [](Base& b) { b.file.SetMapByte(0, 0, 10); }, NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 12", 1, [](Base& b) { b.file.SetMapByte(0, 0, 12); }, NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"page map byte 0 is 255", 1, [](Base& b) { b.file.SetMapByte(0, 0, 255); }, NoCut(), -1, Probe::kIndivid, Number(1), 0},
      {"map names table 0 for the page", 1, IndividMapByte(0), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"map names table 33 for the page", 1, IndividMapByte(33), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"map names table 255 for the page", 1, IndividMapByte(255), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"map names table 3 for the page", 1, IndividMapByte(3), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"a mapped page not counted", 1, [](Base& b) { b.file.SetMapByte(0, 100, kIndividTable); }, NoCut(), 1, Probe::kIndivid, Number(kIndividPerPage + 1), 0},
      {"page count -1", 1, Count(-1), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"page count -32768", 1, Count(-32768), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"page count 0", 1, Count(0), NoCut(), 1, Probe::kIndivid, Number(1), 0},
      {"page count 5, one mapped: first page", 1, Count(5), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"page count 5, one mapped: second page", 1, Count(5), NoCut(), 1, Probe::kIndivid, Number(kIndividPerPage + 1), 0},
      {"page count 8191: first page", 1, Count(8191), NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"page count 8191: last record", 1, Count(8191), NoCut(), 1, Probe::kIndivid, Number(8191 * kIndividPerPage), 0},
      {"page count 32767: beyond", 1, Count(32767), NoCut(), 1, Probe::kIndivid, Number(INT32_MAX), 0},
      {"page count in region 127", 1, [](Base& b) { b.file.SetPageCount(127, kIndividTable, 32767); }, NoCut(), 1, Probe::kIndivid, Number(1), 1},
      {"record page past the end", 1, None(), [](const Base& b) { return b.individ_page; }, 1, Probe::kIndivid, Number(1), 0},
      {"record cut short", 1, None(), [](const Base& b) { return b.individ_page + 100; }, 1, Probe::kIndivid, Number(1), 0},
      {"record ends at the end", 1, None(), [](const Base& b) { return b.individ_page + kIndividSize; }, 1, Probe::kIndivid, Number(1), 1},
      {"name at its offset", 1, None(), NoCut(), 1, Probe::kName, [](const Base& b) { return b.name; }, 14 + 6},
      {"name at 0", 1, None(), NoCut(), 1, Probe::kName, Number(0), 0},
      {"name at -1", 1, None(), NoCut(), 1, Probe::kName, Number(-1), 0},
      {"individual's name at 0", 1, None(), NoCut(), 1, Probe::kIName, Number(0), 0},
      {"individual's name at -1", 1, None(), NoCut(), 1, Probe::kIName, Number(-1), 0},
      // One byte early the head takes a zero byte before the record, and the
      // text starts at the record's type byte (1): "\1Boston".
      {"name just below the name area", 1, None(), NoCut(), 1, Probe::kName, [](const Base& b) { return b.name - 1; }, 14 + 7},
      {"name just above the name area", 1, None(), NoCut(), 1, Probe::kName, [](const Base& b) { return b.unended + 401; }, 14},
      {"name at 2^31-1", 1, None(), NoCut(), 1, Probe::kName, Number(INT32_MAX), 0},
      {"individual's name at 2^31-1", 1, None(), NoCut(), 1, Probe::kIName, Number(INT32_MAX), 0},
      {"name at the end of the file", 1, None(), NoCut(), 1, Probe::kName, EndOfFile, 0},
      {"name head ends at the end", 1, None(), NoCut(), 1, Probe::kName, [](const Base& b) { return EndOfFile(b) - 13; }, 14},
      {"name head cut by the end", 1, None(), NoCut(), 1, Probe::kName, [](const Base& b) { return EndOfFile(b) - 12; }, 0},
      {"individual's name head cut by the end", 1, None(), NoCut(), 1, Probe::kIName, [](const Base& b) { return EndOfFile(b) - 14; }, 0},
      {"individual's name of stored length 0", 1, [](Base& b) { b.file.Patch(b.iname + 13, {0, 0}); }, NoCut(), 1, Probe::kIName, [](const Base& b) { return b.iname; }, 16 + 12},
      {"name without a zero byte", 1, None(), NoCut(), 1, Probe::kName, [](const Base& b) { return b.unended; }, 14 + 255},
      {"individual's name without a zero byte", 1, None(), NoCut(), 1, Probe::kIName, [](const Base& b) { return b.unended; }, 16 + 256},
  };
  return rows;
}

class MalformedFileTest : public ::testing::TestWithParam<size_t> {};

TEST_P(MalformedFileTest, OpensAndReadsAsExpected) {
  const Row& row = Rows()[GetParam()];
  SCOPED_TRACE(row.damage);
  Base base = MakeBase(row.regions);
  row.harm(base);
  TempDir dir;
  const std::string path = dir.File("damaged.tev");
  ASSERT_TRUE(base.file.Write(path));
  const int64_t cut = row.cut(base);
  if (cut >= 0) {
    ASSERT_TRUE(tevwriter::TruncateFile(path, cut));
  }

  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 1), row.open);
  const int64_t at = row.at(base);
  ASSERT_GE(at, INT32_MIN);
  ASSERT_LE(at, INT32_MAX);
  const auto at32 = static_cast<int32_t>(at);
  int result = 0;
  if (row.probe == Probe::kIndivid) {
    kinscope::IndividImage record{};
    result = db.LoadIndivid(record, at32);
    if (result == 1) {
      EXPECT_EQ(record[0], at32 <= 3 ? at32 : 0);
    }
  } else if (row.probe == Probe::kName) {
    kinscope::NameRecImage record{};
    result = db.LoadNameRec(at32, record);
    EXPECT_EQ(record.back(), 0);
  } else {
    kinscope::INameRecImage record{};
    result = db.LoadINameRec(at32, record);
    EXPECT_EQ(record.back(), 0);
  }
  EXPECT_EQ(result, row.expected);
  if (row.open == 1) db.CloseDatabase();
}

// The GEDCOM export of every damaged file: the open fails (exit 2) or the
// export ends with or without things left out (exit 0 or 1), and what it
// writes keeps the line rules. The three individuals are counted in the
// header so that the export reads them.
TEST_P(MalformedFileTest, ExportKeepsTheLineRules) {
  const Row& row = Rows()[GetParam()];
  SCOPED_TRACE(row.damage);
  Base base = MakeBase(row.regions);
  base.file.SetHeaderI32(22, 3);
  row.harm(base);
  TempDir dir;
  const std::string path = dir.File("damaged.tev");
  ASSERT_TRUE(base.file.Write(path));
  const int64_t cut = row.cut(base);
  if (cut >= 0) {
    ASSERT_TRUE(tevwriter::TruncateFile(path, cut));
  }
  CTEVDatabase db;
  if (db.OpenDatabase(path, 1) != kinscope::kOpenOk) return;  // exit 2
  std::ostringstream out;
  kinscope::gedcom::Counts counts;
  const auto outcome = kinscope::gedcom::Export(db, out, {}, counts);
  EXPECT_TRUE(outcome == kinscope::gedcom::Outcome::kComplete ||
              outcome == kinscope::gedcom::Outcome::kLeftOut);
  EXPECT_EQ(testing_gedcom::BrokenLineRule(out.str()), "");
  EXPECT_EQ(counts.left_out == 0, outcome == kinscope::gedcom::Outcome::kComplete);
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedFileTest, ::testing::Range<size_t>(0, Rows().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           std::string name;
                           for (const char* c = Rows()[param.param].damage; *c != 0; ++c) {
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           }
                           return std::to_string(param.param) + "_" + name;
                         });

}  // namespace
