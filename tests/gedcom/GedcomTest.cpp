// SPDX-License-Identifier: GPL-3.0-or-later
// The GEDCOM export: the date table, the line rules on texts that need
// CONC and CONT, the sample's export through kinscope-dump, texts decoded as
// Windows-1252, and links that lead nowhere.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Cp1252.h"
#include "Gedcom.h"
#include "GedcomLines.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using namespace kinscope;
using testing_gedcom::BrokenLineRule;
using testing_gedcom::Unfold;

namespace {

// An encoded date: type byte, modifier, then each part's calendar, flags
// and day number.
std::array<uint8_t, 12> Encoded(uint8_t type, uint8_t modifier, uint8_t cal1, uint8_t flags1,
                                uint32_t day1, uint8_t cal2 = 0, uint8_t flags2 = 0,
                                uint32_t day2 = 0) {
  return {type,
          modifier,
          cal1,
          flags1,
          uint8_t(day1),
          uint8_t(day1 >> 8),
          uint8_t(day1 >> 16),
          cal2,
          flags2,
          uint8_t(day2),
          uint8_t(day2 >> 8),
          uint8_t(day2 >> 16)};
}

constexpr uint32_t k1Jan1901 = 2415386;
constexpr uint32_t k2Feb1902 = k1Jan1901 + 365 + 32;
constexpr uint32_t k1Jan1401 = 2232774;   // century table entry, Julian
constexpr uint32_t k1Jan1501B = 2269299;  // 1 Jan 1501 in table B (Julian), 11 Jan in table A

struct DateRow {
  const char* what;
  std::array<uint8_t, 12> stored;
  bool ordinance;
  const char* value;
  const char* status;
};

const DateRow kDates[] = {
    {"empty", {}, false, "", ""},
    {"exact", Encoded(2, 0, 0, 0, k1Jan1901), false, "1 JAN 1901", ""},
    {"Abt", Encoded(2, 1, 0, 0, k1Jan1901), false, "ABT 1 JAN 1901", ""},
    {"mAft", Encoded(2, 2, 0, 0, k1Jan1901), false, "AFT 1 JAN 1901", ""},
    {"Bef", Encoded(2, 3, 0, 0, k1Jan1901), false, "BEF 1 JAN 1901", ""},
    {"Est", Encoded(2, 4, 0, 0, k1Jan1901), false, "EST 1 JAN 1901", ""},
    {"Cal", Encoded(2, 5, 0, 0, k1Jan1901), false, "CAL 1 JAN 1901", ""},
    {"Mod6", Encoded(2, 6, 0, 0, k1Jan1901), false, "(Mod6 1 Jan 1901)", ""},
    {"modifier beyond the table", Encoded(2, 40, 0, 0, k1Jan1901), false, "(Mod40 1 Jan 1901)", ""},
    {"Stillborn on an event", Encoded(2, 14, 0, 0, k1Jan1901), false, "(Stillborn 1 Jan 1901)", ""},
    {"Stillborn on an ordinance", Encoded(2, 14, 0, 0, k1Jan1901), true, "1 JAN 1901", "STILLBORN"},
    {"Uncleared alone", Encoded(2, 16, 0, 0, 0), true, "", "UNCLEARED"},
    {"DNS alone on an event", Encoded(2, 9, 0, 0, 0), false, "(DNS)", ""},
    {"Abt on an ordinance", Encoded(2, 1, 0, 0, k1Jan1901), true, "ABT 1 JAN 1901", ""},
    {"no day", Encoded(2, 0, 0, 0x20, k1Jan1901), false, "JAN 1901", ""},
    {"no day, no month", Encoded(2, 0, 0, 0x60, k1Jan1901), false, "1901", ""},
    {"a day without a month", Encoded(2, 0, 0, 0x40, k1Jan1901), false, "(1 1901)", ""},
    {"no year", Encoded(2, 0, 0, 0, 31), false, "(1 Feb)", ""},
    {"no year, Abt", Encoded(2, 1, 0, 0, 31), false, "(Abt 1 Feb)", ""},
    {"out of range month", Encoded(2, 0, 0, 0, 365), false, "(Out of range month)", ""},
    {"two parts", Encoded(3, 0, 0, 0, k1Jan1901, 0, 0, k2Feb1902), false,
     "BET 1 JAN 1901 AND 2 FEB 1902", ""},
    {"two parts, type 4", Encoded(4, 0, 0, 0, k1Jan1901, 0, 0x20, k2Feb1902), false,
     "BET 1 JAN 1901 AND FEB 1902", ""},
    {"two parts with Abt", Encoded(3, 1, 0, 0, k1Jan1901, 0, 0, k2Feb1902), false,
     "(Abt 1 Jan 1901/2 Feb 1902)", ""},
    {"second part empty", Encoded(4, 0, 0, 0, k1Jan1901), false, "1 JAN 1901", ""},
    {"Julian year, table A", Encoded(2, 0, 0, 0, k1Jan1401), false, "@#DJULIAN@ 1 JAN 1401", ""},
    {"1501 in table B is Julian", Encoded(2, 0, 2, 0, k1Jan1501B), false, "@#DJULIAN@ 1 JAN 1501",
     ""},
    {"1501 in table A is Gregorian", Encoded(2, 0, 0, 0, k1Jan1501B), false, "11 JAN 1501", ""},
    {"Julian then Gregorian", Encoded(3, 0, 1, 0, k1Jan1401, 0, 0, k1Jan1901), false,
     "BET @#DJULIAN@ 1 JAN 1401 AND 1 JAN 1901", ""},
    {"type 1", Encoded(1, 1, 0, 0, k1Jan1901), false, "", ""},
    {"first sub-type 2", Encoded(0x22, 0, 0, 0, k1Jan1901), false, "", ""},
    {"calendar 3", Encoded(2, 0, 3, 0, k1Jan1901), false, "", ""},
    {"unknown date type", Encoded(7, 0, 0, 0, k1Jan1901), false, "(Unknown date type)", ""},
};

TEST(GedcomDateTest, EveryKindOfDate) {
  for (const DateRow& row : kDates) {
    SCOPED_TRACE(row.what);
    const gedcom::Date d = gedcom::ConvertDate(row.stored.data(), row.ordinance);
    EXPECT_EQ(d.value, row.value);
    EXPECT_EQ(d.status, row.status);
    EXPECT_EQ(d.damaged, std::string(row.what) == "unknown date type");
  }
}

TEST(GedcomLineTest, LongTextComesBackWhole) {
  std::string text = "Mail to smith@example.org, then\r\nthe next line\n";
  while (text.size() < 600) text += "word" + std::to_string(text.size()) + " ";
  text += std::string(300, 'x') + "@@" + std::string(40, ' ') + "end\tof\x01 text";
  std::ostringstream out;
  gedcom::LineWriter w(out);
  w.Text(0, "NOTE", text, "N1");
  const std::string lines = out.str();
  std::string expected = text;
  expected.replace(expected.find("\r\n"), 2, "\n");
  expected.erase(expected.find('\x01'), 1);  // control characters are dropped
  EXPECT_EQ(Unfold(lines, 0), expected);
  EXPECT_EQ(BrokenLineRule("0 HEAD\n" + lines + "0 TRLR\n"), "");
  // Cut between two non-blank characters where the text has them.
  std::istringstream in(lines);
  std::string line, before;
  while (std::getline(in, line)) {
    if (line.rfind("1 CONC ", 0) == 0 && before.find("xxxx") == std::string::npos) {
      EXPECT_NE(line[7], ' ') << line;
      EXPECT_NE(before.back(), ' ') << before;
    }
    before = line;
  }
}

TEST(Cp1252Test, HighBytes) {
  const uint8_t bytes[] = {0x41, 0x80, 0x81, 0x8A, 0x9D, 0x9F, 0xA0, 0xE9, 0xFF, 0, 0x42};
  EXPECT_EQ(Cp1252ToUtf8(bytes, sizeof bytes), "A\u20AC\u0081\u0160\u009D\u0178\u00A0\u00E9\u00FF");
}

int RunDump(const std::string& args, const std::string& err) {
  const int status = std::system((std::string(KINSCOPE_DUMP) + " " + args + " 2>" + err).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(GedcomDumpTest, SampleKeepsTheLineRules) {
  TempDir dir;
  const std::string out = dir.File("family.ged");
  ASSERT_EQ(RunDump(std::string(KINSCOPE_SAMPLE_DB) + " gedcom -o " + out, dir.File("err")), 0)
      << Slurp(dir.File("err"));
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  const std::string ged = Slurp(out);
  EXPECT_EQ(BrokenLineRule(ged), "");
  EXPECT_NE(ged.find("1 CHAR UTF-8\n"), std::string::npos);
  EXPECT_NE(ged.find("1 CONC "), std::string::npos);  // the biography is longer than a line
  // Standard output gives the same records.
  ASSERT_EQ(RunDump(std::string(KINSCOPE_SAMPLE_DB) + " gedcom >" + dir.File("stdout.ged"),
                    dir.File("err")),
            0);
  EXPECT_EQ(Slurp(dir.File("stdout.ged")).substr(ged.find("0 @SUBM@")),
            ged.substr(ged.find("0 @SUBM@")));
}

TEST(GedcomDumpTest, WindowsTextsAndLinksThatLeadNowhere) {
  // One person named with Windows-1252 bytes, married in a marriage whose
  // wife is a record beyond the individual table, with a note chain that
  // comes back to its first block.
  tevwriter::TevFile f(1);
  tevwriter::Bytes person(221, 0), marriage(106, 0), note(256, 0);
  const int32_t name = f.AppendINameRec(0, 0, 1, 1, "Ren\xe9 /M\x80ller/");
  tevwriter::PutI32(person, 0, name);
  tevwriter::PutI32(person, 4, 1);   // marriage 1
  tevwriter::PutI32(person, 12, 1);  // note 1
  person[202] = 'M';
  f.AppendRecord(2, person);
  tevwriter::PutI32(marriage, 4, 1);
  tevwriter::PutI32(marriage, 8, 7);  // a wife that is not there
  f.AppendRecord(3, marriage);
  tevwriter::PutI32(note, 0, 1);  // next block: itself
  tevwriter::PutText(note, 13, "A note");
  f.AppendRecord(4, note);
  f.SetHeaderI32(22, 1);
  TempDir dir;
  ASSERT_TRUE(f.Write(dir.File("one.tev")));
  ASSERT_EQ(RunDump(dir.File("one.tev") + " gedcom -o " + dir.File("one.ged"), dir.File("err")), 1);
  const std::string ged = Slurp(dir.File("one.ged"));
  const std::string err = Slurp(dir.File("err"));
  EXPECT_EQ(BrokenLineRule(ged), "");
  EXPECT_NE(ged.find("1 NAME Ren\u00e9 /M\u20acller/\n2 GIVN Ren\u00e9\n2 SURN M\u20acller\n"),
            std::string::npos);
  EXPECT_NE(ged.find("0 @F1@ FAM\n1 HUSB @I1@\n"), std::string::npos);
  EXPECT_EQ(ged.find("WIFE"), std::string::npos);
  EXPECT_NE(err.find("marriage 1: wife 7 is not exported"), std::string::npos) << err;
  EXPECT_NE(ged.find("0 @N1@ NOTE A note\n"), std::string::npos);
  EXPECT_NE(err.find("comes back to block 1"), std::string::npos) << err;
}

TEST(GedcomDumpTest, FailedOutputLeavesNoFile) {
  TempDir dir;
  EXPECT_EQ(
      RunDump(std::string(KINSCOPE_SAMPLE_DB) + " gedcom -o " + dir.File("no/such/folder.ged"),
              dir.File("err")),
      2);
  EXPECT_EQ(RunDump(dir.File("missing.tev") + " gedcom -o " + dir.File("x.ged"), dir.File("err")),
            2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.ged")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.ged.part")));
}

}  // namespace
