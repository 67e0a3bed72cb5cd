// SPDX-License-Identifier: GPL-3.0-or-later
// Every walk of the index over damaged links ends promptly: the tree check
// and the find over a chain of 100,000 links and around a cycle of 1,000.
// (The tree operations have theirs in IndexTreeTest.)
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "NameFind.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TimeLimits.h"
#include "TreeCheck.h"

using namespace kinscope;

namespace {

constexpr int32_t kChain = 100000;
constexpr int32_t kCycle = 1000;

// Nodes 1 to `count`, each the lesser child of the one before; with
// `closed` node `count` leads back to node 1. All share one name.
struct LesserChain {
  explicit LesserChain(int32_t count, bool closed) {
    tevwriter::TevFile f(1);
    const int32_t name = f.AppendINameRec(0, 0, 1, 1, "Ann /Lee/");
    for (int32_t n = 1; n <= count; ++n) {
      f.AppendIndexNode(0, n < count ? n + 1 : (closed ? 1 : 0), n - 1, name);
    }
    f.SetRootNode(1);
    f.SetHeaderI32(static_cast<int>(kHdrIndexNodeBound), count);
    f.SetHeaderI32(static_cast<int>(kHdrIndividBound), count);
    EXPECT_TRUE(f.Write(path));
    EXPECT_EQ(db.OpenDatabase(path, 1), kOpenOk);
  }
  TempDir dir;
  std::string path = dir.File("chain.tev");
  CTEVDatabase db;
};

template <typename F>
double Seconds(F operation) {
  const auto start = std::chrono::steady_clock::now();
  operation();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(WalkBoundTest, TreeCheckOverAChainAndACycle) {
  LesserChain chain(kChain, false);
  TreeReport report;
  EXPECT_LT(Seconds([&] { report = CheckIndexTree(chain.db); }), 5.0 * kTimeLimitScale);
  EXPECT_TRUE(report.Sound());
  EXPECT_EQ(report.order.size(), size_t{kChain});
  EXPECT_EQ(report.order.front(), kChain);  // the deepest lesser node comes first

  LesserChain cycle(kCycle, true);
  EXPECT_LT(Seconds([&] { report = CheckIndexTree(cycle.db); }), 1.0 * kTimeLimitScale);
  EXPECT_FALSE(report.reached_once);
  EXPECT_TRUE(report.order.empty());  // the walk met node 1 again on its way down
}

TEST(WalkBoundTest, FindOverAChainAndACycle) {
  LesserChain chain(kChain, false);
  NameFindResult found;
  EXPECT_LT(Seconds([&] { found = FindNames(chain.db, "Lee", kChain + 1); }),
            5.0 * kTimeLimitScale);
  EXPECT_EQ(found.matches.size(), size_t{kChain});
  EXPECT_EQ(found.damaged_at, 0);

  LesserChain cycle(kCycle, true);
  EXPECT_LT(Seconds([&] { found = FindNames(cycle.db, "Lee", kChain); }), 1.0 * kTimeLimitScale);
  EXPECT_EQ(found.damaged_at, 1);
  EXPECT_TRUE(found.matches.empty());
}

}  // namespace
