// SPDX-License-Identifier: GPL-3.0-or-later
// kinscope-dump: golden documents of the sample database, find, the check on
// damaged copies, and the exit statuses of the program.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <tuple>

#include "TevWriter.h"

#include "Coding.h"
#include "CrashSeam.h"
#include "DamagedFiles.h"
#include "Dump.h"
#include "FileCheck.h"
#include "FileContents.h"
#include "Journal.h"
#include "NamesFile.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TreeCheck.h"
#include "UtcClock.h"

using namespace kinscope;
using dump::json;

namespace {

json Golden(const std::string& name) {
  std::ifstream in(std::string(KINSCOPE_GOLDEN) + "/" + name);
  return json::parse(in);
}

class DumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseUtc();
    path_ = dir_.File("family.tev");
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path_);
    ASSERT_EQ(db_.OpenDatabase(path_, 1), kOpenOk);  // a shared lock: the program may open it too
  }
  TempDir dir_;
  std::string path_;
  CTEVDatabase db_;
};

TEST_F(DumpTest, GoldenDocumentsOfTheSample) {
  EXPECT_EQ(dump::Header(db_).doc, Golden("header.json"));
  EXPECT_EQ(dump::Index(db_).doc, Golden("index.json"));
  EXPECT_EQ(dump::Check(db_).doc, Golden("check.json"));
  const std::pair<const char*, int32_t> records[] = {
      {"individual", 1},    {"marriage", 1},      {"family", 1},     {"name", 20480},
      {"note", 1},          {"indivname", 20991}, {"citation", 1},   {"user defined", 1},
      {"ud event type", 1}, {"media", 1},         {"indiv_index", 3}};
  for (const auto& [type, number] : records) {
    std::string file = std::string("record-") + type + ".json";
    for (char& c : file) c = c == ' ' || c == '_' ? '-' : c;
    const dump::Result r = dump::Record(db_, dump::RecordTypeCode(type), number, false);
    EXPECT_EQ(r.status, dump::kOk) << type;
    EXPECT_EQ(r.doc, Golden(file)) << type;
  }
}

TEST_F(DumpTest, FindDescendsToTheNamesUnderAKey) {
  const std::pair<const char*, std::vector<int32_t>> rows[] = {
      {"Whitc", {10, 23, 24, 12, 8, 32, 11, 37, 31, 38, 7, 22, 1, 9, 30}},
      {"Thomas /Whitcombe/", {7, 22, 1}},
      {"THOMAS /WHITCOMBE/", {7, 22, 1}},
      {"Aldridge", {33, 4, 13, 14, 15, 34}},
      {"Nobody /Here/", {}},
      {"", {}},
  };
  for (const auto& [text, rins] : rows) {
    std::vector<int32_t> found;
    const dump::Result r = dump::Find(db_, text);
    for (const json& e : r.doc["found"]) found.push_back(e["rin"]);
    if (std::string(text).empty()) {
      EXPECT_EQ(found.size(), CheckIndexTree(db_).order.size());  // every name starts with ""
    } else {
      EXPECT_EQ(found, rins) << text;
    }
  }
}

