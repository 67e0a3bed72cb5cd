// SPDX-License-Identifier: GPL-3.0-or-later
// The repair: a damaged database file mended onto a copy.
//
// The file the repair reads is opened read-only and never written. It is
// checked (FileCheck.h), copied to "OUT.part" (created new through the
// platform layer), and the copy is mended: opened for writing as any
// database is, so that every mend goes through the journal and a failed
// write puts the copy back as it was. The copy is checked again after each
// round of mends; once it checks without damage (or the mends have nothing
// more to do) it is closed, synced, renamed to OUT and its folder synced. An
// interrupted repair leaves no OUT, and whatever it left under "OUT.part" is
// replaced by the next one.
//
// What is mended is decided by the check's findings, by kind: each kind the
// repair mends is one row of its table (Repair.cpp), with the mend. The
// mends rebuild what the file holds twice or can be made again from other
// records (the index from the individuals' names, the header's root copies
// and record bounds, the page-count table from the page maps, back links
// from forward chains, a name's owner from the chain that holds it); what
// cannot be rebuilt is cut: the link is set to 0 and the chain ends there.
// A header that keeps the file from opening (its magic, its region count, a
// page map's first byte) is taken back from the page maps and the
// page-count table as the copy is written. Standard library only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FileCheck.h"

namespace kinscope {

// Exit statuses of a repair, as kinscope-dump gives them.
constexpr int kRepairClean = 0;   // the copy checks without damage and nothing was cut
constexpr int kRepairCut = 1;     // the copy was written, but something was cut or left damaged
constexpr int kRepairFailed = 2;  // no copy: the file cannot be read or holds nothing to mend
                                  // from, the copy cannot be written, OUT stands in the way,
                                  // or the repair was stopped

struct RepairOptions {
  // Replace a regular file standing at OUT. A link or a folder there is
  // never replaced.
  bool force = false;
  // Told what the repair does now ("checking", "copying", "mending",
  // "checking the copy") and how far it is, `done` of `total`, at least
  // every few thousand records; returning false stops it, and then nothing
  // is left behind.
  std::function<bool(const std::string& stage, int64_t done, int64_t total)> progress;
  // The file, when the caller holds it open already (the window that shows
  // it): it is checked and copied through this database, which is only
  // read, instead of being opened a second time (the caller's own lock on a
  // file open for writing would refuse that).
  CTEVDatabase* source = nullptr;
};

// One thing the repair did to the copy.
struct RepairLine {
  enum Action : uint8_t {
    kMended,  // rebuilt from what the file holds elsewhere
    kCut,     // a link set to 0, or something the copy does not carry over
    kLeft,    // damage the repair could not mend: it stands in the copy
  };
  Action action = kMended;
  std::string place;  // "index", "header", "note 2", "individual 3 name at 20991"
  std::string was;    // what was wrong
  std::string now;    // what it is now, and where the value was taken from
};

// "mended", "cut" or "left".
const char* RepairActionName(RepairLine::Action action);

struct RepairReport {
  int status = kRepairFailed;
  std::string error;  // why, for status kRepairFailed
  bool cancelled = false;
  std::vector<RepairLine> lines;
  CheckReport before;  // the check of the file (empty when it could not be opened)
  CheckReport after;   // the check of the copy as it was written
  size_t Count(RepairLine::Action action) const;
};

// "12 mended, 1 cut", with ", 2 left" when damage is left.
std::string RepairSummary(const RepairReport& report);

// Mends the database file at `in_path` onto a copy at `out_path` (paths as
// the platform layer takes them). Refuses, with kRepairFailed and nothing
// written, an OUT that is the file itself, a link, a folder or anything but
// a regular file, and a regular file there unless `options.force`; OUT is
// then left as it was. On kRepairFailed no OUT is written and nothing is
// left under "OUT.part".
RepairReport RepairDatabase(const std::string& in_path, const std::string& out_path,
                            const RepairOptions& options = {});

// The index rebuilt in the open database `db` from the names of the
// individuals' chains (RepairIndex.cpp): one node per name record, numbered
// from 1 in name order, each node's lesser side holding the keys before it
// or equal to it and its greater side those after (the shape the format's
// own insert makes when the nodes are inserted level by level), as
// balanced as runs of equal keys let it be; both root copies and the index
// node bound set, nodes beyond the new bound up to the old one zeroed.
// Names with equal keys keep the order of their records in the file.
// `going` is asked every few thousand names; false stops the rebuild before
// it writes. Writes through the journal; the caller ends the change.
struct IndexRebuild {
  bool done = false;     // the index was written (false: stopped, or no room)
  int64_t names = 0;     // names indexed
  int64_t capacity = 0;  // nodes the index node table has room for
  int depth = 0;         // nodes on the longest path from the root
  bool write_failed = false;
};
IndexRebuild RebuildIndex(CTEVDatabase& db, const std::function<bool()>& going = {});

}  // namespace kinscope
