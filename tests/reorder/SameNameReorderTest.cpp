// SPDX-License-Identifier: GPL-3.0-or-later
// The identical-name re-ordering on files built with our writer: runs put in
// birth order with the index kept sorted, the log, the trace lines, the
// walk on degenerate and damaged trees, and every failure's message and exit
// status, the file then as it was.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Backup.h"
#include "Coding.h"
#include "IndexKeyRanks.h"
#include "CrashSeam.h"
#include "Journal.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "ReorderCheck.h"
#include "SameNameReorder.h"
#include "TEVDatabase.h"
#include "FamilyFile.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TraceFile.h"
#include "TreeCheck.h"

using namespace kinscope;
using family::Contents;
using family::Family;
using family::Person;

namespace {

class SameNameReorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_STATE_HOME", state_.File("state").c_str(), 1);
    CloseTraceForTesting();
  }
  void TearDown() override {
    platform::SetSeam(nullptr);
    CloseTraceForTesting();
  }
  std::string Trace() const { return Contents(state_.File("state") + "/kinscope/tev5x.txt"); }
  TempDir state_;
};

struct RunCase {
  const char* what;
  std::vector<Person> people;
  std::vector<int32_t> order;  // RINs in index order afterwards
  const char* log;
};

TEST_F(SameNameReorderTest, RunsEndInBirthOrderAndTheIndexStaysSorted) {
  const RunCase cases[] = {
      {"later-born first",
       {{"Ann /Lee/", 1890}, {"Ann /Lee/", 1850}},
       {2, 1},
       "\nFor Ann /Lee/\n  2\n  1"},
      {"equal keys keep walk order",
       {{"Ann /Lee/", 0}, {"Ann /Lee/", 0}, {"Ann /Lee/", 1800}},
       {2, 1, 3},
       "\nFor Ann /Lee/\n  3\n  2\n  1"},
      {"christening stands in for birth",
       {{"Ann /Lee/", 0, 1900}, {"Ann /Lee/", 1880}},
       {2, 1},
       "\nFor Ann /Lee/\n  2\n  1"},
      {"A to Z case is one run",
       {{"ann /LEE/", 1890}, {"Ann /Lee/", 1850}},
       {2, 1},
       "\nFor Ann /Lee/\n  2\n  1"},
      {"blanks make names differ", {{"Ann  May /Lee/", 1890}, {"Ann May /Lee/", 1850}}, {1, 2}, ""},
      {"a year below 1000 sorts as text",
       {{"Ann /Lee/", 999}, {"Ann /Lee/", 1850}},
       {2, 1},
       "\nFor Ann /Lee/\n  2\n  1"},
      {"a different name between namesakes",
       {{"Mary /Jones/", 1880}, {"Mary Ann /Jones/", 1870}, {"Mary /Jones/", 1860}},
       {3, 1, 2},
       "\nFor Mary /Jones/\n  3\n  1"},
      {"all names distinct", {{"A /B/", 1}, {"C /D/", 2}}, {1, 2}, ""},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.what);
    Family family(c.people);
    const std::string before = Contents(family.path_);
    family.Reorder();
    EXPECT_EQ(family.Order(), c.order);
    EXPECT_EQ(family.Log(), c.log);
    // Name texts are never written; with no run the file stays as it was.
    if (std::string(c.log).empty()) {
      EXPECT_EQ(Contents(family.path_), before);
    }
    for (size_t i = 0; i < c.people.size(); ++i) {
      INameRecImage name{};
      family.db_->LoadINameRec(family.names_[i], name);
      EXPECT_STREQ(reinterpret_cast<const char*>(name.data() + 15), c.people[i].name.c_str());
    }
  }
}

TEST_F(SameNameReorderTest, ALongRunGrowsItsListAndTheLastRunIsProcessed) {
  std::vector<Person> people;
  for (int i = 0; i < 250; ++i) people.push_back({"Jo /Ng/", 2000 - i});
  Family family(people);
  family.Reorder();
  std::vector<int32_t> expected;
  for (int32_t rin = 250; rin >= 1; --rin) expected.push_back(rin);
  EXPECT_EQ(family.Order(), expected);
  EXPECT_EQ(family.Log().substr(0, 22), "\nFor Jo /Ng/\n  250\n  2");
  // A second run keeps the order.
  family.Reorder();
  EXPECT_EQ(family.Order(), expected);
}

