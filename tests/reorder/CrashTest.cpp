// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing lost when a write is interrupted: a crash after every write of
// the re-ordering and of the header write-back, a real process killed
// mid-run, a full disk, and the journals that must not be applied.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "CrashSeam.h"
#include "FamilyFile.h"
#include "Journal.h"
#include "TraceFile.h"

using namespace kinscope;
using crash::Bytes;

namespace {

using Change = std::function<bool(CTEVDatabase&)>;

bool Reorder(CTEVDatabase& db) {
  return ReorderIdenticalNames(db, db.Path()).Done() && db.CommitChange() == 1;
}

bool WriteBack(CTEVDatabase& db) {
  db.CloseDatabase();
  return true;
}

struct Figures {
  int64_t points = 0;    // crash points tried
  int64_t restored = 0;  // of those, files a journal put back
};

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_STATE_HOME", dir_.File("state").c_str(), 1);
    CloseTraceForTesting();
  }
  void TearDown() override {
    platform::SetSeam(nullptr);
    CloseTraceForTesting();
  }

  // Puts `before` at path_ and runs `change` on it under `seam`.
  bool Run(const Bytes& before, const Change& change, platform::FileSeam* seam) {
    crash::PutFile(path_, before);
    crash::PutFile(JournalPath(path_), std::nullopt);
    platform::SetSeam(seam);
    CTEVDatabase db;
    const bool done = db.OpenDatabase(path_, 0) == kOpenOk && change(db);
    platform::SetSeam(nullptr);
    return done;
  }

  // Opens path_ for writing after a crash and holds it to the rule: the file
  // as it was before the change or as an uninterrupted run leaves it, a
  // sound index, no journal left.
  void ExpectWhole(const Bytes& before, const Bytes& after, Figures& figures,
                   const std::string& where) {
    crash::CrashSeam no_sync(0);  // the recovery's syncs cost the sweep, and prove nothing here
    platform::SetSeam(&no_sync);
    CTEVDatabase db;
    const int opened = db.OpenDatabase(path_, 0);
    platform::SetSeam(nullptr);
    ASSERT_EQ(opened, kOpenOk) << where;
    const Bytes now = *crash::ReadFile(path_);
    EXPECT_TRUE(now == before || now == after) << where;
    EXPECT_TRUE(CheckIndexTree(db).Sound()) << where;
    EXPECT_NE(db.JournalFound(), JournalState::kInvalid) << where;
    EXPECT_FALSE(platform::Exists(JournalPath(path_))) << where;
    ++figures.points;
    if (db.Recovered()) ++figures.restored;
  }

  // A crash after each write in turn, every `step`-th, in each of the modes.
  Figures Sweep(const Bytes& before, const Change& change, int64_t step = 1) {
    crash::CrashSeam counter(0);
    EXPECT_TRUE(Run(before, change, &counter));
    const Bytes after = *crash::ReadFile(path_);
    EXPECT_NE(after, before);
    Figures figures;
    for (int64_t k = 1; k <= counter.Writes(); k += step) {
      crash::CrashSeam seam(k);
      Run(before, change, &seam);
      EXPECT_TRUE(seam.Crashed());
      for (crash::Mode mode : crash::kModes) {
        for (const auto& [file, content] : seam.After(mode)) crash::PutFile(file, content);
        ExpectWhole(before, after, figures,
                    "crash after write " + std::to_string(k) + " of " +
                        std::to_string(counter.Writes()) + ", mode " + std::to_string(mode));
      }
    }
    return figures;
  }

  // A family of `names` names, each borne by `each` people born in
  // descending years, so that every run is re-ordered.
  Bytes ManyRuns(int names, int each) {
    std::vector<family::Person> people;
    for (int n = 0; n < names; ++n) {
      for (int i = 0; i < each; ++i) {
        people.push_back({"Ann" + std::to_string(n * 7919 % names) + " /Lee/", 1900 - i});
      }
    }
    family::Family built(people);
    built.db_.reset();
    return *crash::ReadFile(built.path_);
  }

  TempDir dir_;
  std::string path_ = dir_.File("crash.tev");
};

TEST_F(CrashTest, EveryWriteOfAChangeCanBeInterrupted) {
  const Bytes sample = *crash::ReadFile(KINSCOPE_SAMPLE_DB);
  Bytes header = sample;
  header[0] = '4';  // so that the write-back's "500" changes the file
  struct Case {
    const char* what;
    Bytes before;
    Change change;
  } cases[] = {{"the sample's re-ordering", sample, Reorder},
               {"many runs of identical names", ManyRuns(9, 3), Reorder},
               {"the header write-back", header, WriteBack}};
  Figures all;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Figures f = Sweep(c.before, c.change);
    std::printf("%s: %lld crash points, %lld files restored\n", c.what,
                static_cast<long long>(f.points), static_cast<long long>(f.restored));
    EXPECT_GT(f.restored, 0);
    all.points += f.points;
    all.restored += f.restored;
  }
  std::printf("in all: %lld crash points, %lld files restored, 0 bytes lost\n",
              static_cast<long long>(all.points), static_cast<long long>(all.restored));
}

