// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and closing database files: the checks of the open, the result
// codes, the lock, and what the close writes back.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "Coding.h"
#include "PlatformFile.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;
using tevwriter::Bytes;

namespace {

// The error codes of the file layer: GetLastError values on Windows.
#ifdef _WIN32
constexpr int kNoSuchFile = 2, kNoSuchFolder = 3, kDenied = 5, kInUse = 32;
#else
constexpr int kNoSuchFile = ENOENT, kNoSuchFolder = ENOENT, kDenied = EACCES, kInUse = EWOULDBLOCK;
#endif

// Root may write even a read-only file: on Linux, and under Wine run by root
// (scripts/test-windows says so through KINSCOPE_WINE_AS_ROOT).
bool MayWriteReadOnlyFiles() {
#ifdef _WIN32
  return std::getenv("KINSCOPE_WINE_AS_ROOT") != nullptr;
#else
  return ::geteuid() == 0;
#endif
}

class OpenCloseTest : public ::testing::Test {
 protected:
  std::string Write(const tevwriter::TevFile& file, const std::string& name = "db.tev") {
    const std::string path = dir_.File(name);
    EXPECT_TRUE(file.Write(path));
    return path;
  }
  TempDir dir_;
};

struct DamageCase {
  const char* what;
  int regions;
  int64_t truncate_to;  // -1: keep the size
  int64_t patch_at;     // -1: no patch
  Bytes patch;
  int expected;
};

TEST_F(OpenCloseTest, DamagedFilesAreCorrupt) {
  const DamageCase cases[] = {
      {"sound file", 1, -1, -1, {}, 1},
      {"magic followed by a non-zero byte", 1, -1, 8, {'T', 'E', 'V', 'X'}, -1},
      {"lower-case magic", 1, -1, 8, {'t', 'e', 'v', 0}, -1},
      {"empty file", 1, 0, -1, {}, -1},
      {"header cut short", 1, 1684, -1, {}, -1},
      {"page-count table cut short", 0, 12287, -1, {}, -1},
      {"no regions, fixed areas whole", 0, 12288, -1, {}, 1},
      {"negative region count", 0, 12288, 18, {0xff, 0xff, 0xff, 0xff}, 1},
      {"region 0 map cut short", 1, 12288 + 8191, -1, {}, -1},
      {"region 0 map whole", 1, 12288 + 8192, -1, {}, 1},
      {"map first byte not 11", 1, -1, 12288, {10}, -1},
      {"map first byte 0", 1, -1, 12288, {0}, -1},
      {"second region counted but missing", 1, -1, 18, {2, 0, 0, 0}, -1},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    tevwriter::TevFile file(c.regions);
    const std::string path = Write(file);
    if (c.truncate_to >= 0) {
      ASSERT_TRUE(tevwriter::TruncateFile(path, c.truncate_to));
    }
    if (c.patch_at >= 0) {
      ASSERT_TRUE(tevwriter::OverwriteFile(path, c.patch_at, c.patch));
    }
    CTEVDatabase db;
    EXPECT_EQ(db.OpenDatabase(path, 0), c.expected);
    EXPECT_EQ(db.IsOpen(), c.expected == 1);
  }
}

TEST_F(OpenCloseTest, RegionCountAboveThirtyOneLoadsThirtyOneMaps) {
  tevwriter::TevFile file(31);
  file.SetHeaderI32(18, 40);
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(Write(file), 1), 1);
  EXPECT_EQ(db.PageListCount(), 31);
}

TEST_F(OpenCloseTest, FilesThatCannotBeOpenedTellWhy) {
  const std::string read_only = Write(tevwriter::TevFile(1), "read-only.tev");
  std::filesystem::permissions(std::filesystem::u8path(read_only),
                               std::filesystem::perms::owner_read);
  const struct {
    std::string path;
    int mode, error;
  } rows[] = {{dir_.File("absent.tev"), 0, kNoSuchFile},
              {dir_.File("absent.tev"), 1, kNoSuchFile},
              {dir_.File("absent/db.tev"), 1, kNoSuchFolder},
              {read_only, 0, kDenied}};
  for (const auto& row : rows) {
    if (row.error == kDenied && MayWriteReadOnlyFiles()) continue;
    CTEVDatabase db;
    EXPECT_EQ(db.OpenDatabase(row.path, row.mode), -2) << row.path;
    EXPECT_EQ(kinscope::platform::LastError(), row.error) << row.path;
    EXPECT_FALSE(db.IsOpen());
  }
  CTEVDatabase db;  // and read-only it opens
  EXPECT_EQ(db.OpenDatabase(read_only, 1), 1);
}

