// SPDX-License-Identifier: GPL-3.0-or-later
// The index tree operations on sound and damaged trees; every change to a
// tree is followed by a check of the whole tree.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "Coding.h"
#include "CrashSeam.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"
#include "TimeLimits.h"
#include "TreeCheck.h"

using namespace kinscope;
using Node = std::array<int32_t, 4>;  // greater, lesser, parent, name offset
using Order = std::vector<int32_t>;
using tevwriter::ReadWholeFile;

namespace {

enum Field : size_t { kG, kL, kP, kN };
constexpr size_t kOffsets[] = {indexnode::kGreater, indexnode::kLesser, indexnode::kParent,
                               indexnode::kName};
constexpr int32_t kBound = 1000;
constexpr int kNodesPerPage = kIndexNodeTable.per_page;

// A database holding an index tree; nodes[n - 1] is node n.
struct Tree {
  TempDir dir;
  std::string path = dir.File("db.tev");
  tevwriter::TevFile file{1};
  std::vector<Node> nodes;
  int32_t root = 0;
  tevwriter::Bytes before;
  CTEVDatabase db;

  int32_t owner = 1;  // of every name
  int32_t Name(const std::string& surname) {
    return file.AppendINameRec(0, 0, owner, 1, "/" + surname + "/");
  }
  // With seven keys: root 4 over 2 and 6 over the leaves 1, 3, 5, 7; with one
  // key a lone root; with none an empty tree. Then one node outside the tree.
  void Build(const std::string& keys) {
    std::vector<int32_t> names;
    for (char key : keys) names.push_back(Name(std::string(1, key)));
    if (keys.size() == 7) {
      nodes = {{0, 0, 2, names[0]}, {3, 1, 4, names[1]}, {0, 0, 2, names[2]}, {6, 2, 0, names[3]},
               {0, 0, 6, names[4]}, {7, 5, 4, names[5]}, {0, 0, 6, names[6]}};
    } else if (keys.size() == 1) {
      nodes = {{0, 0, 0, names[0]}};
    }
    root = keys.empty() ? 0 : keys.size() == 1 ? 1 : 4;
    nodes.push_back({3, 3, -1, 0});
  }
  void Open(int mode = 0, int32_t index_bound = kBound, int32_t individ_bound = kBound) {
    file.SetRootNode(root);
    file.SetHeaderI32(kHdrIndexNodeBound, index_bound);
    file.SetHeaderI32(kHdrIndividBound, individ_bound);
    for (size_t i = 0; i < nodes.size(); ++i) {
      const int page = 64 + static_cast<int>(i) / kNodesPerPage;
      if (i % kNodesPerPage == 0) file.AddPage(0, page, kIndexNodeTable.table);
      tevwriter::Bytes image(16);
      for (size_t f = 0; f < 4; ++f) EncodeI32(image.data(), kOffsets[f], nodes[i][f]);
      file.Patch(tevwriter::PageOffset(0, page) + static_cast<int64_t>(i % kNodesPerPage) * 16,
                 image);
    }
    ASSERT_TRUE(file.Write(path));
    before = ReadWholeFile(path);
    ASSERT_EQ(db.OpenDatabase(path, mode), 1);
  }
  Node Read(int32_t n) {
    IndexNodeImage image{};
    db.LoadIndexNode(image, n);
    return {DecodeI32(image.data(), kOffsets[kG]), DecodeI32(image.data(), kOffsets[kL]),
            DecodeI32(image.data(), kOffsets[kP]), DecodeI32(image.data(), kOffsets[kN])};
  }
  bool Unchanged() {
    return ReadWholeFile(path) == before && db.HeaderI32(kHdrRootNode) == root &&
           db.HeaderI32(kHdrRootNode2) == root && !db.IsModified();
  }
  // The tree is sound, in `order`, and the file's root copies follow the header.
  void ExpectSound(const Order& order) {
    const TreeReport report = CheckIndexTree(db);
    EXPECT_TRUE(report.Sound());
    EXPECT_EQ(report.order, order);
    const tevwriter::Bytes disk = ReadWholeFile(path);
    EXPECT_EQ(DecodeI32(disk.data(), kHdrRootNode), db.HeaderI32(kHdrRootNode2));
    EXPECT_EQ(DecodeI32(disk.data(), kHdrRootNode2), db.HeaderI32(kHdrRootNode2));
  }
};

TEST(IndexTreeTest, SetNodeLinkAndTreeFaults) {
  Tree t;
  t.Build("ABCDEFG");
  t.nodes.push_back({0, 0, 7, t.Name("A")});  // node 9: its parent 7, not linked from it
  t.Open();
  struct Row {
    int32_t node, which, value;
    Field field;
    bool TreeReport::*fault;
  } rows[] = {{5, kLesserLink, 5000, kL, &TreeReport::links_sound},  // above the bound
              {5, kGreaterLink, 900, kG, &TreeReport::links_sound},  // no such record
              {5, kParentLink, 7, kP, &TreeReport::parents_agree},
              {5, -9, 0, kP, &TreeReport::parents_agree},  // any other which: the parent
              {3, kGreaterLink, 2, kG, &TreeReport::reached_once},
              {7, kGreaterLink, 9, kG, &TreeReport::keys_ascend},
              // No node to the format, but a walk that follows it stops there.
              {5, kGreaterLink, -1, kG, &TreeReport::links_sound}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    Node expected = t.Read(row.node);
    const int32_t old = expected[row.field];
    expected[row.field] = row.value;
    t.db.SetNodeLink(row.node, row.value, row.which);
    EXPECT_EQ(t.Read(row.node), expected);
    TreeReport report = CheckIndexTree(t.db);
    EXPECT_FALSE(report.*row.fault);
    report.*row.fault = true;
    EXPECT_TRUE(report.Sound());  // that fault only
    t.db.SetNodeLink(row.node, old, row.which);
  }
  t.db.SetHeaderI32(kHdrRootNode, 2);
  EXPECT_FALSE(CheckIndexTree(t.db).roots_agree);
  t.db.SetHeaderI32(kHdrRootNode, 4);
  t.ExpectSound({1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(ReadWholeFile(t.path), t.before);
}

TEST(IndexTreeTest, UnlinkNode) {
  struct Link {
    int32_t node;
    size_t field;
    int32_t value;
  };
  struct Row {
    int32_t node;
    std::vector<Link> damage;
    int32_t bound;
    Order order;  // empty: refused, nothing changed
    Link then;    // afterwards
  } rows[] = {
      {1, {}, kBound, {2, 3, 4, 5, 6, 7}, {2, kL, 0}},
      {1, {{1, kG, -1}}, kBound, {2, 3, 4, 5, 6, 7}, {2, kL, 0}},  // a negative one goes in as 0
      {7, {}, kBound, {1, 2, 3, 4, 5, 6}, {6, kG, 0}},
      {2, {}, kBound, {1, 3, 4, 5, 6, 7}, {1, kG, 3}},
      {4, {}, kBound, {1, 2, 3, 5, 6, 7}, {3, kG, 6}},  // the root: 2 takes its place
      {3, {{3, kG, 3}}, kBound, {}, {}},
      {3, {{3, kL, 3}}, kBound, {}, {}},
      {3, {{3, kP, 3}}, kBound, {}, {}},
      {2, {{2, kG, 1}}, kBound, {}, {}},  // equal children
      {5, {{5, kP, -1}}, kBound, {}, {}},
      {7, {}, 6, {}, {}},                 // above the index node bound
      {4, {{3, kG, 2}}, kBound, {}, {}},  // greater links from 2 cycle
      {4, {{3, kG, 4}}, kBound, {}, {}},  // ... lead back to the node
      {4, {{3, kG, 6}}, kBound, {}, {}},  // ... into its greater subtree
      {4, {{3, kG, 5000}}, kBound, {}, {}},
      {4, {{3, kG, 5}, {3, kL, 5}}, kBound, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    Tree t;
    t.Build("ABCDEFG");
    for (const Link& d : row.damage) t.nodes[static_cast<size_t>(d.node - 1)][d.field] = d.value;
    t.Open(0, row.bound);
    t.db.UnlinkNode(row.node);
    if (row.order.empty()) {
      EXPECT_TRUE(t.Unchanged());
      continue;
    }
    EXPECT_EQ(t.Read(row.then.node)[row.then.field], row.then.value);
    t.ExpectSound(row.order);
  }
}

TEST(IndexTreeTest, ReinsertNode) {
  struct Row {
    std::string keys;
    int32_t node;
    const char* name;  // nullptr: a name offset that leads nowhere
    int32_t individ_bound;
    Order order;
    int32_t bound_after;
  } rows[] = {
      {"", 1, "Q", kBound, {1}, kBound},   // empty tree
      {"A", 1, "Z", kBound, {1}, kBound},  // the only node
      {"ABCDEFG", 1, "Z", kBound, {2, 3, 4, 5, 6, 7, 1}, kBound},
      {"ABCDEFG", 4, "a", kBound, {4, 1, 2, 3, 5, 6, 7}, kBound},  // the root, before its equal
      {"ABBBEFG", 8, "b", kBound, {1, 8, 2, 3, 4, 5, 6, 7}, kBound},
      {"ABCDEFG", 8, nullptr, kBound, {8, 1, 2, 3, 4, 5, 6, 7}, kBound},  // key ", "
      {"ABCDEFG", 8, "Z", 5, {1, 2, 3, 4, 5, 6, 7, 8}, 9},  // raises the bound to 8 + 1
      {"ABCDEFG", 1, "Z", 5, {2, 3, 4, 1}, 5},              // the walk stops at 6, above the bound
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    Tree t;
    t.Build(row.keys);
    const int32_t name = row.name != nullptr ? t.Name(row.name) : 0;
    t.Open(0, kBound, row.individ_bound);
    t.db.ReinsertNode(row.node, name);
    EXPECT_EQ(t.db.HeaderI32(kHdrIndividBound), row.bound_after);
    const Node node = t.Read(row.node);
    EXPECT_EQ(Node({0, 0, node[kP], name}), node);
    t.ExpectSound(row.order);
  }
  for (const int32_t root : {1, -1}) {  // a lone root whose greater link is -1; a root of -1
    SCOPED_TRACE(root);
    Tree lone;
    lone.Build("A");
    lone.nodes[0][kG] = -1;
    lone.root = root;
    lone.Open();
    lone.db.ReinsertNode(1, lone.nodes[0][kN]);
    EXPECT_EQ(lone.Read(1), Node({0, 0, 0, lone.nodes[0][kN]}));
    lone.ExpectSound({1});
  }
  Tree high;  // owners above the individual bound: the names still place the node
  high.owner = 500;
  high.Build("ABCDEFG");
  const int32_t z = high.Name("Z");
  high.Open(0, kBound, 5);
  high.db.ReinsertNode(8, z);
  high.ExpectSound({1, 2, 3, 4, 5, 6, 7, 8});
  Tree t;  // the largest node number leaves the individual bound as it is
  t.Build("ABCDEFG");
  t.Open();
  t.db.ReinsertNode(INT32_MAX, 0);
  EXPECT_EQ(t.db.HeaderI32(kHdrIndividBound), kBound);
  EXPECT_EQ(t.Read(1)[kL], INT32_MAX);
  TreeReport report = CheckIndexTree(t.db);
  EXPECT_FALSE(report.links_sound);
  report.links_sound = true;
  EXPECT_TRUE(report.Sound());
  Tree read_only;  // the file stays as it was while the header image follows
  read_only.Build("ABCDEFG");
  read_only.Open(1);
  read_only.db.ReinsertNode(4, read_only.nodes[0][kN]);
  read_only.db.CloseDatabase();
  EXPECT_EQ(ReadWholeFile(read_only.path), read_only.before);
  EXPECT_EQ(read_only.db.HeaderI32(kHdrRootNode), 2);  // 2 took the place of 4
  EXPECT_EQ(read_only.db.HeaderI32(kHdrRootNode2), 2);
}

template <typename F>
double Milliseconds(F operation) {
  const auto start = std::chrono::steady_clock::now();
  operation();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

TEST(IndexTreeTest, LongChainsAndCyclesReturnPromptly) {
  // The walks are timed, not the disk: the journal's syncs are left out.
  crash::CrashSeam no_sync(0);
  platform::SetSeam(&no_sync);
  constexpr int32_t kChain = 100000;
  Tree chain;  // root 1 over a chain of greater links 2 to kChain + 1, and kChain + 2
  const int32_t b = chain.Name("B");
  chain.nodes.push_back({kChain + 2, 2, 0, chain.Name("C")});
  for (int32_t n = 2; n <= kChain + 1; ++n) {
    chain.nodes.push_back({n <= kChain ? n + 1 : 0, 0, n - 1, b});
  }
  chain.nodes.push_back({0, 0, 1, chain.Name("D")});
  chain.root = 1;
  chain.Open(0, kChain + 2, kChain + 2);
  const double unlink = Milliseconds([&] { chain.db.UnlinkNode(1); });
  const double reinsert = Milliseconds([&] { chain.db.ReinsertNode(1, chain.nodes[0][kN]); });
  EXPECT_EQ(chain.Read(kChain + 2)[kL], 1);
  Order order;
  for (int32_t n = 2; n <= kChain + 1; ++n) order.push_back(n);
  order.insert(order.end(), {1, kChain + 2});
  chain.ExpectSound(order);

  constexpr int32_t kCycle = 1000;
  Tree cycle;  // root kCycle + 1 over a cycle of greater links 1 to kCycle, and kCycle + 2
  const int32_t c = cycle.Name("C");
  for (int32_t n = 1; n <= kCycle; ++n) {
    cycle.nodes.push_back({n % kCycle + 1, 0, n - 1, c});
  }
  cycle.nodes[0][kP] = kCycle + 1;
  cycle.nodes.push_back({kCycle + 2, 1, 0, cycle.Name("M")});
  cycle.nodes.push_back({0, 0, kCycle + 1, cycle.Name("Y")});
  cycle.nodes.push_back({0, 0, -1, 0});
  cycle.root = kCycle + 1;
  const int32_t d = cycle.Name("D");
  cycle.Open(0, kCycle + 3, INT32_MAX - 1);  // a walk bound from the file, near 2^31
  const double refused = Milliseconds([&] { cycle.db.UnlinkNode(kCycle + 1); });
  EXPECT_TRUE(cycle.Unchanged());
  const double cut = Milliseconds([&] { cycle.db.ReinsertNode(kCycle + 3, d); });
  Order around;  // the walk met node 1 again and hung the new node below kCycle
  for (int32_t n = 1; n <= kCycle; ++n) around.push_back(n);
  around.insert(around.end(), {kCycle + 3, kCycle + 1, kCycle + 2});
  cycle.ExpectSound(around);

  std::printf("unlink %.1f ms, reinsert %.1f ms over %d nodes; %.1f ms, %.1f ms on a cycle\n",
              unlink, reinsert, kChain, refused, cut);
  // Each walk reads every node once: about 0.4 s for the chain on a quiet
  // machine. A walk that went back over the nodes it met would take hours;
  // the limit leaves room for a loaded machine and the sanitizers.
  for (double ms : {unlink, reinsert, refused, cut}) EXPECT_LT(ms, 3000.0 * kTimeLimitScale);
  platform::SetSeam(nullptr);
}

}  // namespace
