// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged files, one a row (MalformedFiles.h): the open gives the result
// the row names, and one probe read gives what it names.
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
#include "MalformedFiles.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;

namespace {

using namespace malformed;

class MalformedFileTest : public ::testing::TestWithParam<size_t> {};

TEST_P(MalformedFileTest, OpensAndReadsAsExpected) {
  const Row& row = Rows()[GetParam()];
  SCOPED_TRACE(row.damage);
  Base base = MakeBase(row.regions);
  TempDir dir;
  const std::string path = dir.File("damaged.tev");
  ASSERT_TRUE(WriteRow(row, base, path));

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
// writes keeps the line rules and the values and links of 5.5.1. The three individuals are counted
// in the header so that the export reads them.
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
  EXPECT_EQ(testing_gedcom::BrokenValueRule(out.str()), "");
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
