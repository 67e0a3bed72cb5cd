// The index and find commands: the individual index in name order, and the
// entries under a name.
#include <cstdint>
#include <vector>

#include "Coding.h"
#include "Dump.h"
#include "NameFind.h"
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
  const NameFindResult r = FindNames(db, text, SIZE_MAX);
  json found = json::array();
  for (const NameMatch& m : r.matches) {
    found.push_back({{"node", m.node}, {"name", Latin1(m.name)}, {"rin", m.rin},
                     {"key", KeyText(m.key)}, {"birth", BirthText(db, m.rin)}});
  }
  json doc = {{"text", Latin1(text)}, {"key", KeyText(r.prefix)}, {"found", found}};
  if (r.damaged_at != 0) {
    doc["damaged_at"] = r.damaged_at;
    return {doc, kProblems,
            "the index is damaged at node " + std::to_string(r.damaged_at) + ": the search stopped there"};
  }
  return {doc, kOk, ""};
}

}  // namespace kinscope::dump
