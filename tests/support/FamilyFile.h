// SPDX-License-Identifier: GPL-3.0-or-later
// A database file for the re-ordering's tests, built with our writer: one
// individual and one index node per person, the nodes inserted through the
// engine's own ReinsertNode.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "FamilyWriter.h"
#include "FileContents.h"
#include "SameNameReorder.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TreeCheck.h"

namespace family {

using namespace kinscope;
using ::Contents;

// A database whose index holds one node per person, node n for RIN n,
// inserted in the order given through the engine's own ReinsertNode.
class Family {
 public:
  explicit Family(const std::vector<Person>& people) : path_(dir_.File("family.tev")) {
    EXPECT_TRUE(WriteFamily(path_, people, names_));
    Open();
  }
  void Open() {
    db_ = std::make_unique<CTEVDatabase>();
    EXPECT_EQ(db_->OpenDatabase(path_, 0), kOpenOk);
  }
  // The RINs in index order (node n stands for RIN n).
  std::vector<int32_t> Order() {
    const TreeReport report = CheckIndexTree(*db_);
    EXPECT_TRUE(report.Sound());
    return report.order;
  }
  ReorderResult Reorder() { return ReorderIdenticalNames(*db_, path_); }
  std::string Log() const { return Contents(dir_.File("family.log")); }

  TempDir dir_;
  std::string path_;
  std::vector<int32_t> names_;
  std::unique_ptr<CTEVDatabase> db_;
};

}  // namespace family