TEST_F(OpenCloseTest, PathWithNonAsciiBytesReachesTheFileSystem) {
  const std::string names[] = {
      "Stammbaum M\xc3\xbcller.tev", "\xce\x93\xce\xb5\xce\xbd\xce\xb5\xce\xb1.tev",
      "\xe5\xae\xb6\xe8\xb0\xb1 \xf0\x9f\x8c\xb3.tev",  // CJK and a character beyond 16 bits
#ifndef _WIN32
      "M\xc3\xbcller \xe9t\xe9.tev",  // stray Latin-1 bytes: POSIX takes any bytes
#endif
  };
  for (const std::string& name : names) {
    const std::string path = Write(tevwriter::TevFile(1), name);
    CTEVDatabase db;
    EXPECT_EQ(db.OpenDatabase(path, 0), 1) << name;
    db.CloseDatabase();
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(path))) << name;
  }
  // A path past the classic Windows limit of 260, made by the layer itself.
  namespace platform = kinscope::platform;
  const Bytes image = tevwriter::ReadWholeFile(Write(tevwriter::TevFile(1), "short.tev"));
  const std::string path = dir_.File(std::string(240, 'x') + ".tev");
  ASSERT_GT(path.size(), 260u);
  const platform::FileHandle file = platform::CreateNew(path);
  ASSERT_NE(file, platform::kNoFile);
  EXPECT_EQ(platform::WriteAt(file, 0, image.data(), image.size()), image.size());
  EXPECT_TRUE(platform::Sync(file));
  EXPECT_EQ(platform::FileSize(file), static_cast<int64_t>(image.size()));
  platform::Close(file);
  EXPECT_EQ(platform::CreateNew(path), platform::kNoFile);  // never over an existing file
  {
    CTEVDatabase db;
    EXPECT_EQ(db.OpenDatabase(path, 1), 1);
  }
  EXPECT_TRUE(platform::Exists(path));
  EXPECT_TRUE(platform::RemoveFile(path));
  EXPECT_FALSE(platform::Exists(path));
}

TEST_F(OpenCloseTest, WritersAndReadersConflictOnlyWhenOneWrites) {
  const std::string path = Write(tevwriter::TevFile(1));
  struct Case {
    int first_mode, second_mode, expected;
  } cases[] = {{0, 0, -2}, {0, 1, -2}, {1, 0, -2}, {1, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first_mode << " then " << c.second_mode);
    CTEVDatabase first, second;
    ASSERT_EQ(first.OpenDatabase(path, c.first_mode), 1);
    EXPECT_EQ(second.OpenDatabase(path, c.second_mode), c.expected);
    if (c.expected == -2) {
      EXPECT_EQ(kinscope::platform::LastError(), kInUse);
      first.CloseDatabase();
      // Once the first has closed the second gets in.
      EXPECT_EQ(second.OpenDatabase(path, c.second_mode), 1);
    }
  }
}

TEST_F(OpenCloseTest, CloseWithoutWritesStoresVersionTextOnly) {
  tevwriter::TevFile file(1);
  file.SetHeaderBytes(0, {'4', '1', '2', 0});
  file.SetHeaderBytes(1637, Bytes(16, 0x5a));
  file.SetHeaderBytes(1000, {1, 2, 3});
  const std::string path = Write(file);
  const Bytes before = tevwriter::ReadWholeFile(path);

  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 0), 1);
  db.CloseDatabase();
  Bytes expected = before;
  std::memcpy(expected.data(), "500", 4);
  EXPECT_EQ(tevwriter::ReadWholeFile(path), expected);
  EXPECT_FALSE(db.IsOpen());

  // A second close does nothing, even after the file changed on disk.
  ASSERT_TRUE(tevwriter::OverwriteFile(path, 0, {'9', '9', '9', 0}));
  db.CloseDatabase();
  EXPECT_EQ(tevwriter::ReadWholeFile(path)[0], '9');
}