// find takes its text as UTF-8: a name is found as typed; by spelling (case
// and accents ignored) when nothing starts as typed; with --like by the
// sound of the surname too, each row saying how it matched.
TEST(DumpFind, AsTypedBySpellingAndBySound) {
  TempDir dir;
  const std::string path = dir.File("accented.tev");
  ASSERT_TRUE(namesfile::Write(path, namesfile::AccentedPeople()));
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 1), kOpenOk);
  using Found = std::vector<std::pair<int32_t, std::string>>;  // rin, match
  const struct {
    const char* text;
    bool like;
    const char* search;  // "" for the exact lookup, whose rows are not marked
    Found found;
  } rows[] = {
      {"\xC5\xBDi\xC5\xBE"
       "ek",
       false,
       "",
       {{1, ""}}},  // Žižek
      {"Slavoj /\xC5\xBDi\xC5\xBE"
       "ek/",
       false,
       "",
       {{1, ""}}},
      {"zizek", false, "spelling", {{1, "spelling"}}},
      {"ZI\xC5\xBD", false, "spelling", {{1, "spelling"}}},
      {"M\xC3\xBCller", false, "", {{2, ""}}},
      {"muller", false, "", {{3, ""}}},  // A to Z in either case is exact
      {"muller", true, "like", {{3, "exact"}, {2, "spelling"}}},
      {"Smyth", true, "like", {{9, "sound"}, {7, "sound"}, {8, "exact"}}},
      {"Smith, J", true, "like", {{7, "exact"}, {8, "sound"}}},
      {"\xC5\x92uvray", false, "", {{5, ""}}},  // Œuvray
      {"oeuvray", false, "spelling", {{5, "spelling"}}},
      {"O\xE2\x80\x99"
       "Brien",
       false,
       "",
       {{4, ""}}},  // O’Brien
      {"etienne, emile", false, "spelling", {{11, "spelling"}}},
      {"Nobody", true, "like", {}},
      {"Nobody", false, "spelling", {}},
  };
  for (const auto& row : rows) {
    const dump::Result r = dump::Find(db, row.text, row.like);
    EXPECT_EQ(r.status, dump::kOk) << row.text;
    EXPECT_EQ(r.doc["text"], row.text);
    EXPECT_EQ(r.doc.value("search", ""), row.search) << row.text;
    Found found;
    for (const json& e : r.doc["found"]) found.emplace_back(e["rin"], e.value("match", ""));
    EXPECT_EQ(found, row.found) << row.text;
  }
  const std::pair<const char*, const char*> refused[] = {
      {"\xC5\x81ukasz", "\"\xC5\x81\" (U+0141) is not in Windows-1252"},
      {"Smith \xF0\x9F\x98\x80", "(U+1F600) is not in Windows-1252"},
      {"M\xFCller", "the text is not UTF-8"},
  };
  for (const auto& [text, reason] : refused) {
    std::ostringstream out;
    const dump::Result r = dump::WriteFind(db, text, out, false);
    EXPECT_EQ(r.status, dump::kCannotOpen) << text;
    EXPECT_NE(r.error.find(reason), std::string::npos) << r.error;
    EXPECT_EQ(out.str(), "");
  }
}

// Damage made with the engine's own writes on a fresh copy, one kind a row.
TEST_F(DumpTest, CheckNamesEachDamage) {
  using Harm = std::function<void(CTEVDatabase&)>;
  struct Row {
    Harm harm;
    const char* reason;
    int status = dump::kProblems;
  };
  const Row rows[] = {
      {[](CTEVDatabase& db) {
         db.SetNodeLink(CheckIndexTree(db).order.back(), db.HeaderI32(kHdrRootNode2), kGreaterLink);
       },
       "reached twice"},
      {[](CTEVDatabase& db) {
         NoteImage n{};
         db.LoadNote(n, 2);
         EncodeI32(n.data(), note::kPrevBlock, 7);
         db.WriteRecord(n.data(), kNoteTable.size, 2, kNoteTable.table, kNoteTable.per_page);
       },
       "its previous link is 7, not 1"},
      {[](CTEVDatabase& db) {
         const uint8_t foreign = 40;
         db.WriteAt(static_cast<int32_t>(kRegionBase + 8000), &foreign, 1);
       },
       "names table 40", dump::kOk},
      {[](CTEVDatabase& db) {
         IndividImage person{};
         db.LoadIndivid(person, 1);
         const uint8_t other[4] = {2, 0, 0, 0};
         db.WriteAt(
             DecodeI32(person.data(), individ::kStartnames) + static_cast<int32_t>(iname::kOwnerId),
             other, 4);
       },
       "its owner is 2, not the individual"},
      // A link lost as a lost write loses it: the nodes below are cut off.
      {[](CTEVDatabase& db) {
         const int32_t root = db.HeaderI32(kHdrRootNode2);
         IndexNodeImage node{};
         db.LoadIndexNode(node, root);
         db.SetNodeLink(DecodeI32(node.data(), indexnode::kLesser), 0, kLesserLink);
       },
       "the name has no node in the index"},
      {[](CTEVDatabase& db) {
         db.SetHeaderI32(kHdrIndividBound, 20);
         db.UpdateHeader();
       },
       "the individual bound is 20, yet individual 21 holds names"},
      {[](CTEVDatabase& db) {
         db.SetHeaderI32(kHdrRegionCount, 0);
         db.UpdateHeader();
       },
       "region count 0 leaves the page map of region 0 unread"},
  };
  int copy = 0;
  for (const auto& [harm, reason, status] : rows) {
    const std::string path = dir_.File("damaged" + std::to_string(++copy) + ".tev");
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
    {
      CTEVDatabase db;
      ASSERT_EQ(db.OpenDatabase(path, 0), kOpenOk);
      harm(db);
      db.CloseDatabase();
    }
    CTEVDatabase damaged;
    ASSERT_EQ(damaged.OpenDatabase(path, 1), kOpenOk);
    const dump::Result r = dump::Check(damaged);
    EXPECT_EQ(r.status, status) << reason;
    EXPECT_NE(r.doc.dump().find(reason), std::string::npos) << r.doc.dump(2);
  }
}

