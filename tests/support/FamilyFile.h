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

#include "FileContents.h"
#include "NamesFile.h"
#include "SameNameReorder.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TreeCheck.h"

namespace family {

using namespace kinscope;
using ::Contents;

using namesfile::Jdn;
using namesfile::PutBirth;

struct Person {
  std::string name;
  int born;            // birth year, 0 for none
  int christened = 0;  // christening year, 0 for none
};

// `runs` runs of `members` namesakes each, the later-born entered first so
// that every run is re-ordered, the names entered in no order of theirs so
// that the tree is bushy.
inline std::vector<Person> ManyRuns(int runs, int members) {
  std::vector<Person> people;
  for (int i = 0; i < runs * members; ++i) {
    const int run = (i * 7919) % runs;
    people.push_back({"Given" + std::to_string(run) + " /Surname/", 1900 - i});
  }
  return people;
}

// A database whose index holds one node per person, node n for RIN n,
// inserted in the order given through the engine's own ReinsertNode.
class Family {
 public:
  explicit Family(const std::vector<Person>& people) : path_(dir_.File("family.tev")) {
    tevwriter::TevFile file(1);
    const int32_t count = static_cast<int32_t>(people.size());
    file.SetHeaderI32(22, count);
    file.SetHeaderI32(42, count);
    file.SetHeaderI32(74, INT32_MAX);
    for (int32_t rin = 1; rin <= count; ++rin) {
      const Person& p = people[static_cast<size_t>(rin - 1)];
      const int32_t name = file.AppendINameRec(0, 0, rin, 1, p.name);
      names_.push_back(name);
      tevwriter::Bytes person(221, 0);
      tevwriter::PutI32(person, 0, name);
      PutBirth(person, 64, p.born);
      PutBirth(person, 88, p.christened);
      file.AppendRecord(2, person);
      file.AppendIndexNode(0, 0, -1, name);
    }
    EXPECT_TRUE(file.Write(path_));
    Open();
    for (int32_t n = 1; n <= count; ++n) db_->ReinsertNode(n, names_[static_cast<size_t>(n - 1)]);
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