TEST_F(OpenCloseTest, CloseAfterRecordWriteStampsLocalTime) {
  tevwriter::TevFile file(1);
  file.AppendIndexNode(0, 0, 0, 0);
  const std::string path = Write(file);

  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 0), 1);
  kinscope::IndexNodeImage node{};
  node[0] = 7;
  ASSERT_EQ(db.StoreIndexNode(node, 1), 1);
  EXPECT_TRUE(db.IsModified());
  const kinscope::platform::LocalTime before = kinscope::platform::Now();
  db.CloseDatabase();

  const Bytes after = tevwriter::ReadWholeFile(path);
  const uint8_t* stamp = after.data() + 1637;
  EXPECT_EQ(kinscope::DecodeU16(stamp, 0), before.year);
  EXPECT_GE(kinscope::DecodeU16(stamp, 2), 1);
  EXPECT_LE(kinscope::DecodeU16(stamp, 2), 12);
  EXPECT_LE(kinscope::DecodeU16(stamp, 4), 6);
  EXPECT_LE(kinscope::DecodeU16(stamp, 14), 999);
  EXPECT_EQ(std::memcmp(after.data(), "500", 4), 0);
}

TEST_F(OpenCloseTest, ReadOnlyDatabaseNeverTouchesTheFile) {
  tevwriter::TevFile file(1);
  file.AppendIndexNode(3, 4, 5, 6);
  file.SetHeaderBytes(0, {'4', '1', '2', 0});
  const std::string path = Write(file);
  const Bytes before = tevwriter::ReadWholeFile(path);

  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 1), 1);
  EXPECT_TRUE(db.IsReadOnly());
  kinscope::IndexNodeImage node{};
  node.fill(0xee);
  EXPECT_EQ(db.StoreIndexNode(node, 1), 1);
  EXPECT_TRUE(db.IsModified());
  const uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_EQ(db.WriteAt(0, bytes, 4), 1);
  EXPECT_EQ(db.UpdateHeader(), 1);
  db.WriteHeader();
  db.CloseDatabase();
  EXPECT_EQ(tevwriter::ReadWholeFile(path), before);
}

TEST_F(OpenCloseTest, UpdateHeaderWritesBytes14To729Only) {
  const std::string path = Write(tevwriter::TevFile(1));
  // The file's bytes around 14 to 729 differ from the header image's, so a
  // write past either end shows. Written before the open: Windows lets no
  // one else write a file the engine holds open for writing.
  ASSERT_TRUE(tevwriter::OverwriteFile(path, 0, {'x'}));
  ASSERT_TRUE(tevwriter::OverwriteFile(path, 13, {0x77}));
  ASSERT_TRUE(tevwriter::OverwriteFile(path, 730, {0x66}));
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(path, 0), 1);
  db.SetHeaderI32(0, 0x41414141);
  db.SetHeaderI32(10, -1);
  db.SetHeaderI32(730, -1);
  db.SetHeaderI32(30, 1234);
  db.SetHeaderI32(726, -1);
  EXPECT_EQ(db.UpdateHeader(), 1);
  const Bytes after = tevwriter::ReadWholeFile(path);
  EXPECT_EQ(after[0], 'x');
  EXPECT_EQ(after[13], 0x77);
  EXPECT_EQ(after[730], 0x66);
  EXPECT_EQ(kinscope::DecodeI32(after.data(), 30), 1234);
  EXPECT_EQ(kinscope::DecodeI32(after.data(), 726), -1);
}

TEST_F(OpenCloseTest, FailedOpenLeavesNoFileOpenAndCanBeReleased) {
  tevwriter::TevFile file(2);
  const std::string path = Write(file);
  ASSERT_TRUE(tevwriter::OverwriteFile(path, tevwriter::PageOffset(1, 0), {0}));
  auto db = std::make_unique<CTEVDatabase>();
  EXPECT_EQ(db->OpenDatabase(path, 0), -1);
  EXPECT_FALSE(db->IsOpen());
  EXPECT_EQ(db->PageListCount(), 1);  // region 0's list stays until released
  kinscope::ReleaseDatabase(db, false);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->PageListCount(), 0);
  kinscope::ReleaseDatabase(db, true);
  EXPECT_EQ(db, nullptr);
  kinscope::ReleaseDatabase(db, true);  // no object: nothing happens
  // The failed open left the file unlocked and unchanged in its header.
  CTEVDatabase again;
  EXPECT_EQ(again.OpenDatabase(path, 0), -1);
}

}  // namespace
