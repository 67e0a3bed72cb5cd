// SPDX-License-Identifier: GPL-3.0-or-later
// The sample database the build writes opens cleanly and holds records in
// every table the program reads.
#include <gtest/gtest.h>

#include "Coding.h"
#include "TEVDatabase.h"

using kinscope::CTEVDatabase;

TEST(SampleDatabaseTest, OpensAndEveryTableHoldsRecords) {
  CTEVDatabase db;
  ASSERT_EQ(db.OpenDatabase(KINSCOPE_SAMPLE_DB, 1), 1);
  kinscope::IndividImage individual{};
  kinscope::MarrImage marriage{};
  kinscope::NoteImage note{};
  kinscope::FamLinkImage family{};
  kinscope::CitImage citation{};
  kinscope::IndexNodeImage node{};
  kinscope::UserEvImage event{};
  kinscope::UserEvTypeImage type{};
  kinscope::MediaImage media{};
  EXPECT_EQ(db.LoadIndivid(individual, 1), 1);
  EXPECT_EQ(db.LoadMarr(marriage, 1), 1);
  EXPECT_EQ(db.LoadNote(note, 1), 1);
  EXPECT_EQ(db.LoadFamLink(family, 1), 1);
  EXPECT_EQ(db.LoadCit(citation, 1), 1);
  EXPECT_EQ(db.LoadIndexNode(node, 1), 1);
  EXPECT_EQ(db.LoadUserEv(event, 1), 1);
  EXPECT_EQ(db.LoadUserEvType(type, 1), 1);
  EXPECT_EQ(db.LoadMedia(media, 1), 1);

  // The individuals and the index agree with the header's bounds.
  const int32_t individuals = db.HeaderI32(kinscope::kHdrIndividBound);
  EXPECT_GE(individuals, 25);
  EXPECT_LE(individuals, 40);
  EXPECT_EQ(db.LoadIndivid(individual, individuals), 1);
  const int32_t slots =
      db.PageCount(0, kinscope::kIndividTable.table) * kinscope::kIndividTable.per_page;
  EXPECT_EQ(db.LoadIndivid(individual, slots + 1), 0);
  const int32_t root = db.HeaderI32(kinscope::kHdrRootNode2);
  EXPECT_EQ(root, db.HeaderI32(kinscope::kHdrRootNode));
  ASSERT_EQ(db.LoadIndexNode(node, root), 1);
  EXPECT_EQ(kinscope::DecodeI32(node.data(), 8), 0);  // the root has no parent
  EXPECT_EQ(db.LoadIndexNode(node, db.HeaderI32(kinscope::kHdrIndexNodeBound)), 1);
}
