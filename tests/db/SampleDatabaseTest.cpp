// SPDX-License-Identifier: GPL-3.0-or-later
// The sample database the build writes opens cleanly and holds records in
// every table the program reads.
#include <gtest/gtest.h>

#include "Coding.h"
#include "EveryTable.h"
#include "TEVDatabase.h"

using kinscope::CTEVDatabase;

TEST(SampleDatabaseTest, OpensAndEveryTableHoldsRecords) {
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(KINSCOPE_SAMPLE_DB, 1), 1);
  EveryTable t;
  EXPECT_EQ(t.Load(db, 1), (std::array<int, EveryTable::kTables>{1, 1, 1, 1, 1, 1, 1, 1, 1}));

  // The individuals and the index agree with the header's bounds.
  const int32_t individuals = db.HeaderI32(kinscope::kHdrIndividBound);
  EXPECT_GE(individuals, 25);
  EXPECT_LE(individuals, 40);
  EXPECT_EQ(db.LoadIndivid(t.individual, individuals), 1);
  const int32_t slots =
      db.PageCount(0, kinscope::kIndividTable.table) * kinscope::kIndividTable.per_page;
  EXPECT_EQ(db.LoadIndivid(t.individual, slots + 1), 0);
  const int32_t root = db.HeaderI32(kinscope::kHdrRootNode2);
  EXPECT_EQ(root, db.HeaderI32(kinscope::kHdrRootNode));
  ASSERT_EQ(db.LoadIndexNode(t.node, root), 1);
  EXPECT_EQ(kinscope::DecodeI32(t.node.data(), 8), 0);  // the root has no parent
  EXPECT_EQ(db.LoadIndexNode(t.node, db.HeaderI32(kinscope::kHdrIndexNodeBound)), 1);
}
