// SPDX-License-Identifier: GPL-3.0-or-later
// A journal is applied whole to the file it was made for, or not at all:
// every single-byte corruption of its header slots and of a record, journals
// of other files, journals cut short.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "CrashSeam.h"
#include "Journal.h"
#include "TEVDatabase.h"
#include "TempDir.h"

using namespace kinscope;
using crash::Bytes;

namespace {

constexpr size_t kSlots = 128;                             // the two header slots
constexpr size_t kRecord = 12 + JournalWriter::kPage + 8;  // head, a page, sum

class JournalTest : public ::testing::Test {
 protected:
  // The sample interrupted after three writes, each of a page of its own and
  // each saved in a batch of its own: a journal of three records whose
  // newest header (sequence 4) counts them all and whose older one
  // (sequence 3) counts the first two.
  void SetUp() override {
    before_ = *crash::ReadFile(KINSCOPE_SAMPLE_DB);
    crash::PutFile(path_, before_);
    crash::LeaveInterruptedChange(path_, [](CTEVDatabase& db) {
      const uint8_t bytes[4] = {0xde, 0xad, 0xbe, 0xef};
      for (int32_t at : {5 * 4096 + 100, 10 * 4096 + 7, 20 * 4096 + 4000}) {
        ASSERT_EQ(db.WriteAt(at, bytes, 4), 1);
      }
    });
    interrupted_ = *crash::ReadFile(path_);
    journal_ = *crash::ReadFile(JournalPath(path_));
    ASSERT_NE(interrupted_, before_);
    ASSERT_EQ(journal_.size(), kSlots + 3 * kRecord);
  }

  // Opens `file` for writing with `journal` beside it. The file must then be
  // as it was before the change (the journal applied whole) or untouched, the
  // journal reported as invalid and left as it was. Returns whether it was
  // applied.
  bool Open(const Bytes& file, const Bytes& journal, JournalFault fault, const std::string& where) {
    if (on_disk_ != file) crash::PutFile(path_, file);
    // A journal of the same size is overwritten in place: removing and
    // creating a file costs the thousands of rows more than the rest.
    std::fstream same(JournalPath(path_), std::ios::in | std::ios::out | std::ios::binary);
    if (same && crash::ReadFile(JournalPath(path_))->size() == journal.size()) {
      same.write(reinterpret_cast<const char*>(journal.data()),
                 static_cast<std::streamsize>(journal.size()));
      same.close();
    } else {
      same.close();
      crash::PutFile(JournalPath(path_), journal);
    }
    crash::CrashSeam no_sync(0);  // syncs would only slow the rows down
    platform::SetSeam(&no_sync);
    CTEVDatabase db;
    EXPECT_EQ(db.OpenDatabase(path_, 0), kOpenOk) << where;
    platform::SetSeam(nullptr);
    const Bytes now = *crash::ReadFile(path_);
    on_disk_ = now;
    if (db.JournalFound() == JournalState::kValid) {
      EXPECT_EQ(now, before_) << where;
      EXPECT_EQ(db.JournalRecovery(), Recovery::kUndone) << where;
      EXPECT_FALSE(platform::Exists(JournalPath(path_))) << where;
      return true;
    }
    EXPECT_EQ(db.JournalFound(), JournalState::kInvalid) << where;
    EXPECT_EQ(db.JournalReportFound().fault, fault) << where;
    EXPECT_NE(JournalProblem(db.JournalReportFound()), "") << where;
    EXPECT_EQ(now, file) << where;
    EXPECT_EQ(crash::ReadFile(JournalPath(path_)), journal) << where;
    return false;
  }

  TempDir dir_;
  std::string path_ = dir_.File("family.tev");
  Bytes before_, interrupted_, journal_;
  Bytes on_disk_;  // what the file holds, so that a row writes it only when it differs
};

// Either slot may be damaged: the other one holds the file's size and
// fingerprint, and the records past its end are applied with the rest.
TEST_F(JournalTest, EverySingleByteOfTheHeaderSlots) {
  int applied = 0;
  for (size_t i = 0; i < kSlots; ++i) {
    Bytes damaged = journal_;
    damaged[i] ^= 0xff;
    applied += Open(interrupted_, damaged, JournalFault::kNone, "slot byte " + std::to_string(i));
  }
  std::printf("%d of %zu damaged header bytes: the journal applied whole\n", applied, kSlots);
  EXPECT_EQ(applied, static_cast<int>(kSlots));
}

// A record the header counts that fails its sum: never applied in part.
TEST_F(JournalTest, EverySingleByteOfARecord) {
  for (size_t i = 0; i < kRecord; ++i) {
    Bytes damaged = journal_;
    damaged[kSlots + kRecord + i] ^= 0x01;
    EXPECT_FALSE(Open(interrupted_, damaged, JournalFault::kRecordDamaged,
                      "record byte " + std::to_string(i)));
  }
}

TEST_F(JournalTest, JournalsOfOtherFilesAndJournalsCutShort) {
  Bytes longer = interrupted_;
  longer.resize(longer.size() + 4096);
  Bytes shorter = interrupted_;
  shorter.resize(shorter.size() - 4096);
  Bytes other_counts = interrupted_;  // another page-count table, the same size
  other_counts[4096 + 2] ^= 0x01;
  Bytes other_header = interrupted_;  // a header byte the change did not save
  other_header[1000] ^= 0x01;
  const Bytes cut_at_100(journal_.begin(), journal_.begin() + 100);
  const Bytes cut_in_a_record(journal_.begin(), journal_.end() - kRecord / 2);
  const Bytes one_byte_short(journal_.begin(), journal_.end() - 1);
  const struct {
    const char* what;
    const Bytes& file;
    const Bytes& journal;
    JournalFault fault;
  } rows[] = {
      {"a longer file", longer, journal_, JournalFault::kOtherSize},
      {"a shorter file", shorter, journal_, JournalFault::kOtherSize},
      {"another page-count table", other_counts, journal_, JournalFault::kOtherFile},
      {"another header", other_header, journal_, JournalFault::kOtherFile},
      {"a journal cut in its header", interrupted_, cut_at_100, JournalFault::kHeaderDamaged},
      {"a journal cut in a record", interrupted_, cut_in_a_record, JournalFault::kCutShort},
      {"a journal one byte short", interrupted_, one_byte_short, JournalFault::kCutShort},
  };
  for (const auto& row : rows) EXPECT_FALSE(Open(row.file, row.journal, row.fault, row.what));
  // And the journal of this file applies.
  EXPECT_TRUE(Open(interrupted_, journal_, JournalFault::kNone, "its own file"));
}

}  // namespace