// The trace of a run: by default the points of the re-ordering as a whole
// and each run's lines; every point at every node when asked.
TEST_F(SameNameReorderTest, TraceLinesOfATwoMemberRun) {
  const std::string whole =
      "SameNameReorder: 249. Just starting\nSameNameReorder: 252. Just starting\n"
      "SameNameReorder: 255. Just starting\nSameNameReorder: 258. Just starting\n"
      "SameNameReorder: 260. Just starting\nSameNameReorder: 266. Just starting\n"
      "SameNameReorder: 268. Just starting\nSameNameReorder: 273. Just starting\n"
      "SameNameReorder: 276. Just starting\nSameNameReorder: 278. Just starting\n"
      "\nsamescnt: 2\n 2 1SameNameReorder: 280. Just starting\n";
  struct Row {
    const char* detail;  // KINSCOPE_TRACE_DETAIL, or none
    std::vector<const char*> in_order;
    size_t key_copies;  // lines of point 234
  } rows[] = {
      {nullptr, {whole.c_str()}, 0},
      {"0", {whole.c_str()}, 0},
      // The run is the last of the walk: it is processed after the walk ends.
      // The key "Lee, Ann" has 8 units: 9 copied with its end, per node visited.
      {"1",
       {"249. Just starting", "173. traversal", "243. traversal", "278. Just starting",
        "samescnt: 2\n 2 1", "46. Proc_sames", "49. Proc_sames", "51. Proc_sames",
        "117. Proc_sames", "127. Proc_sames", "140. Proc_sames", "150. Proc_sames",
        "153. Proc_sames", "280. Just starting\n"},
       18},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.detail == nullptr ? "unset" : row.detail);
    if (row.detail == nullptr) {
      ::unsetenv("KINSCOPE_TRACE_DETAIL");
    } else {
      ::setenv("KINSCOPE_TRACE_DETAIL", row.detail, 1);
    }
    CloseTraceForTesting();
    Family family({{"Ann /Lee/", 1890}, {"Ann /Lee/", 1850}});
    family.Reorder();
    ::unsetenv("KINSCOPE_TRACE_DETAIL");
    const std::string trace = Trace();
    EXPECT_EQ(trace.rfind("SameNameReorder: 249. Just starting\n", 0), 0u);
    size_t at = 0;
    for (const char* line : row.in_order) {
      at = trace.find(line, at);
      ASSERT_NE(at, std::string::npos) << line << "\n" << trace;
    }
    size_t copies = 0;
    for (size_t p = trace.find("234. traversal"); p != std::string::npos;
         p = trace.find("234. traversal", p + 1)) {
      ++copies;
    }
    EXPECT_EQ(copies, row.key_copies);
  }
}

