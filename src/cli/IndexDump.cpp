// The index and find commands: the individual index in name order, and the
// entries under a name.
#include <unordered_set>
#include <vector>

#include "Coding.h"
#include "Dump.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TreeCheck.h"
#include "wtev5date.h"

namespace kinscope::dump {
namespace {

// What an index node stands for.
struct Entry {
  int32_t node = 0;
  IndexNodeImage image{};
  std::string name;  // UTF-8
  int32_t owner = 0;
  WideText key;
};

Entry Load(CTEVDatabase& db, int32_t node) {
  Entry e;
  e.node = node;
  db.LoadIndexNode(e.image, node);
  INameRecImage name{};
  if (db.LoadINameRec(DecodeI32(e.image.data(), indexnode::kName), name) != 0) {
    e.name = Latin1(name.data() + iname::kText, kINameTextMax);
    e.owner = DecodeI32(name.data(), iname::kOwnerId);
  }
  WideText text;
  uint8_t type = 0;
  ReadINameText(db, text, type, DecodeI32(e.image.data(), indexnode::kName), LinkCheck::kOff);
  MakeNameKey(text, e.key, kNameKeyCapacity);
  return e;
}

// A key's characters as the bytes they were widened from.
std::string KeyText(const WideText& key) {
  std::string bytes;
  for (char16_t c : key) {
    if (c == 0) break;
    bytes.push_back(static_cast<char>(c & 0xff));
  }
  return Latin1(bytes);
}

int Fold(const WideText& a, const WideText& b) {
  return CUnicodeCompareDefault::Instance().Compare(a, b, 0);
}

// True when `key` begins with `prefix`, letters folded as the index folds them.
bool StartsWith(const WideText& key, const WideText& prefix) {
  if (prefix.size() > key.size()) return false;
  return Fold(key.substr(0, prefix.size()), prefix) == 0;
}

std::string BirthText(CTEVDatabase& db, int32_t rin) {
  IndividImage person{};
  if (db.LoadIndivid(person, rin) == 0) return std::string();
  const wtev5date birth(person.data() + individ::kBirth + event::kDate);
  return Latin1(birth.DateText().Text());
}

json Describe(const Entry& e) {
  return {{"node", e.node}, {"name", e.name}, {"rin", e.owner}, {"key", KeyText(e.key)}};
}

}  // namespace

Result Index(CTEVDatabase& db) {
  const TreeReport report = CheckIndexTree(db);
  json nodes = json::array();
  WideText previous;
  int run = 0;
  bool in_run = false;
  for (size_t i = 0; i < report.order.size(); ++i) {
    const Entry e = Load(db, report.order[i]);
    const bool same = i > 0 && Fold(e.key, previous) == 0;
    if (same && !in_run) {
      ++run;
      nodes.back()["run"] = run;
    }
    in_run = same;
    json j = Describe(e);
    j["run"] = same ? json(run) : json(nullptr);
    nodes.push_back(j);
    previous = e.key;
  }
  json doc = {{"root", db.HeaderI32(kHdrRootNode2)}, {"sound", report.Sound()},
                        {"runs", run}, {"nodes", nodes}};
  if (!report.Sound()) {
    return {doc, kProblems, "the index is damaged: run the check command for details"};
  }
  return {doc, kOk, ""};
}

Result Find(CTEVDatabase& db, const std::string& text) {
  WideText wide;
  for (char c : text) wide.push_back(static_cast<char16_t>(static_cast<int8_t>(c)));
  WideText prefix;
  if (text.find('/') == std::string::npos) {
    prefix = wide;  // the start of a surname
  } else {
    MakeNameKey(wide, prefix, kNameKeyCapacity);
    prefix = prefix.substr(0, prefix.find(u'\0'));
  }
  const int32_t bound = db.HeaderI32(kHdrIndexNodeBound);
  std::unordered_set<int32_t> met;
  // Down the tree to the first key not below the prefix, keeping the path;
  // then on in order while the keys start with it.
  std::vector<Entry> path;
  auto descend = [&](int32_t node) {
    while (node > 0 && node <= bound && met.insert(node).second) {
      Entry e = Load(db, node);
      const bool below = Fold(e.key, prefix) < 0;
      const int32_t next = DecodeI32(e.image.data(), below ? indexnode::kGreater : indexnode::kLesser);
      if (!below) path.push_back(std::move(e));
      node = next;
    }
  };
  descend(db.HeaderI32(kHdrRootNode2));
  json found = json::array();
  while (!path.empty()) {
    Entry e = std::move(path.back());
    path.pop_back();
    if (!StartsWith(e.key, prefix)) break;
    json j = Describe(e);
    j["birth"] = BirthText(db, e.owner);
    found.push_back(j);
    // Everything in the greater subtree sorts after this node: its whole
    // lesser spine comes next.
    int32_t node = DecodeI32(e.image.data(), indexnode::kGreater);
    while (node > 0 && node <= bound && met.insert(node).second) {
      Entry next = Load(db, node);
      node = DecodeI32(next.image.data(), indexnode::kLesser);
      path.push_back(std::move(next));
    }
  }
  return {{{"text", Latin1(text)}, {"key", KeyText(prefix)}, {"found", found}}, kOk, ""};
}

}  // namespace kinscope::dump
