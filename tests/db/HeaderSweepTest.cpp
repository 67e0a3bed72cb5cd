// SPDX-License-Identifier: GPL-3.0-or-later
// Every byte of the sample's header set to 0x00, to 0xFF and to itself with
// the top bit flipped: the file opens unless the magic or the region count
// was hit, and reading what the main window can reach (the records of every
// table, the index in order, a find, the names the index points at) ends
// and stays inside its buffers. The suite sweeps every seventh byte (and
// every byte of the fields the engine reads); KINSCOPE_SWEEP_STRIDE=1 sweeps
// all of them (scripts/fuzz sweep).
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Coding.h"
#include "NameFind.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TreeCheck.h"

using namespace kinscope;

namespace {

constexpr std::array<TableSpec, 9> kSpecs = {kIndividTable, kMarrTable,       kNoteTable,
                                             kFamLinkTable, kCitTable,        kIndexNodeTable,
                                             kUserEvTable,  kUserEvTypeTable, kMediaTable};

// Reads records 1 to 64 of every table and walks the index; returns the
// number of records read.
int ReadReachable(CTEVDatabase& db) {
  int read = 0;
  std::array<uint8_t, 256> record{};
  for (const TableSpec& t : kSpecs) {
    for (int32_t n = 1; n <= 64; ++n)
      read += db.ReadRecord(record.data(), t.size, n, t.table, t.per_page);
  }
  const TreeReport report = CheckIndexTree(db);
  for (int32_t node : report.order) {
    IndexNodeImage image{};
    db.LoadIndexNode(image, node);
    INameRecImage name{};
    db.LoadINameRec(DecodeI32(image.data(), indexnode::kName), name);
  }
  FindNames(db, "", 1000);
  FindNames(db, "M", 1000);
  return read;
}

size_t Stride() {
  const char* text = std::getenv("KINSCOPE_SWEEP_STRIDE");
  const long stride = text == nullptr ? 7 : std::strtol(text, nullptr, 10);
  return stride < 1 ? 1 : static_cast<size_t>(stride);
}

// The header fields the engine reads: every byte of them is swept.
bool Read(size_t offset) {
  return offset < 24 || (offset >= kHdrRootNode && offset < kHdrRootNode + 4) ||
         (offset >= kHdrIndexNodeBound && offset < kHdrIndexNodeBound + 4) ||
         (offset >= kHdrRootNode2 && offset < kHdrRootNode2 + 4) ||
         (offset >= kHdrNameAreaStart && offset < kHdrNameAreaEnd + 4);
}

TEST(HeaderSweepTest, EveryByteThreeWays) {
  const tevwriter::Bytes sample = tevwriter::ReadWholeFile(KINSCOPE_SAMPLE_DB);
  ASSERT_GT(sample.size(), size_t{kRegionBase});
  TempDir dir;
  const std::string path = dir.File("swept.tev");
  std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
  int sound_reads = 0;
  {
    CTEVDatabase db;
    ASSERT_EQ(db.OpenDatabase(path, 1), kOpenOk);
    sound_reads = ReadReachable(db);
  }
  ASSERT_GT(sound_reads, 20);
  const int32_t regions = DecodeI32(sample.data(), kHdrRegionCount);

  const auto start = std::chrono::steady_clock::now();
  const size_t stride = Stride();
  int opens = 0;
  for (size_t offset = 0; offset < size_t{kHeaderSize}; ++offset) {
    if (offset % stride != 0 && !Read(offset)) continue;
    const uint8_t original = sample[offset];
    for (const uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t(original ^ 0x80)}) {
      if (value == original) continue;
      tevwriter::Bytes header(sample.begin(), sample.begin() + kHeaderSize);
      header[offset] = value;
      ASSERT_TRUE(tevwriter::OverwriteFile(path, static_cast<int64_t>(offset), {value}));
      const int32_t count = DecodeI32(header.data(), kHdrRegionCount);
      const bool magic = offset >= kHdrMagic && offset < kHdrMagic + 4;
      const bool too_many = std::min(count, kMaxRegions) > regions;
      CTEVDatabase db;
      const int result = db.OpenDatabase(path, 1);
      SCOPED_TRACE("byte " + std::to_string(offset) + " = " + std::to_string(value));
      ASSERT_EQ(result, magic || too_many ? kOpenCorrupt : kOpenOk);
      if (result == kOpenOk) {
        ++opens;
        // Only the region count decides which records can be read.
        EXPECT_EQ(ReadReachable(db), count >= 1 ? sound_reads : 0);
      }
      db.CloseDatabase();  // Windows lets no one write a file open beside
      ASSERT_TRUE(tevwriter::OverwriteFile(path, static_cast<int64_t>(offset), {original}));
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("swept every %zu header bytes: %d damaged copies opened, %.2f s\n", stride, opens,
              seconds);
  EXPECT_GT(opens, 0);
}

}  // namespace