// The long sweep: every write of a larger re-ordering, run on demand
// (KINSCOPE_LONG_SWEEP=1, scripts/fuzz crash).
TEST_F(CrashTest, LongSweep) {
  if (std::getenv("KINSCOPE_LONG_SWEEP") == nullptr) GTEST_SKIP() << "KINSCOPE_LONG_SWEEP not set";
  const Figures f = Sweep(ManyRuns(150, 6), Reorder);
  std::printf("long sweep: %lld crash points, %lld files restored\n",
              static_cast<long long>(f.points), static_cast<long long>(f.restored));
}

// A seam that tells a pipe when the run reaches a given write and goes on,
// while the parent kills the process.
class SignalSeam : public platform::FileSeam {
 public:
  SignalSeam(int64_t at, int fd) : at_(at), fd_(fd) {}
  size_t WriteAt(platform::FileHandle file, int64_t offset, const void* buffer,
                 size_t count) override {
    Reached();
    return FileSeam::WriteAt(file, offset, buffer, count);
  }
  bool RemoveFile(const std::string& path) override {
    Reached();
    return FileSeam::RemoveFile(path);
  }

 private:
  void Reached() {
    if (++writes_ == at_ && ::write(fd_, "k", 1) != 1) ::_exit(3);
  }
  int64_t at_;
  int fd_;
  int64_t writes_ = 0;
};

TEST_F(CrashTest, AProcessKilledAtTwentyPointsLosesNothing) {
  const Bytes before = ManyRuns(60, 6);
  crash::CrashSeam counter(0);
  ASSERT_TRUE(Run(before, Reorder, &counter));
  const Bytes after = *crash::ReadFile(path_);
  constexpr int kPoints = 20;
  Figures figures;
  int killed = 0;
  for (int i = 0; i < kPoints; ++i) {
    const int64_t at = 1 + i * (counter.Writes() - 1) / (kPoints - 1);
    crash::PutFile(path_, before);
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipe_fds[0]);
      SignalSeam seam(at, pipe_fds[1]);
      platform::SetSeam(&seam);
      CTEVDatabase db;
      const bool done = db.OpenDatabase(path_, 0) == kOpenOk && Reorder(db);
      ::_exit(done ? 0 : 1);
    }
    ::close(pipe_fds[1]);
    char byte = 0;
    const bool reached = ::read(pipe_fds[0], &byte, 1) == 1;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipe_fds[0]);
    EXPECT_TRUE(reached) << "write " << at;
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ++killed;
    ExpectWhole(before, after, figures, "killed at write " + std::to_string(at));
  }
  std::printf("%d of %d runs killed mid-run (%lld writes each), %lld files restored\n", killed,
              kPoints, static_cast<long long>(counter.Writes()),
              static_cast<long long>(figures.restored));
  EXPECT_GT(killed, kPoints / 2);
}

// The disk fills at each write of a re-ordering in turn: right after the
// failed run the file is as it was and no journal is left, and the message
// says so. Only a disk that fills at the journal's last write, when the
// change is whole and synced, lets it end committed (its journal removed).
TEST_F(CrashTest, AFullDiskAtEveryWriteIsUndoneAtOnce) {
  const struct {
    const char* what;
    Bytes before;
  } cases[] = {{"the sample", *crash::ReadFile(KINSCOPE_SAMPLE_DB)},
               {"many runs of identical names", ManyRuns(9, 3)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    crash::FullDiskSeam counter(0);
    ASSERT_TRUE(Run(c.before, Reorder, &counter));
    const Bytes after = *crash::ReadFile(path_);
    int undone = 0;
    for (int64_t k = 1; k <= counter.Writes(); ++k) {
      crash::PutFile(path_, c.before);
      crash::FullDiskSeam full(k);
      platform::SetSeam(&full);
      // Looked at with the file still open, as the program leaves it when it
      // ends right after its message.
      CTEVDatabase db;
      ASSERT_EQ(db.OpenDatabase(path_, 0), kOpenOk);
      const ReorderResult result = ReorderIdenticalNames(db, path_);
      platform::SetSeam(nullptr);
      const std::string where = "full at write " + std::to_string(k);
      EXPECT_FALSE(platform::Exists(JournalPath(path_))) << where;
      if (result.Done()) {
        EXPECT_EQ(*crash::ReadFile(path_), after) << where;
        continue;
      }
      ++undone;
      EXPECT_EQ(*crash::ReadFile(path_), c.before) << where;
      EXPECT_EQ(result.status, kReorderWriteStatus) << where;
      EXPECT_EQ(result.text, "The re-ordering could not be written (the disk is full).") << where;
      EXPECT_EQ(result.detail, "It was undone: the file is as it was before it began.") << where;
    }
    std::printf("%s: a full disk at each of %lld writes, %d undone at once\n", c.what,
                static_cast<long long>(counter.Writes()), undone);
    EXPECT_EQ(undone, counter.Writes() - 1);
  }
}

// A file-size limit: writes past it fail, so the journal's records, or the
// index nodes, cannot be written. When nothing was written the file is as it
// was at once; when the limit keeps the rollback's own writes out too, the
// message says so, the journal stays, and the next open puts the file back.
TEST_F(CrashTest, AFileSizeLimitLeavesTheFileAsItWas) {
  const Bytes before = ManyRuns(6, 3);
  crash::PutFile(path_, before);
  int64_t node_page = 0;
  {
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path_, 1), kOpenOk);
    node_page =
        db.LocateRecord(1, kIndexNodeTable.table, kIndexNodeTable.size, kIndexNodeTable.per_page);
  }
  ASSERT_GT(node_page, 3 * JournalWriter::kPage);
  struct Row {
    const char* what;
    rlim_t limit;
    int status;
  } rows[] = {{"no room for the journal's first record", 1000, kReorderWriteStatus},
              {"no room for its second", 2 * JournalWriter::kPage, kReorderLeftStatus},
              {"the journal fits, the index nodes do not", static_cast<rlim_t>(node_page),
               kReorderLeftStatus}};
  ::signal(SIGXFSZ, SIG_IGN);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    crash::PutFile(path_, before);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = row.limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    ReorderResult result;
    {
      CTEVDatabase db;
      if (db.OpenDatabase(path_, 0) == kOpenOk) result = ReorderIdenticalNames(db, path_);
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.text, "The re-ordering could not be written (the disk is full).");
    EXPECT_EQ(platform::Exists(JournalPath(path_)), row.status == kReorderLeftStatus);
    if (row.status == kReorderLeftStatus) {
      EXPECT_NE(result.detail.find("the next time the file is opened for writing"),
                std::string::npos)
          << result.detail;
      CTEVDatabase db;
      ASSERT_EQ(db.OpenDatabase(path_, 0), kOpenOk);
      EXPECT_TRUE(db.Recovered());
    }
    EXPECT_EQ(*crash::ReadFile(path_), before);
    EXPECT_FALSE(platform::Exists(JournalPath(path_)));
  }
  ::signal(SIGXFSZ, SIG_DFL);
}

