// SPDX-License-Identifier: GPL-3.0-or-later
// The trace file: where it goes, its lines written in blocks, a first use
// that empties it, and a folder that cannot be made.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "FileContents.h"
#include "TempDir.h"
#include "TraceFile.h"

using kinscope::CloseTraceForTesting;
using kinscope::FlushTrace;
using kinscope::TracePath;
using kinscope::WriteTrace;

namespace {

class TraceFileTest : public ::testing::Test {
 protected:
  void SetUp() override { CloseTraceForTesting(); }
  void TearDown() override {
    CloseTraceForTesting();
    ::unsetenv("XDG_STATE_HOME");
  }
  TempDir dir_;
};

TEST_F(TraceFileTest, LinesGoToThePerUserFolderAndAFirstUseEmptiesIt) {
  const std::string state = dir_.File("state");
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  const std::string path = state + "/kinscope/tev5x.txt";
  EXPECT_EQ(TracePath(), path);
  WriteTrace("Explor1", 181, "Button Clicked");
  WriteTrace("SameNameReorder", -7, "");
  // The lines wait for their block, and are all in the file once it is written.
  EXPECT_EQ(Contents(path), "");
  FlushTrace();
  EXPECT_EQ(Contents(path), "Explor1: 181. Button Clicked\nSameNameReorder: -7. \n");
  struct stat st {};
  ASSERT_EQ(::stat((state + "/kinscope").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  CloseTraceForTesting();  // as a second program run
  WriteTrace("SameNameReorder", 249, "Just starting");
  FlushTrace();
  EXPECT_EQ(Contents(path), "SameNameReorder: 249. Just starting\n");
}

// A block is written when a second has passed since the last one, by a
// line or a tick, and when 64 KB wait: a run killed loses at most a second.
TEST_F(TraceFileTest, ABlockIsWrittenEverySecondAndEvery64KB) {
  const std::string state = dir_.File("state");
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  const std::string path = state + "/kinscope/tev5x.txt";
  WriteTrace("SameNameReorder", 249, "Just starting");
  std::this_thread::sleep_for(std::chrono::milliseconds(1050));
  kinscope::TraceTick();
  EXPECT_EQ(Contents(path), "SameNameReorder: 249. Just starting\n");
  const std::string text(1000, 'x');
  for (int i = 0; i < 65; ++i) kinscope::WriteTraceText(text);
  EXPECT_EQ(Contents(path).size(), 36u);  // 65,000 bytes wait
  kinscope::WriteTraceText(text);
  EXPECT_EQ(Contents(path).size(), 36u + 66000);
}

TEST_F(TraceFileTest, RelativeStateFolderFallsBackToHome) {
  ::setenv("XDG_STATE_HOME", "relative/state", 1);
  const char* home = std::getenv("HOME");
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(TracePath(), std::string(home) + "/.local/state/kinscope/tev5x.txt");
}

TEST_F(TraceFileTest, AFolderThatCannotBeMadeDropsLinesUntilItCan) {
  const std::string blocker = dir_.File("file");
  std::ofstream(blocker) << "x";
  ::setenv("XDG_STATE_HOME", blocker.c_str(), 1);  // a file where a folder must go
  WriteTrace("Explor1", 1, "dropped");
  EXPECT_FALSE(kinscope::TraceIsOpen());
  const std::string state = dir_.File("state");
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  WriteTrace("Explor1", 2, "kept");
  FlushTrace();
  EXPECT_EQ(Contents(state + "/kinscope/tev5x.txt"), "Explor1: 2. kept\n");
}

// A link standing at the trace file's name is replaced, never written through.
TEST_F(TraceFileTest, ALinkAtItsNameIsReplaced) {
  const std::string state = dir_.File("state");
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  ASSERT_EQ(::mkdir(state.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((state + "/kinscope").c_str(), 0700), 0);
  const std::string target = dir_.File("target");
  std::ofstream(target) << "someone else's";
  ASSERT_EQ(::symlink(target.c_str(), (state + "/kinscope/tev5x.txt").c_str()), 0);
  WriteTrace("Explor1", 181, "Button Clicked");
  FlushTrace();
  EXPECT_EQ(Contents(target), "someone else's");
  struct stat st {};
  ASSERT_EQ(::lstat((state + "/kinscope/tev5x.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(Contents(state + "/kinscope/tev5x.txt"), "Explor1: 181. Button Clicked\n");
}

}  // namespace