// The check reads the size of the file to the byte: its last page cut by a
// byte lies past the end of the file; a page begun after it is no damage.
TEST_F(DumpTest, CheckKnowsTheFileSizeToTheByte) {
  const auto whole = static_cast<int64_t>(std::filesystem::file_size(path_));
  for (const int64_t cut : {int64_t{-kPageSize}, int64_t{-1}, int64_t{0}, int64_t{1}}) {
    const std::string path = dir_.File("cut" + std::to_string(cut + kPageSize) + ".tev");
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
    ASSERT_TRUE(tevwriter::TruncateFile(path, whole + cut));
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path, 1), kOpenOk);
    EXPECT_EQ(FileSizeOf(db), whole + cut);
    const dump::Result r = dump::Check(db);
    EXPECT_EQ(r.status, cut < 0 ? dump::kProblems : dump::kOk) << cut;
    EXPECT_EQ(r.doc.dump().find("past the end of the file") != std::string::npos, cut < 0) << cut;
  }
}

// The progress counts the records and index nodes the check reads: it only
// goes forwards, and on a sound file it reaches the total it gave. A
// callback that says stop ends the check there, with no call after it.
TEST_F(DumpTest, CheckStopsWhenAsked) {
  for (const int stop_at : {0, 1, 3}) {  // 0: never
    int calls = 0;
    int last = -1;
    int last_total = 0;
    const CheckReport r = CheckDatabase(db_, path_, [&](int done, int total) {
      EXPECT_LT(done, total);
      EXPECT_GE(done, last);
      last = done;
      last_total = total;
      return ++calls != stop_at;
    });
    EXPECT_EQ(r.cancelled, stop_at != 0);
    if (stop_at == 0) {
      EXPECT_EQ(last, last_total - 1);
      EXPECT_GT(last, 512);  // a page of slots of each of six tables, and the nodes
    } else {
      EXPECT_EQ(calls, stop_at);
      EXPECT_EQ(CheckSummary(r), "stopped: no problems found so far");
    }
  }
}

