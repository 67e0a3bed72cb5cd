// SPDX-License-Identifier: GPL-3.0-or-later
// The check command's walks end promptly on damaged links: an individual's
// name chain and a note chain of 100,000 links and around a cycle of 1,000,
// and page counts that claim every page of every region.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Coding.h"
#include "Dump.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TimeLimits.h"

using namespace kinscope;
using tevwriter::Bytes;

namespace {

constexpr int32_t kChain = 100000;
constexpr int32_t kCycle = 1000;

template <typename F>
double Seconds(F operation) {
  const auto start = std::chrono::steady_clock::now();
  operation();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Checks `f` and returns the findings, after timing the check.
dump::json Checked(const tevwriter::TevFile& f, double limit) {
  TempDir dir;
  const std::string path = dir.File("walk.tev");
  EXPECT_TRUE(f.Write(path));
  CTEVDatabase db;
  EXPECT_EQ(db.OpenDatabase(path, 1), kOpenOk);
  dump::Result r;
  EXPECT_LT(Seconds([&] { r = dump::Check(db); }), limit * kTimeLimitScale);
  return r.doc["findings"];
}

// An individual whose name chain runs through `count` names, the last one
// leading back to the first when `closed`; the index holds each name once
// (equal keys, so each node hangs on the lesser side of the one before) and
// the header's bounds cover them.
tevwriter::TevFile NameChain(int32_t count, bool closed) {
  tevwriter::TevFile f(1);
  std::vector<int32_t> at;
  for (int32_t n = 0; n < count; ++n) at.push_back(f.AppendINameRec(0, 0, 1, 1, "Ann /Lee/"));
  for (int32_t n = 0; n < count; ++n) {
    const int32_t next = n + 1 < count ? at[static_cast<size_t>(n) + 1] : (closed ? at[0] : 0);
    f.PatchI32(at[static_cast<size_t>(n)] + static_cast<int64_t>(iname::kNext), next);
    f.PatchI32(at[static_cast<size_t>(n)] + static_cast<int64_t>(iname::kPrevious),
               n > 0 ? at[static_cast<size_t>(n) - 1] : 0);
  }
  Bytes person(static_cast<size_t>(kIndividTable.size), 0);
  EncodeI32(person.data(), individ::kStartnames, at[0]);
  f.AppendRecord(kIndividTable.table, person);
  for (int32_t n = 1; n <= count; ++n)
    f.AppendIndexNode(0, n < count ? n + 1 : 0, n - 1, at[static_cast<size_t>(n) - 1]);
  f.SetRootNode(1);
  f.SetHeaderI32(kHdrIndividBound, 1);
  f.SetHeaderI32(kHdrIndexNodeBound, count);
  f.SetHeaderI32(kHdrNameAreaStart, at.front());
  f.SetHeaderI32(kHdrNameAreaEnd, at.back());
  return f;
}

// Note blocks 1 to `count` linked forwards and backwards; with `closed` the
// last leads on to the first.
tevwriter::TevFile NoteChain(int32_t count, bool closed) {
  tevwriter::TevFile f(1);
  for (int32_t n = 1; n <= count; ++n) {
    Bytes block(static_cast<size_t>(kNoteTable.size), 0);
    EncodeI32(block.data(), note::kNextBlock, n < count ? n + 1 : (closed ? 1 : 0));
    EncodeI32(block.data(), note::kPrevBlock, n - 1);
    block[note::kText] = 'x';
    f.AppendRecord(kNoteTable.table, block);
  }
  return f;
}

TEST(DumpWalkTest, NameChains) {
  EXPECT_TRUE(Checked(NameChain(kChain, false), 10.0).empty());
  const dump::json cycle = Checked(NameChain(kCycle, true), 1.0);
  ASSERT_EQ(cycle.size(), 1u);
  EXPECT_EQ(cycle[0]["what"], "the name chain comes back to this name");
}

TEST(DumpWalkTest, NoteChains) {
  EXPECT_TRUE(Checked(NoteChain(kChain, false), 10.0).empty());
  // Block 1 starts the chain and the last block leads back to it.
  const dump::json cycle = Checked(NoteChain(kCycle, true), 1.0);
  ASSERT_EQ(cycle.size(), 2u);
  EXPECT_EQ(cycle[0]["what"], "its previous link is 0, not 1000");
  EXPECT_EQ(cycle[1]["what"], "the chain comes back to this record");
}

TEST(DumpWalkTest, PageCountsOfEveryPage) {
  tevwriter::TevFile f(1);
  Bytes person(static_cast<size_t>(kIndividTable.size), 0);
  person[individ::kSex] = 'F';
  f.AppendRecord(kIndividTable.table, person);
  for (int r = 0; r < 31; ++r) {
    for (int t = 1; t <= 32; ++t) f.SetPageCount(r, t, 32767);
  }
  const dump::json findings = Checked(f, 5.0);
  // Each count but table 11's disagrees with its map, in every region.
  EXPECT_EQ(findings.size(), size_t{31 * 31}) << findings.dump(1).substr(0, 600);
}

}  // namespace
