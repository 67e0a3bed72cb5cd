// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged copies of the sample database: whatever bytes are hit, opening and
// reading every record either works or fails cleanly, and never reads outside
// a buffer (the sanitizer build checks that).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "Coding.h"
#include "EveryTable.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using kinscope::CTEVDatabase;

namespace {

// Reads every record of every table up to one page past its last, and the
// name records the index nodes point at. Returns how many reads succeeded.
int ReadEverything(CTEVDatabase& db) {
  int ok = 0;
  EveryTable t;
  for (int32_t n = -1; n <= 600; ++n) {
    const auto results = t.Load(db, n);
    for (const int result : results) ok += result;
    if (results[EveryTable::kIndexNode] == 1) {
      kinscope::INameRecImage name{};
      ok += db.LoadINameRec(kinscope::DecodeI32(t.node.data(), 12), name) > 0;
      kinscope::NameRecImage place{};
      ok += db.LoadNameRec(kinscope::DecodeI32(t.node.data(), 0), place) > 0;
    }
  }
  return ok;
}

TEST(CorruptionTest, RandomDamageNeverBreaksTheReads) {
  const tevwriter::Bytes sample = tevwriter::ReadWholeFile(KINSCOPE_SAMPLE_DB);
  ASSERT_GT(sample.size(), 12288u);
  TempDir dir;
  const std::string path = dir.File("damaged.tev");
  std::mt19937 random(20261208);
  int opened = 0;
  for (int round = 0; round < 60; ++round) {
    tevwriter::Bytes damaged = sample;
    // Hit the fixed areas and page maps more often than the rest.
    const int hits = 1 + static_cast<int>(random() % 40);
    for (int h = 0; h < hits; ++h) {
      const size_t limit = (random() % 2 == 0) ? 12288 + 8192 : damaged.size();
      damaged[random() % limit] = static_cast<uint8_t>(random());
    }
    if (round % 10 == 9) damaged.resize(random() % damaged.size());
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(damaged.data(), 1, damaged.size(), out);
    std::fclose(out);

    CTEVDatabase db;
    const int result = db.OpenDatabase(path, 1);
    ASSERT_TRUE(result == 1 || result == -1) << "round " << round;
    if (result == 1) {
      ++opened;
      ReadEverything(db);
    }
  }
  EXPECT_GT(opened, 10);  // most damage leaves the file readable
}

TEST(CorruptionTest, SampleReadsWhole) {
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(KINSCOPE_SAMPLE_DB, 1), 1);
  EXPECT_GT(ReadEverything(db), 150);
}

}  // namespace