// Runs the program with `args`, its standard output (and error, with
// `with_errors`) going to the file `out` (nowhere when empty); its exit status.
int RunDump(const std::string& args, const std::string& out = "", bool with_errors = false) {
#ifdef _WIN32
  // cmd /c takes the outer quotes off: ""program" args >out 2>&1"
  const std::string program = std::filesystem::path(KINSCOPE_DUMP).make_preferred().string();
  const std::string to =
      out.empty() ? "NUL 2>&1" : "\"" + out + "\"" + (with_errors ? " 2>&1" : "");
  return std::system(("\"\"" + program + "\" " + args + " >" + to + "\"").c_str());
#else
  const std::string to =
      out.empty() ? "/dev/null 2>&1" : "'" + out + "'" + (with_errors ? " 2>&1" : "");
  const int status = std::system((std::string(KINSCOPE_DUMP) + " " + args + " >" + to).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// The program's output for `args` (standard output and error), and its exit status.
std::pair<std::string, int> RunDumpOutput(const std::string& args) {
  const std::string out =
      (std::filesystem::temp_directory_path() / "kinscope-dump-test.out").string();
  const int status = RunDump(args, out, true);
  std::string text = Contents(out);
  std::filesystem::remove(out);
  return {text, status};
}

// Damage, then a page of no table: the text lists one finding a line and
// ends with the summary on a line of its own; only damage gives exit 1.
TEST_F(DumpTest, CheckTextAndExitStatusByDamage) {
  const std::string damaged = dir_.File("damaged.tev");
  std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, damaged);
  const uint8_t foreign = 40;
  ASSERT_TRUE(tevwriter::OverwriteFile(damaged, kRegionBase + 8000, {foreign}));
  auto [out, status] = RunDumpOutput(damaged + " check");
  EXPECT_EQ(status, dump::kOk);
  EXPECT_EQ(out,
            "region 0 page 8000:  unusual  the page map names table 40, which does not exist"
            "  (offset 20288)\n1 problem found: 0 damage, 1 unusual\n");
  {
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(damaged, 0), kOpenOk);
    NoteImage n{};
    db.LoadNote(n, 2);
    EncodeI32(n.data(), note::kPrevBlock, 7);
    db.WriteRecord(n.data(), kNoteTable.size, 2, kNoteTable.table, kNoteTable.per_page);
    db.SetNodeLink(CheckIndexTree(db).order.back(), db.HeaderI32(kHdrRootNode2), kGreaterLink);
    db.CloseDatabase();
  }
  std::tie(out, status) = RunDumpOutput(damaged + " check");
  EXPECT_EQ(status, dump::kProblems);
  EXPECT_EQ(out, Contents(std::string(KINSCOPE_GOLDEN) + "/check-damaged.txt"));
  std::tie(out, status) = RunDumpOutput(damaged + " check --json");
  EXPECT_EQ(status, dump::kProblems);
  const json doc = json::parse(out);
  EXPECT_EQ(doc["damage"], 2);
  EXPECT_EQ(doc["unusual"], 1);
}

TEST_F(DumpTest, ExitStatuses) {
  const std::pair<std::string, int> rows[] = {
      {path_ + " check", 0},
      {path_ + " record individual 1 --bytes --json", 0},
      {path_ + " record 12 3", 0},
      {path_ + " record individual 9999", 3},
      {path_ + " record name -5", 3},
      {path_ + " record source 1", 2},
      {path_ + " record spouse 1", 2},
      {path_ + " index", 0},
      {path_, 2},
      {path_ + " frobnicate", 2},
      {dir_.File("missing.tev") + " header", 2},
      {"--version", 0},
  };
  const std::string before = Contents(path_);
  for (const auto& [args, status] : rows) EXPECT_EQ(RunDump(args), status) << args;
  EXPECT_EQ(Contents(path_), before);  // the file is only read
}

#ifndef _WIN32
// The program takes its arguments as UTF-8 (the Windows build's wide command
// line is compared with this one's output by tests/windows/same_output.sh).
TEST_F(DumpTest, FindTakesUtf8Arguments) {
  const std::string path = dir_.File("accented.tev");
  ASSERT_TRUE(namesfile::Write(path, namesfile::AccentedPeople()));
  const struct {
    std::string args;
    int status;
    const char* shown;
  } rows[] = {
      {" find '\xC5\x81ukasz'", 2,
       "kinscope-dump: \"\xC5\x81\" (U+0141) is not in Windows-1252, the code page of the file's "
       "texts: no text of the file can hold it\n"},
      {" find zizek", 0,
       "Slavoj /\xC5\xBDi\xC5\xBE"
       "ek/  1    \xC5\xBDi\xC5\xBE"
       "ek, Slavoj"},
      {" find 'M\xC3\xBCller' --json", 0, "\"name\": \"Hans /M\xC3\xBCller/\""},
      {" find smyth --like", 0, "Karl /Schmidt/  9    Schmidt, Karl  3 Mar 1874  sound"},
  };
  for (const auto& row : rows) {
    const auto [out, status] = RunDumpOutput(path + row.args);
    EXPECT_EQ(status, row.status) << row.args;
    EXPECT_NE(out.find(row.shown), std::string::npos) << out;
  }
}
#endif

}  // namespace