TEST_F(CrashTest, JournalsThatAreNotApplied) {
  const Bytes before = ManyRuns(2, 2);
  const std::string journal = JournalPath(path_);
  // A valid journal, opened read-only: nothing written, the change reported.
  crash::PutFile(path_, before);
  crash::LeaveInterruptedWriteBack(path_);
  const Bytes interrupted = *crash::ReadFile(path_);
  const Bytes kept = *crash::ReadFile(journal);
  Bytes undone = before;  // as the write-back began: "499" at 0
  undone[0] = '4';
  undone[1] = '9';
  undone[2] = '9';
  undone[3] = 0;
  {
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path_, 1), kOpenOk);
    EXPECT_EQ(db.JournalFound(), JournalState::kValid);
    EXPECT_FALSE(db.Recovered());
    db.CloseDatabase();
  }
  EXPECT_EQ(*crash::ReadFile(path_), interrupted);
  EXPECT_EQ(*crash::ReadFile(journal), kept);

  // Journals that are no complete journal of ours are never applied.
  Bytes torn = kept;
  torn[torn.size() - 3] ^= 0x40;  // a byte of the last record
  Bytes stranger = kept;
  stranger.resize(128);
  struct Row {
    const char* what;
    std::function<void()> make;
    JournalState state;
  } rows[] = {
      {"a record that fails its sum", [&] { crash::PutFile(journal, torn); },
       JournalState::kInvalid},
      {"a header without its records", [&] { crash::PutFile(journal, stranger); },
       JournalState::kInvalid},
      {"a link to a valid journal",
       [&] {
         crash::PutFile(dir_.File("elsewhere"), kept);
         ASSERT_EQ(::symlink(dir_.File("elsewhere").c_str(), journal.c_str()), 0);
       },
       JournalState::kInvalid},
      {"another user's valid journal",
       [&] {
         crash::PutFile(journal, kept);
         if (::geteuid() == 0) {
           ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
         }
       },
       ::geteuid() == 0 ? JournalState::kInvalid : JournalState::kValid},
      {"a journal cut before its header", [&] { crash::PutFile(journal, Bytes(100, 0)); },
       JournalState::kUnfinished},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    crash::PutFile(path_, interrupted);
    crash::PutFile(journal, std::nullopt);
    row.make();
    struct stat st {};
    ASSERT_EQ(::lstat(journal.c_str(), &st), 0);
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path_, 0), kOpenOk);
    EXPECT_EQ(db.JournalFound(), row.state);
    EXPECT_EQ(*crash::ReadFile(path_), row.state == JournalState::kValid ? undone : interrupted);
    // An unfinished one is removed; an invalid one stays, and no change can
    // be written while it stands there.
    EXPECT_EQ(platform::Exists(journal), row.state == JournalState::kInvalid);
    if (row.state == JournalState::kInvalid) {
      const ReorderResult result = ReorderIdenticalNames(db, path_);
      EXPECT_EQ(result.status, kReorderWriteStatus);
      EXPECT_EQ(result.text, "The re-ordering could not be written (" + journal +
                                 " stands in the way of the journal).");
      EXPECT_EQ(*crash::ReadFile(path_), interrupted);
    }
  }
}

}  // namespace