// The default trace grows with the runs, not with the nodes the walk and
// the re-insertions pass: the run lines and a dozen points.
TEST_F(SameNameReorderTest, TheTraceOfManyRunsStaysSmall) {
  Family family(family::ManyRuns(120, 3));
  ASSERT_TRUE(family.Reorder().Done());
  const std::string trace = Trace();
  auto count = [&trace](const std::string& what) {
    size_t n = 0;
    for (size_t p = trace.find(what); p != std::string::npos; p = trace.find(what, p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("samescnt: 3\n"), 120u);
  EXPECT_EQ(count(". Just starting\n"), 11u);
  EXPECT_EQ(count("traversal") + count("Proc_sames"), 0u);
  EXPECT_LE(trace.size(), 11u * 36 + 120 * (13 + 3 * 4));
}

// Re-insertions compared by rank write what re-insertions that build every
// key write, byte for byte: on a sound tree, and on damaged ones where some
// nodes or all keep no rank.
TEST_F(SameNameReorderTest, RanksWriteWhatKeysWrite) {
  auto set_name = [](Family& f, int32_t node, int32_t name) {
    IndexNodeImage image{};
    f.db_->LoadIndexNode(image, node);
    EncodeI32(image.data(), indexnode::kName, name);
    f.db_->StoreIndexNode(image, node);
  };
  const struct {
    std::function<void(Family&)> harm;
    size_t ranked;  // nodes ranked; SIZE_MAX for any number
  } rows[] = {
      {[](Family&) {}, 120},
      {[&](Family& f) {  // two names swapped: the keys out of order
         set_name(f, 1, f.names_[1]);
         set_name(f, 2, f.names_[0]);
       },
       0},
      {[&](Family& f) { set_name(f, 5, static_cast<int32_t>(f.db_->FileSize()) - 4); }, 120},
      {[&](Family& f) {  // a name record over the index nodes
         set_name(f, 7, static_cast<int32_t>(f.db_->LocateRecord(3, 10, 16, 512)));
       },
       SIZE_MAX},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    Family by_rank(family::ManyRuns(40, 3));
    Family by_key(family::ManyRuns(40, 3));
    row.harm(by_rank);
    row.harm(by_key);
    IndexKeyRanks ranks;
    const size_t ranked = ranks.Build(*by_rank.db_);
    if (row.ranked != SIZE_MAX) {
      EXPECT_EQ(ranked, row.ranked);
    }
    for (int32_t node = 120; node >= 1; --node) {
      IndexNodeImage image{};
      by_key.db_->LoadIndexNode(image, node);
      const int32_t name = DecodeI32(image.data(), indexnode::kName);
      by_rank.db_->ReinsertNode(node, name, ranks);
      by_key.db_->ReinsertNode(node, name);
    }
    ASSERT_EQ(by_rank.db_->CommitChange(), 1);
    ASSERT_EQ(by_key.db_->CommitChange(), 1);
    EXPECT_EQ(Contents(by_rank.path_), Contents(by_key.path_));
  }
}

TEST_F(SameNameReorderTest, LogNamesAndBackups) {
  const std::pair<const char*, const char*> names[] = {{"/home/a/family.tev", "/home/a/family.log"},
                                                       {"/home/a/family", "/home/a/family.log"},
                                                       {"/home/a.b/family", "/home/a.b/family.log"},
                                                       {"family.x.tev", "family.x.log"},
                                                       {"/x/.tev", "/x/.log"}};
  for (const auto& [file, log] : names) EXPECT_EQ(ReorderLogName(file), log);

  Family family({{"A /B/", 1}});
  std::string error;
  const platform::LocalTime now{1901, 1, 2, 1, 0, 0, 5, 0};
  const std::string first = BackupDatabase(*family.db_, now, error);
  const std::string second = BackupDatabase(*family.db_, now, error);
  ASSERT_EQ(first, family.path_ + ".19010101-000005.bak") << error;
  EXPECT_EQ(second, family.path_ + ".19010101-000005-2.bak");  // never over an existing copy
  EXPECT_EQ(Contents(first), Contents(family.path_));
  CTEVDatabase closed;
  EXPECT_TRUE(BackupDatabase(closed, now, error).empty());
}

// The walk keeps its own stack: a chain far deeper than a recursive walk
// could take on this thread's 256 KiB stack.
TEST_F(SameNameReorderTest, ADegenerateChainDoesNotExhaustTheStack) {
  constexpr int32_t kNodes = 20000;
  tevwriter::TevFile file(1);
  file.SetHeaderI32(22, kNodes);
  file.SetHeaderI32(42, kNodes);
  file.SetHeaderI32(74, INT32_MAX);
  file.SetRootNode(1);
  char text[16];
  for (int32_t n = 1; n <= kNodes; ++n) {
    std::snprintf(text, sizeof text, "A%06d", n);
    if ((n - 1) % 512 == 0) file.AddPage(0, 4000 + (n - 1) / 512, 10);
    const int64_t at = tevwriter::PageOffset(0, 4000 + (n - 1) / 512) + (n - 1) % 512 * 16;
    file.PatchI32(at, n < kNodes ? n + 1 : 0);
    file.PatchI32(at + 8, n - 1);
    file.PatchI32(at + 12, file.AppendINameRec(0, 0, n, 1, text));
  }
  TempDir dir;
  ASSERT_TRUE(file.Write(dir.File("chain.tev")));
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(dir.File("chain.tev"), 0), kOpenOk);
  struct Job {
    CTEVDatabase* db;
    std::string path;
  } job{&db, dir.File("chain.tev")};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attr,
                [](void* arg) -> void* {
                  auto* j = static_cast<Job*>(arg);
                  ReorderIdenticalNames(*j->db, j->path);
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(Contents(dir.File("chain.log")), "");
}

// Damage that stops the re-ordering, each with its message and the exit
// status the program ends with; the file is then as it was, the runs
// already written undone.
struct Damage {
  const char* what;
  int status;
  const char* text;  // a part of the message's text
  const char* title;
  void (*harm)(Family&);
};

TEST_F(SameNameReorderTest, FailuresAreReportedAndUndone) {
  const Damage cases[] = {
      {"empty tree", 8, "Error 5", "Aborting",
       [](Family& f) { f.db_->SetHeaderI32(kHdrRootNode2, 0); }},
      {"root marked not in the tree", 8, "Error 6", "Aborting",
       [](Family& f) { f.db_->SetNodeLink(f.db_->HeaderI32(kHdrRootNode2), -1, kParentLink); }},
      {"a cycle", 8, "is reached a second time", "Aborting",
       [](Family& f) { f.db_->SetNodeLink(2, 1, kGreaterLink); }},
      {"name outside the bounds", 98, "cannot be read or fails its checks", "Aborting",
       [](Family& f) { f.db_->SetHeaderI32(kHdrIndividBound, 0); }},
      {"owner is not an individual", 8, "Unexpected type in name record", "Error 649",
       [](Family& f) { f.db_->WriteAt(f.names_[0] + 12, std::vector<uint8_t>{2}.data(), 1); }},
      {"owner of the second run cannot be read, the first run written", 8, "Error 1010", "Abort",
       [](Family& f) {
         f.db_->WriteAt(f.names_[3] + 8, std::vector<uint8_t>{50, 0, 0, 0}.data(), 4);
       }},
      {"invalid date type", 9, "Unknown date type", "Error",
       [](Family& f) {
         IndividImage p{};
         f.db_->LoadIndivid(p, 1);
         p[64] = 7;
         f.db_->WriteRecord(p.data(), 221, 1, 2, 37);
       }},
      {"log cannot be created", 100, "Error 1000", "Abort",
       [](Family& f) { f.path_ = f.dir_.File("no/such/folder/family.tev"); }},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    Family family({{"Ann /Lee/", 1890}, {"Ann /Lee/", 1850}, {"Bo /Ng/", 1890}, {"Bo /Ng/", 1850}});
    family.db_->SetHeaderI32(kHdrIndividBound, 100);
    c.harm(family);
    ASSERT_EQ(family.db_->CommitChange(), 1);
    const std::string before = Contents(family.db_->Path());
    const ReorderResult result = family.Reorder();
    EXPECT_FALSE(result.Done());
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.text.find(c.text), std::string::npos) << result.text;
    EXPECT_EQ(result.title, c.title);
    EXPECT_NE(result.detail.find("Nothing was changed"), std::string::npos) << result.detail;
    EXPECT_EQ(Contents(family.db_->Path()), before);
    EXPECT_FALSE(platform::Exists(JournalPath(family.db_->Path())));
  }
}

// A log that could not be written whole is reported; the re-ordering is
// done all the same.
TEST_F(SameNameReorderTest, ALogCutShortIsReported) {
  Family family({{"Ann /Lee/", 1890}, {"Ann /Lee/", 1850}});
  crash::FullDiskSeam full(0, 10);
  platform::SetSeam(&full);
  const ReorderResult result = family.Reorder();
  platform::SetSeam(nullptr);
  EXPECT_TRUE(result.Done());
  EXPECT_EQ(family.Log(), "\nFor Ann /");
  EXPECT_EQ(result.detail, "The log " + family.dir_.File("family.log") +
                               " could not be written whole (the disk is full): it lacks some "
                               "of the runs.");
  EXPECT_EQ(family.Order(), (std::vector<int32_t>{2, 1}));
}

// An existing log is replaced only when it is a regular file of the user's;
// nothing is ever written through a link or into another user's file.
TEST_F(SameNameReorderTest, AnExistingLogIsReplacedOnlyWhenItIsTheUsersOwn) {
  struct Row {
    const char* what;
    std::function<void(const std::string& log, const std::string& target)> make;
    bool refused;
  } rows[] = {
      {"a link",
       [](const std::string& log, const std::string& target) {
         ASSERT_EQ(::symlink(target.c_str(), log.c_str()), 0);
       },
       true},
      {"a named pipe",
       [](const std::string& log, const std::string&) {
         ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
       },
       true},
      {"another user's file",
       [](const std::string& log, const std::string&) {
         std::ofstream(log) << "theirs";
         if (::geteuid() == 0) {
           ASSERT_EQ(::chown(log.c_str(), 65534, 65534), 0);
         }
       },
       ::geteuid() == 0},
      {"the user's own file",
       [](const std::string& log, const std::string&) { std::ofstream(log) << "an older log"; },
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Family family({{"Ann /Lee/", 1890}, {"Ann /Lee/", 1850}});
    const std::string log = family.dir_.File("family.log");
    const std::string target = family.dir_.File("target");
    std::ofstream(target) << "not for the log";
    row.make(log, target);
    if (row.refused) {
      const ReorderResult result = family.Reorder();
      EXPECT_EQ(result.status, kReorderLogStatus);
      EXPECT_EQ(result.text, "Error 1000");
      EXPECT_NE(result.detail.find("left alone"), std::string::npos) << result.detail;
    } else {
      family.Reorder();
      EXPECT_EQ(family.Log(), "\nFor Ann /Lee/\n  2\n  1");
    }
    EXPECT_EQ(Contents(target), "not for the log");
  }
}

TEST_F(SameNameReorderTest, TheCheckBeforehandRefusesADamagedIndex) {
  Family family({{"Ann /Lee/", 1890}, {"Ann /Lee/", 1850}, {"Bo /Lee/", 1}});
  EXPECT_EQ(CheckBeforeReorder(*family.db_), "");
  family.db_->SetNodeLink(3, 1, kGreaterLink);  // a loop back to the first node
  EXPECT_NE(CheckBeforeReorder(*family.db_), "");
  family.db_->SetHeaderI32(kHdrRootNode2, 0);
  EXPECT_EQ(CheckBeforeReorder(*family.db_), "the name index is empty");
}

// The sample family: its namesakes come out in birth order, no name text
// changes, and a second run keeps the order.
TEST_F(SameNameReorderTest, TheSampleDatabase) {
  TempDir dir;
  const std::string path = dir.File("family.tev");
  std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 0), kOpenOk);
  ASSERT_EQ(CheckBeforeReorder(db), "");
  auto owners = [&db] {
    std::vector<int32_t> rins;
    for (int32_t node : CheckIndexTree(db).order) {
      IndexNodeImage image{};
      INameRecImage name{};
      db.LoadIndexNode(image, node);
      db.LoadINameRec(DecodeI32(image.data(), 12), name);
      rins.push_back(DecodeI32(name.data(), 8));
    }
    return rins;
  };
  auto position = [](const std::vector<int32_t>& v, int32_t rin) {
    return std::find(v.begin(), v.end(), rin) - v.begin();
  };
  const std::vector<int32_t> before = owners();
  EXPECT_GT(position(before, 1), position(before, 22));  // out of birth order at first
  const tevwriter::Bytes names_before = tevwriter::ReadWholeFile(path);
  ReorderIdenticalNames(db, path);
  EXPECT_TRUE(CheckIndexTree(db).Sound());
  const std::vector<int32_t> after = owners();
  EXPECT_LT(position(after, 1), position(after, 7));    // Thomas /Whitcombe/, 1842
  EXPECT_LT(position(after, 7), position(after, 22));   // 1865, then 1890
  EXPECT_LT(position(after, 26), position(after, 27));  // John /Marsh/, 1887 and 1889
  EXPECT_NE(Contents(dir.File("family.log")).find("\nFor Thomas /Whitcombe/"), std::string::npos);
  ReorderIdenticalNames(db, path);
  EXPECT_EQ(owners(), after);
  // Only index nodes and the header changed: every name text is as it was.
  const tevwriter::Bytes now = tevwriter::ReadWholeFile(path);
  for (int32_t node : CheckIndexTree(db).order) {
    IndexNodeImage image{};
    db.LoadIndexNode(image, node);
    const auto at = static_cast<size_t>(DecodeI32(image.data(), 12));
    EXPECT_TRUE(std::equal(now.begin() + static_cast<long>(at),
                           now.begin() + static_cast<long>(at) + 40,
                           names_before.begin() + static_cast<long>(at)));
  }
}

}  // namespace
