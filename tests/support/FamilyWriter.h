// SPDX-License-Identifier: GPL-3.0-or-later
// A database file of people and their names, one index node per name linked
// through the engine's own ReinsertNode: for the re-ordering's tests, with
// or without gtest.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "NamesFile.h"
#include "TEVDatabase.h"
#include "TevWriter.h"

namespace family {

using namespace kinscope;

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

// Writes a database at `path` whose index holds one node per person, node n
// for RIN n, inserted in the order given through the engine's own
// ReinsertNode and committed; the offsets of their name records go to
// `names`. False when the file cannot be written, opened or committed.
inline bool WriteFamily(const std::string& path, const std::vector<Person>& people,
                        std::vector<int32_t>& names) {
  tevwriter::TevFile file(1);
  const int32_t count = static_cast<int32_t>(people.size());
  file.SetHeaderI32(22, count);
  file.SetHeaderI32(42, count);
  file.SetHeaderI32(74, INT32_MAX);
  names.clear();
  for (int32_t rin = 1; rin <= count; ++rin) {
    const Person& p = people[static_cast<size_t>(rin - 1)];
    const int32_t name = file.AppendINameRec(0, 0, rin, 1, p.name);
    names.push_back(name);
    tevwriter::Bytes person(221, 0);
    tevwriter::PutI32(person, 0, name);
    PutBirth(person, 64, p.born);
    PutBirth(person, 88, p.christened);
    file.AppendRecord(2, person);
    file.AppendIndexNode(0, 0, -1, name);
  }
  if (!file.Write(path)) return false;
  CTEVDatabase db;
  if (db.OpenDatabase(path, 0) != kOpenOk) return false;
  for (int32_t n = 1; n <= count; ++n) db.ReinsertNode(n, names[static_cast<size_t>(n - 1)]);
  return db.CommitChange() == 1;  // the header in memory is left unwritten
}

}  // namespace family