namespace {

// A file that cannot be opened: the one line says why, in the same words on
// every system (a sharing violation on Windows is the lock).
TEST_F(DumpTest, OpenFailuresSayWhy) {
#ifdef _WIN32
  constexpr int kLocked = 32;
#else
  constexpr int kLocked = EWOULDBLOCK;
#endif
  CTEVDatabase writer;
  const std::string locked = dir_.File("locked.tev");
  std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, locked);
  ASSERT_EQ(writer.OpenDatabase(locked, 0), kOpenOk);
  const std::pair<std::string, std::string> rows[] = {
      {dir_.File("missing.tev"), "cannot open the file (error 2): there is no such file"},
      {locked, "cannot open the file (error " + std::to_string(kLocked) +
                   "): another program has the file open for writing: it is locked"},
  };
  for (const auto& [path, why] : rows) {
    auto [out, status] = RunDumpOutput(path + " header");
    // Standard error is a text stream on Windows: its line ends are CR LF.
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    EXPECT_EQ(status, dump::kCannotOpen);
    EXPECT_EQ(out, "kinscope-dump: " + path + ": " + why + "\n");
  }
}

// A journal beside the file is a problem of the file: the check names it,
// reads only, and applies nothing.
TEST_F(DumpTest, CheckReportsAJournalBesideTheFile) {
  const std::string path = dir_.File("interrupted.tev");
  std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
  crash::LeaveInterruptedWriteBack(path);
  const std::string journal = JournalPath(path);
  const std::string kept = Contents(journal);
  std::string torn = kept;
  torn[torn.size() - 3] = static_cast<char>(torn[torn.size() - 3] ^ 0x40);
  const std::pair<std::string, const char*> rows[] = {
      {kept, "an interrupted change: opening the file for writing undoes it"},
      {torn,
       "not applied, and nothing can be written to the file while it stands there: a "
       "page saved in it is damaged (it fails its checksum)"}};
  for (const auto& [content, reason] : rows) {
    std::ofstream(journal, std::ios::binary | std::ios::trunc) << content;
    const std::string before = Contents(path);
    const std::string out = dir_.File("check.json");
    EXPECT_EQ(RunDump(path + " check --json", out), dump::kProblems) << reason;
    const std::string report = Contents(out);
    EXPECT_NE(report.find(json(journal).dump()), std::string::npos) << report;  // as JSON writes it
    EXPECT_NE(report.find(reason), std::string::npos) << report;
    EXPECT_EQ(Contents(path), before);
    EXPECT_EQ(Contents(journal), content);
  }
}

}  // namespace

namespace {

// The repair's output and exit status by what it met: a line per mend or
// cut ending with the summary and the copy, the same as one JSON document,
// and nothing written where it must not write.
TEST_F(DumpTest, RepairTellsEachMendAndCutAndItsStatus) {
  const auto write = [&](const std::string& damage, const std::string& name) {
    std::vector<uint8_t> bytes = *crash::ReadFile(KINSCOPE_SAMPLE_DB);
    damaged::Target target{bytes, db_};
    EXPECT_TRUE(damaged::Named(damage).harm(target));
    crash::PutFile(dir_.File(name), bytes);
    return dir_.File(name);
  };
  const std::string index = write("an index link zeroed", "index.tev"),
                    husband = write("a marriage's husband", "husband.tev");
  const std::string out = dir_.File("out.tev");
  struct Row {
    std::string args;
    int status;
    std::string ends;  // how the output ends
  };
  const Row rows[] = {
      {index + " repair -o " + out, 0, "1 mended, 0 cut; the copy is " + out + "\n"},
      {index + " repair -o " + out, 2, "exists and is left as it is (--force replaces it)\n"},
      {husband + " repair -o " + out + " --force --json", 1, "}\n"},
      {index + " repair -o " + dir_.File("none/out.tev"), 2, "(there is no such folder)\n"},
  };
  for (const Row& row : rows) {
    auto [text, status] = RunDumpOutput(row.args);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_EQ(status, row.status) << row.args << "\n" << text;
    EXPECT_GE(text.size(), row.ends.size());
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), row.ends.size())), row.ends);
  }
  // The last copy is the one of the cut husband link.
  const auto [text, status] = RunDumpOutput(husband + " repair -o " + out + " --force --json");
  const json doc = json::parse(text);
  EXPECT_EQ(doc["cut"], 1);
  EXPECT_EQ(doc["lines"][0]["action"], "cut");
  EXPECT_EQ(doc["copy_check"]["clean"], true);
  EXPECT_EQ(std::filesystem::exists(dir_.File("none")), false);
}

}  // namespace
