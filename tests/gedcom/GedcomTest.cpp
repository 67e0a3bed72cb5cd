// SPDX-License-Identifier: GPL-3.0-or-later
// The GEDCOM export: the date table, the line rules on texts that need
// CONC and CONT, the sample's export through kinscope-dump, texts decoded as
// Windows-1252, and links that lead nowhere; a generated family with every
// kind of data the export maps and damage it must still write as 5.5.1
// allows; the file written through the platform layer; and both 5.5.1
// checkers (ours and the Perl module's grammar) over every export in the
// suite.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Coding.h"
#include "Cp1252.h"
#include "FuzzSupport.h"
#include "Gedcom.h"
#include "GedcomGrammar.h"
#include "GedcomLines.h"
#include "MalformedFiles.h"
#include "PlatformSeam.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "FileContents.h"
#include "TempDir.h"
#include "TevWriter.h"

using namespace kinscope;
using testing_gedcom::BrokenLineRule;
using testing_gedcom::BrokenValueRule;
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
constexpr uint32_t k1Jan101 = k1Jan1401 - 13 * 36525;  // the decoder's centuries before 1101

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
    {"Julian year 101", Encoded(2, 0, 0, 0, k1Jan101), false, "@#DJULIAN@ 1 JAN 101", ""},
    {"Julian year 1", Encoded(2, 0, 0, 0, k1Jan101 - 36525), false, "(1 Jan 1)", ""},
    {"a year below 0", Encoded(2, 0, 0, 0, k1Jan101 - 3 * 36525), false, "(1 Jan -199)", ""},
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

