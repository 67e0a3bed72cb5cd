// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the index tree operations and the tree check on a small tree
// image made from the input (links, parents, root copies, bounds). After
// every operation the check must agree with a walk of this target's own,
// and an operation on a sound tree, within its bounds, must leave it sound
// with the nodes it should hold.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Coding.h"
#include "FuzzSupport.h"
#include "IndexTree.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TevWriter.h"
#include "TreeCheck.h"

using namespace kinscope;

namespace {

// A recursive in-order walk with the check's rules: an unsound link skips
// its subtree, a node reached twice ends the walk.
struct OwnWalk {
  OwnWalk(CTEVDatabase& database, int32_t node_bound) : db(database), bound(node_bound) {}
  CTEVDatabase& db;
  int32_t bound;
  std::set<int32_t> reached;
  std::vector<int32_t> order;
  bool links_sound = true, reached_once = true, parents_agree = true, keys_ascend = true;
  WideText previous;

  void Visit(int32_t node, int32_t above) {
    if (node < 0) links_sound = false;
    if (!reached_once || node <= 0) return;
    IndexNodeImage image{};
    if (node > bound || db.LoadIndexNode(image, node) == 0) {
      links_sound = false;
      return;
    }
    if (!reached.insert(node).second) {
      reached_once = false;
      return;
    }
    if (DecodeI32(image.data(), indexnode::kParent) != above) parents_agree = false;
    Visit(DecodeI32(image.data(), indexnode::kLesser), node);
    if (!reached_once) return;
    order.push_back(node);
    WideText text, key;
    uint8_t type = 0;
    ReadINameText(db, text, type, DecodeI32(image.data(), indexnode::kName), LinkCheck::kOff);
    MakeNameKey(text, key, kNameKeyCapacity);
    if (order.size() > 1 && CUnicodeCompareDefault::Instance().Compare(previous, key, 0) > 0) {
      keys_ascend = false;
    }
    previous = key;
    Visit(DecodeI32(image.data(), indexnode::kGreater), node);
  }
};

TreeReport Checked(CTEVDatabase& db) {
  const TreeReport report = CheckIndexTree(db);
  OwnWalk own(db, db.HeaderI32(kHdrIndexNodeBound));
  own.Visit(db.HeaderI32(kHdrRootNode2), 0);
  if (own.order != report.order) fuzz::Fail("the check's order differs from the walk's");
  if (own.links_sound != report.links_sound || own.reached_once != report.reached_once ||
      own.parents_agree != report.parents_agree) {
    fuzz::Fail("the check's findings differ from the walk's");
  }
  if (own.reached_once && own.keys_ascend != report.keys_ascend)
    fuzz::Fail("key order findings differ");
  return report;
}

std::set<int32_t> Nodes(const TreeReport& r) { return {r.order.begin(), r.order.end()}; }

// Every node of `nodes` names one of the target's name records. The insert
// walks to the lesser side of a node whose name cannot be read, while the
// check orders that node by the key of an empty name.
bool NamesReadable(CTEVDatabase& db, const std::set<int32_t>& nodes,
                   const std::vector<int32_t>& names) {
  for (const int32_t n : nodes) {
    IndexNodeImage image{};
    db.LoadIndexNode(image, n);
    const int32_t name = DecodeI32(image.data(), indexnode::kName);
    if (std::find(names.begin(), names.end(), name) == names.end()) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  tevwriter::TevFile f(1);
  const int nodes = 1 + in.U8() % 24;
  // A link: mostly -1 to nodes + 1, sometimes any number.
  auto small = [&] {
    const uint8_t b = in.U8();
    return b == 255 ? in.I32() : static_cast<int32_t>(b % (nodes + 3)) - 1;
  };
  std::vector<int32_t> names;
  for (int n = 1 + in.U8() % 4; n > 0; --n) {
    names.push_back(f.AppendINameRec(0, 0, static_cast<int32_t>(names.size()) + 1, 1, in.Text(24)));
  }
  auto name = [&] {
    const uint8_t b = in.U8();
    return b == 255 ? in.I32() : names[b % names.size()];
  };
  for (int n = 0; n < nodes; ++n) {
    const int32_t greater = small();
    const int32_t lesser = small();
    const int32_t parent = small();
    f.AppendIndexNode(greater, lesser, parent, name());
  }
  const int32_t root = small();
  f.SetHeaderI32(static_cast<int>(kHdrRootNode), root);
  f.SetHeaderI32(static_cast<int>(kHdrRootNode2), in.U8() % 8 == 0 ? small() : root);
  f.SetHeaderI32(static_cast<int>(kHdrIndexNodeBound), nodes + in.U8() % 4 - 2);
  f.SetHeaderI32(static_cast<int>(kHdrIndividBound), nodes + in.U8() % 4 - 2);
  const std::string path = fuzz::ScratchPath("index_tree.tev");
  if (!f.Write(path)) fuzz::Fail("cannot write the file");
  CTEVDatabase db;
  if (db.OpenDatabase(path, 0) != kOpenOk) fuzz::Fail("a sound file does not open");

  TreeReport before = Checked(db);
  for (int step = in.U8() % 8; step > 0 && !in.Empty(); --step) {
    const uint8_t op = in.U8() % 3;
    const int32_t node = small();
    const int32_t bound =
        std::min(db.HeaderI32(kHdrIndexNodeBound), db.HeaderI32(kHdrIndividBound));
    const std::set<int32_t> had = Nodes(before);
    // The property is held only while every owner lies within the
    // individual bound and every name can be read: the tree the check
    // calls sound. (The insert itself compares names without the link
    // check, so an owner above the bound no longer sends a name first.)
    const bool within = before.Sound() && !had.empty() && *had.rbegin() <= bound && node >= 1 &&
                        node <= nodes && node <= bound &&
                        static_cast<int32_t>(names.size()) <= db.HeaderI32(kHdrIndividBound) &&
                        NamesReadable(db, had, names);
    const bool in_tree = had.count(node) != 0;
    int32_t offset = 0;
    if (op == 0) {
      const int32_t value = small();
      db.SetNodeLink(node, value, static_cast<int32_t>(in.U8() % 4));
    } else if (op == 1) {
      db.UnlinkNode(node);
    } else {
      offset = name();
      db.ReinsertNode(node, offset);
    }
    const TreeReport after = Checked(db);
    if (within && in_tree && op == 1) {
      std::set<int32_t> expected = had;
      expected.erase(node);
      if (!after.Sound() || Nodes(after) != expected) fuzz::Fail("an unlink broke a sound tree");
    }
    if (within && in_tree && op == 2 &&
        std::find(names.begin(), names.end(), offset) != names.end()) {
      if (!after.Sound() || Nodes(after) != had) fuzz::Fail("a re-insert broke a sound tree");
    }
    before = after;
  }
  db.CloseDatabase();
  return 0;
}