TEST(GedcomDumpTest, SampleKeepsTheLineRules) {
  TempDir dir;
  const std::string out = dir.File("family.ged");
  ASSERT_EQ(RunDump(std::string(KINSCOPE_SAMPLE_DB) + " gedcom -o " + out, dir.File("err")), 0)
      << Contents(dir.File("err"));
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  const std::string ged = Contents(out);
  EXPECT_EQ(BrokenLineRule(ged), "");
  EXPECT_NE(ged.find("1 CHAR UTF-8\n"), std::string::npos);
  EXPECT_NE(ged.find("1 CONC "), std::string::npos);  // the biography is longer than a line
  // Standard output gives the same records.
  ASSERT_EQ(RunDump(std::string(KINSCOPE_SAMPLE_DB) + " gedcom >" + dir.File("stdout.ged"),
                    dir.File("err")),
            0);
  EXPECT_EQ(Contents(dir.File("stdout.ged")).substr(ged.find("0 @SUBM@")),
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
  const std::string ged = Contents(dir.File("one.ged"));
  const std::string err = Contents(dir.File("err"));
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

// One-line values: cut after a whole character where the line with its end
// would pass 255 bytes, line breaks as blanks, nothing for an empty text.
TEST(GedcomLineTest, OneLineValuesFitWithTheLineEnd) {
  struct Row {
    const char* what;
    std::string text;
    std::string line;  // as written, without its line end
    bool whole;
  };
  const std::string a247(247, 'a');  // "1 PLAC " and 247 bytes: 254, the most
  const Row rows[] = {
      {"exactly full", a247, "1 PLAC " + a247, true},
      {"one byte over", a247 + "b", "1 PLAC " + a247, false},
      {"a doubled @ at the end", a247.substr(1) + "@", "1 PLAC " + a247.substr(1), false},
      {"a two-byte character at the end", a247.substr(2) + "\u00e9x",
       "1 PLAC " + a247.substr(2) + "\u00e9", false},
      {"line breaks", "Bristol\r\nEngland\nUK", "1 PLAC Bristol England UK", true},
      {"only blanks and controls", " \x01\t ", "", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::ostringstream out;
    EXPECT_EQ(gedcom::LineWriter(out).Line(1, "PLAC", row.text), row.whole);
    EXPECT_EQ(out.str(), row.line.empty() ? "" : row.line + "\n");
  }
}

// ---- A generated family -------------------------------------------------------

struct Exported {
  std::string ged;
  std::vector<std::string> reports;
  gedcom::Outcome outcome;
};

Exported ExportOf(CTEVDatabase& db) {
  Exported e;
  gedcom::Options options;
  options.report = [&e](const std::string& place, const std::string& reason) {
    e.reports.push_back(place + ": " + reason);
  };
  std::ostringstream out;
  gedcom::Counts counts;
  e.outcome = gedcom::Export(db, out, options, counts);
  e.ged = out.str();
  return e;
}

// Every kind of data the export maps to 5.5.1, and damage it must still
// write as 5.5.1 allows: statuses of each ordinance, link types, sealing to
// parents, an attribute, a confidential event, pictures with a sound, a
// Julian date, an age no one reaches, a place too long for a line and one
// that cannot be read, names too long, empty or with slashes inside,
// spouses and children linked from one side only, and a wife beyond the
// individual bound.
std::string WriteFamily(const TempDir& dir) {
  using tevwriter::Bytes;
  using tevwriter::PutI32;
  tevwriter::TevFile f(1);
  const int32_t uppsala = f.AppendNameRec(0, 0, 0, 2, "Uppsala, Sweden");
  const int32_t long_place = f.AppendNameRec(0, 0, 0, 2, std::string(200, '\xe5'));
  const auto dated = [](Bytes& b, size_t at, std::array<uint8_t, 12> date) {
    std::copy(date.begin(), date.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  };
  const auto ordinance = [&](Bytes& b, size_t at, uint8_t modifier) {
    dated(b, at, Encoded(2, modifier, 0, 0, k1Jan1901));
    PutI32(b, at + 12, uppsala);
  };
  const char* const names[] = {"Anna /Berg/", "Carl /Berg/", "Eva /Berg/",         "Nils /Berg/",
                               "Sara /Berg/", "Olof /Berg/", "Lars /Berg/",        "Karin /Berg/",
                               nullptr,       "  /  / ",     "Jan /van/der/ Berg", "Ola /Berg/",
                               "Per /Berg/"};
  std::vector<Bytes> people(13, Bytes(221, 0));
  for (size_t i = 0; i < people.size(); ++i) {
    const std::string name = names[i] ? names[i] : std::string(250, '\xc5') + " /Berg/";
    PutI32(people[i], 0, f.AppendINameRec(0, 0, int32_t(i + 1), 1, name));
    people[i][202] = i % 2 ? 'M' : 'F';
  }
  Bytes& anna = people[0];
  dated(anna, 64, Encoded(2, 0, 0, 0, k1Jan1401));  // birth, Julian
  PutI32(anna, 64 + 12, long_place);
  dated(anna, 112, Encoded(2, 0, 0, 0, k1Jan1901));  // death
  PutI32(anna, 112 + 12, 99999999);                  // a place beyond the file
  PutI32(anna, 112 + 16, INT32_MAX);                 // age
  ordinance(anna, 160, 14);                          // baptism, Stillborn
  ordinance(anna, 181, 9);                           // endowment, DNS
  PutI32(anna, 4, 1);                                // wife in marriage 1
  PutI32(anna, 28, 1);                               // user-defined events 1 and 2
  PutI32(anna, 32, 1);                               // pictures 1 and 2
  PutI32(people[11], 4, 2);                          // Ola, husband in marriage 2
  // Event types: an attribute and a residence; events: one each, confidential.
  for (const char* tag : {"OCCU", "RESI"}) {
    Bytes type(143, 0);
    PutI32(type, 0, f.AppendNameRec(0, 0, 0, 2, tag[0] == 'O' ? "Occupation" : "Residence"));
    tevwriter::PutText(type, 94, tag);
    f.AppendRecord(13, type);
  }
  for (int32_t n : {1, 2}) {
    Bytes e(59, 0);
    PutI32(e, 0, n == 1 ? 2 : 0);
    PutI32(e, 16, n);
    dated(e, 20, Encoded(2, 0, 0, 0, k1Jan1901));
    e[45] = n == 2;  // confidential
    f.AppendRecord(12, e);
  }
  for (const char* path : {"C:\\media\\pic.JPEG", "C:\\media\\letter.pdf"}) {
    Bytes m(62, 0);
    PutI32(m, 4, path[9] == 'p' ? 2 : 0);
    PutI32(m, 12, f.AppendNameRec(0, 0, 0, 2, path));
    if (path[9] == 'p') PutI32(m, 24, f.AppendNameRec(0, 0, 0, 2, "C:\\media\\voice.wav"));
    f.AppendRecord(20, m);
  }
  // Marriage 1: Carl (whose own record names no marriage) and Anna; its
  // child chain holds Eva to Lars (links 1 to 5), not Karin (link 6).
  Bytes m1(106, 0), m2(106, 0);
  PutI32(m1, 4, 2);
  PutI32(m1, 8, 1);
  PutI32(m1, 12, 1);
  ordinance(m1, 76, 9);  // sealing to spouse, DNS
  PutI32(m2, 4, 12);
  PutI32(m2, 8, 13);  // Per, beyond the individual bound
  const char types[] = {'s', 'g', 'c', 'D', 'b', 'b'};
  for (int32_t k = 1; k <= 6; ++k) {
    Bytes link(46, 0);
    PutI32(link, 0, 1);
    PutI32(link, 4, k < 5 ? k + 1 : 0);
    PutI32(link, 12, k + 2);
    if (k == 1) ordinance(link, 16, 16);  // sealing to parents, Uncleared
    link[37] = static_cast<uint8_t>(types[k - 1]);
    f.AppendRecord(5, link);
    if (k != 5) PutI32(people[static_cast<size_t>(k + 1)], 8, k);  // Lars's own link is 0
  }
  for (const Bytes& p : people) f.AppendRecord(2, p);
  f.AppendRecord(3, m1);
  f.AppendRecord(3, m2);
  f.SetHeaderI32(22, 12);
  const std::string path = dir.File("family.tev");
  EXPECT_TRUE(f.Write(path));
  return path;
}

TEST(GedcomFamilyTest, EveryKindOfDataAsFiveFiveOneHasIt) {
  TempDir dir;
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(WriteFamily(dir), 1), kOpenOk);
  const Exported e = ExportOf(db);
  SCOPED_TRACE(e.ged);
  EXPECT_EQ(e.outcome, gedcom::Outcome::kLeftOut);
  EXPECT_EQ(BrokenLineRule(e.ged), "");
  EXPECT_EQ(BrokenValueRule(e.ged), "");
  const char* const lines[] = {
      "1 BIRT\n2 DATE @#DJULIAN@ 1 JAN 1401\n2 PLAC \u00e5\u00e5",
      "\n3 NOTE Place as stored: \u00e5\u00e5",
      "2 NOTE Age at the event: 2147483647\n",
      "1 EVEN\n2 TYPE Occupation\n2 DATE 1 JAN 1901\n",
      "1 RESI\n2 RESN confidential\n",
      "1 BAPL\n2 STAT STILLBORN\n3 DATE 1 JAN 1970\n2 DATE 1 JAN 1901\n",
      "1 ENDL\n2 NOTE Ordinance status: DNS\n2 DATE 1 JAN 1901\n",
      "1 SLGS\n2 STAT DNS\n3 DATE 1 JAN 1970\n",
      "1 FAMC @F1@\n2 PEDI sealing\n1 SLGC\n2 STAT UNCLEARED\n3 DATE 1 JAN 1970\n"
      "2 DATE 1 JAN 1901\n2 PLAC Uppsala, Sweden\n2 FAMC @F1@\n",
      "1 FAMC @F1@\n2 PEDI foster\n",
      "1 FAMC @F1@\n2 STAT challenged\n",
      "1 FAMC @F1@\n2 NOTE Family link type D\n",
      "\n2 NOTE Name as stored: \u00c5\u00c5",
      "1 NAME Jan /van der/ Berg\n2 GIVN Jan\n2 SURN van/der\n2 NSFX Berg\n"
      "2 NOTE Name as stored: Jan /van/der/ Berg\n",
      "1 FILE C:\\media\\pic.JPEG\n2 FORM jpg\n1 FILE C:\\media\\voice.wav\n2 FORM wav\n",
      "1 FILE C:\\media\\letter.pdf\n2 FORM ole\n",
  };
  for (const char* line : lines) EXPECT_NE(e.ged.find(line), std::string::npos) << line;
  // Carl, Lars and Karin, linked from one side only, are linked both ways:
  // BrokenValueRule says so.
  EXPECT_EQ(e.ged.find("0 @I10@ INDI\n1 NAME"), std::string::npos);
  IndividImage tenth{};
  db.LoadIndivid(tenth, 10);
  const std::vector<std::string> reports = {
      "individual 1 DEAT: its place 99999999 cannot be read",
      "individual 10, name at " + std::to_string(DecodeI32(tenth.data(), 0)) +
          ": the name is empty",
      "individuals 13 to 37: 1 record lies beyond the individual bound of the header (12) and is "
      "not exported",
      "marriage 2: wife 13 lies beyond the individual bound of the header (12) and is not "
      "exported"};
  EXPECT_EQ(e.reports, reports);
}

// The checkers catch what they are there for: each row breaks one rule in
// the generated family's export.
TEST(GedcomFamilyTest, CheckersCatchEachBrokenRule) {
  TempDir dir;
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(WriteFamily(dir), 1), kOpenOk);
  const std::string good = ExportOf(db).ged;
  const std::pair<std::string, std::string> rows[] = {
      {"2 DATE @#DJULIAN@ 1 JAN", "2 DATE @@#DJULIAN@@ 1 JAN"},
      {"2 STAT STILLBORN\n3 DATE 1 JAN 1970\n", "2 STAT STILLBORN\n"},
      {"2 NOTE Ordinance status: DNS", "2 STAT DNS\n3 DATE 1 JAN 1970"},
      {"2 PEDI foster", "2 PEDI guardian"},
      {"2 FORM ole", "2 FORM pdf"},
      {"1 SEX M", "1 SEX X"},
      {"2 NOTE Age at the event: 2147483647", "2 AGE 2147483647y"},
      {"1 NAME Jan /van der/ Berg", "1 NAME Jan /van/der/ Berg"},
      {"1 CHIL @I8@\n", ""},
      {"2 PLAC Uppsala, Sweden", "2 PLAC Uppsala,\n3 CONC  Sweden"},
      {"1 FAMS @F1@", "1 FAMS @F9@"},
      {"1 EVEN\n2 TYPE Occupation", "1 OCCU"},
      {"2 DATE 1 JAN 1901", "2 DATE 31 FEB 1901"},
      {"0 @I1@ INDI", "0 @I1@ INDI\n1 NOTE " + std::string(248, 'x')},
  };
  EXPECT_EQ(BrokenLineRule(good) + BrokenValueRule(good), "");
  for (const auto& [from, to] : rows) {
    std::string bad = good;
    ASSERT_NE(bad.find(from), std::string::npos) << from;
    bad.replace(bad.find(from), from.size(), to);
    EXPECT_NE(BrokenLineRule(bad) + BrokenValueRule(bad), "") << to;
  }
}

// ---- The file, through the platform layer -------------------------------------

// Fails the export's writes as a full disk does (half of each write taken),
// or its sync.
class FailingSeam : public platform::FileSeam {
 public:
  FailingSeam(bool full_disk, bool failed_sync)
      : full_disk_(full_disk), failed_sync_(failed_sync) {}
  size_t WriteAt(platform::FileHandle file, int64_t offset, const void* buffer,
                 size_t count) override {
    return FileSeam::WriteAt(file, offset, buffer, full_disk_ ? count / 2 : count);
  }
  bool Sync(platform::FileHandle file) override { return !failed_sync_ && FileSeam::Sync(file); }

 private:
  bool full_disk_, failed_sync_;
};

// OUT is replaced by the whole export or left as it was; "OUT.part" is
// gone afterwards unless something not ours stood there, which is left as
// it was, and nothing is written through a link.
TEST(GedcomFileTest, WrittenWholeOrNotAtAll) {
  namespace fs = std::filesystem;
  enum Standing { kNothing, kStalePart, kLink, kFolder };  // at OUT.part before
  struct Row {
    const char* what;
    Standing standing;
    bool full_disk, failed_sync;
  };
  const Row rows[] = {
      {"nothing in the way", kNothing, false, false},
      {"a stale part of an interrupted export", kStalePart, false, false},
      {"a link as the part", kLink, false, false},
      {"a folder as the part", kFolder, false, false},
      {"a full disk", kNothing, true, false},
      {"a failed sync", kNothing, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const std::string out = dir.File("family.ged"), part = out + ".part",
                      victim = dir.File("victim");
    std::ofstream(out) << "old";
    std::ofstream(victim) << "victim";
    if (row.standing == kStalePart) std::ofstream(part) << "0 HEAD\n1 SOUR half";
    if (row.standing == kLink) fs::create_symlink(victim, part);
    if (row.standing == kFolder) fs::create_directory(part);
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(KINSCOPE_SAMPLE_DB, 1), kOpenOk);
    FailingSeam seam(row.full_disk, row.failed_sync);
    platform::SetSeam(&seam);
    gedcom::Counts counts;
    const gedcom::Outcome outcome = gedcom::ExportFile(db, out, {}, counts);
    platform::SetSeam(nullptr);
    const bool written = row.standing <= kStalePart && !row.full_disk && !row.failed_sync;
    EXPECT_EQ(outcome, written ? gedcom::Outcome::kComplete : gedcom::Outcome::kWriteFailed);
    const std::string ged = Contents(out);
    EXPECT_TRUE(written ? BrokenLineRule(ged).empty() && ged.size() > 1000 : ged == "old");
    EXPECT_EQ(Contents(victim), "victim");
    EXPECT_EQ(fs::exists(fs::symlink_status(part)), row.standing >= kLink);
  }
}

// ---- Both checkers over every export of the suite -----------------------------

// The sample's, the generated family's, every damaged file of the
// malformed-file table that opens, and every file of the fuzz corpora that
// describe files (gedcom, dump, open_read) that opens: our checker on each,
// then the Perl module's 5.5.1 grammar over all of them at once.
TEST(GedcomGrammarTest, EveryExportKeepsToFiveFiveOne) {
  TempDir dir;
  std::vector<std::string> written;
  const auto check = [&](const std::string& what, const std::string& tev) {
    CTEVDatabase db;
    if (db.OpenDatabase(tev, 1) != kOpenOk) return;
    const Exported e = ExportOf(db);
    EXPECT_EQ(BrokenLineRule(e.ged), "") << what;
    EXPECT_EQ(BrokenValueRule(e.ged), "") << what;
    written.push_back(dir.File(std::to_string(written.size()) + ".ged"));
    std::ofstream(written.back(), std::ios::binary) << e.ged;
  };
  check("the sample", KINSCOPE_SAMPLE_DB);
  check("the generated family", WriteFamily(dir));
  for (const malformed::Row& row : malformed::Rows()) {
    malformed::Base base = malformed::MakeBase(row.regions);
    base.file.SetHeaderI32(22, 3);  // so that the export reads the three individuals
    ASSERT_TRUE(malformed::WriteRow(row, base, dir.File("damaged.tev")));
    check(row.damage, dir.File("damaged.tev"));
  }
  const size_t before_corpora = written.size();
  for (const std::string corpus : {"gedcom", "dump", "open_read"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(KINSCOPE_FUZZ_CORPUS) + "/" + corpus)) {
      const std::string bytes = Contents(entry.path().string());
      fuzz::Input in(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      if (corpus == "gedcom") {  // the date and the texts before the description
        in.Bytes(12);
        for (int i = 0; i < 3; ++i) in.Text(255);
      }
      check(corpus + "/" + entry.path().filename().string(),
            fuzz::WriteDescribed(fuzz::Describe(in), "grammar.tev"));
    }
  }
  EXPECT_GT(written.size() - before_corpora, 100u);  // the corpora are there, and open
  EXPECT_EQ(testing_gedcom::PerlGrammarReport(written, dir.File("")), "");
}

}  // namespace
