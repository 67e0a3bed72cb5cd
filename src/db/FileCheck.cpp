// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-file check and the map of a file's pages.
#include "FileCheck.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "Coding.h"
#include "Journal.h"
#include "RecordLayouts.h"
#include "TreeCheck.h"

namespace kinscope {
namespace {

std::string Num(int64_t n) { return std::to_string(n); }

// Counts of each table's pages 1 to 8191 in a page map.
std::array<int, kTableCount + 1> PagesPerTable(const uint8_t* map) {
  std::array<int, kTableCount + 1> pages{};
  for (size_t p = 1; p < kPageSize; ++p) {
    const int t = static_cast<int8_t>(map[p]);
    if (t >= 1 && t <= kTableCount) ++pages[static_cast<size_t>(t)];
  }
  return pages;
}

// Counts the findings of one text that may come by the thousand: the first
// kListedAlike are added, the rest summed up in one more finding.
class Alike {
 public:
  explicit Alike(CheckReport& report) : report_(report) {}
  void Add(Finding f) {
    if (count_++ < kListedAlike) {
      report_.Add(f);
      last_ = std::move(f);
    }
  }
  // Adds the finding of the rest: `more` is what they are ("names have no
  // index node"), after "N more ".
  void Finish(const std::string& more) {
    if (count_ <= kListedAlike) return;
    Finding rest = last_;
    rest.what = "and " + Num(static_cast<int64_t>(count_ - kListedAlike)) + " more " + more;
    rest.offset = -1;
    rest.region = rest.page = -1;
    rest.number = 0;
    report_.Add(std::move(rest));
  }

 private:
  CheckReport& report_;
  size_t count_ = 0;
  Finding last_;
};

// The highest of the values met beyond a bound, with the place of the first.
struct Beyond {
  int64_t count = 0;
  int32_t highest = 0;
  int32_t lowest = 0;
  std::string first;  // "marriage 5 names individual 40"
  void Met(int32_t value, const std::string& place) {
    if (count++ == 0) {
      first = place;
      highest = lowest = value;
    }
    highest = std::max(highest, value);
    lowest = std::min(lowest, value);
  }
};

class Checker {
 public:
  // The progress counts the records the check reads, table by table, and
  // the index nodes its walk reaches.
  Checker(CTEVDatabase& db, const CheckProgress& progress, CheckReport& report)
      : db_(db), progress_(progress), report_(report) {
    for (const TableSpec* t :
         {&kIndividTable, &kNoteTable, &kCitTable, &kMediaTable, &kMarrTable, &kFamLinkTable})
      total_ += ReadableRecords(db, *t);
    total_ = std::min<int64_t>(total_ + IndexNodeCount(db) + 1, INT32_MAX);
  }

  // Tells the progress how far the check has come; false when it is to stop.
  bool Going() {
    if (!report_.cancelled && progress_ &&
        !progress_(static_cast<int>(std::min(done_, total_ - 1)), static_cast<int>(total_))) {
      report_.cancelled = true;
    }
    return !report_.cancelled;
  }

  static Finding Make(FindingKind kind, Severity severity, std::string place, std::string what,
                      int64_t offset = -1, int32_t code = kNoRecordCode, int32_t number = 0,
                      int region = -1, int page = -1) {
    Finding f;
    f.kind = kind;
    f.region = region;
    f.page = page;
    f.severity = severity;
    f.place = std::move(place);
    f.what = std::move(what);
    f.code = code;
    f.number = number;
    f.offset = offset;
    return f;
  }
  void Add(FindingKind kind, Severity severity, std::string place, std::string what,
           int64_t offset = -1, int32_t code = kNoRecordCode, int32_t number = 0, int region = -1,
           int page = -1) {
    report_.Add(Make(kind, severity, std::move(place), std::move(what), offset, code, number,
                     region, page));
  }
  // A finding on record `n` of record type `type`.
  Finding OnRecord(FindingKind kind, const RecordType& type, int32_t n, std::string what) const {
    const TableSpec& t = type.table;
    const int64_t at = db_.LocateRecord(n, t.table, t.size, t.per_page);
    return Make(kind, Severity::kDamage, std::string(type.layout->kind) + " " + Num(n),
                std::move(what), at == 0 ? -1 : at, type.code, n);
  }
  void AddRecord(FindingKind kind, const RecordType& type, int32_t n, std::string what) {
    report_.Add(OnRecord(kind, type, n, std::move(what)));
  }
  // A finding on the individual's name record at `at`.
  static Finding OnName(FindingKind kind, std::string place, std::string what, int32_t at) {
    return Make(kind, Severity::kDamage, std::move(place), std::move(what), at, kIndivNameCode, at);
  }

  void ForEach(const TableSpec& t, const std::function<void(int32_t, const uint8_t*)>& each) {
    // The records read count in the progress as they go, and exactly once
    // the table is done.
    const int64_t start = done_;
    ForEachRecord(db_, t, each, [this] {
      done_ += 4096;
      return Going();
    });
    if (!report_.cancelled) done_ = start + ReadableRecords(db_, t);
  }

  void Header();
  void Maps();
  void IndexTree();
  void NameChains();
  // The index against the names of the chains, both ways, and the nodes
  // the walk did not reach.
  void IndexNames();
  // A chain of records of record type `code` linked forwards at `next` and
  // backwards at `prev`: both directions agree, every chain has a first
  // record, no cycle.
  void Chains(int32_t code, size_t next, size_t prev);
  // The links the check holds to their tables lie inside them, and the
  // individuals they name lie within the individual bound.
  void InRange();
  // The individual bound and the name area against what was met beyond them.
  void Bounds();

 private:
  CTEVDatabase& db_;
  const CheckProgress& progress_;
  CheckReport& report_;
  int64_t done_ = 0;   // records read and index nodes reached
  int64_t total_ = 0;  // what the file holds of them, and one for the rest
  // Name record -> node of every node the index walk reached, and name
  // record -> individual of every name of the chains.
  std::vector<std::pair<int32_t, int32_t>> node_names_;
  std::vector<std::pair<int32_t, int32_t>> chain_names_;
  std::vector<bool> reached_;  // by node number
  size_t reached_count_ = 0;
  bool walked_ = false;
  Beyond beyond_bound_;  // individuals beyond the individual bound
  Beyond beyond_area_;   // name links outside the name area
};

void Checker::Header() {
  const uint8_t* h = db_.Header().data();
  if (std::memcmp(h + kHdrVersionText, "500", 4) != 0) {
    Add(FindingKind::kVersionText, Severity::kUnusual, "header", "the version text is not \"500\"",
        kHdrVersionText);
  }
  const int32_t regions = db_.HeaderI32(kHdrRegionCount);
  // The regions from 0 on whose page map the file holds.
  int maps = 0;
  std::array<uint8_t, 1> first{};
  while (maps < kMaxRegions) {
    const int64_t at = kRegionBase + maps * kRegionSize;
    if (db_.ReadAt(at + kPageSize - 1, first.data(), 1) != 1 ||
        db_.ReadAt(at, first.data(), 1) != 1 || first[0] != kPageMapTable) {
      break;
    }
    ++maps;
  }
  if (regions < 0) {
    Add(FindingKind::kRegionCount, Severity::kDamage, "header",
        "region count " + Num(regions) + " is below 0: no page map is loaded", kHdrRegionCount);
  } else if (regions > kMaxRegions) {
    Add(FindingKind::kOther, Severity::kUnusual, "header",
        "region count " + Num(regions) + " is above 31: regions beyond 30 are not read",
        kHdrRegionCount);
  }
  // Regions whose page map the file holds and whose pages the page-count
  // table counts, but which the region count leaves unread.
  for (int r = regions; r >= 0 && r < maps; ++r) {
    bool counted = false;
    for (int t = 1; t <= kTableCount; ++t) {
      counted = counted || (t != kPageMapTable && db_.PageCount(r, t) > 0);
    }
    if (!counted) continue;
    Add(FindingKind::kRegionCount, Severity::kDamage, "header",
        "region count " + Num(regions) + " leaves the page map of region " + Num(r) +
            " unread, and the page-count table counts pages there",
        kHdrRegionCount);
    break;
  }
  if (db_.HeaderI32(kHdrRootNode) != db_.HeaderI32(kHdrRootNode2)) {
    Add(FindingKind::kRootCopies, Severity::kDamage, "header",
        "the two copies of the index root differ", kHdrRootNode);
  }
}

void Checker::Maps() {
  const int64_t size = FileSizeOf(db_);
  std::array<uint8_t, kPageSize> map{};
  for (int r = 0; r < kMaxRegions && Going(); ++r) {
    std::array<int, kTableCount + 1> pages{};
    const std::string region = "region " + Num(r);
    const int64_t base = kRegionBase + r * kRegionSize;
    const bool loaded =
        r < db_.PageListCount() && db_.ReadAt(base, map.data(), map.size()) == map.size();
    if (loaded) {
      pages = PagesPerTable(map.data());
      int foreign = 0;
      std::array<int, kTableCount + 1> beyond{};  // pages past the end, by table
      std::array<int, kTableCount + 1> first_beyond{};
      for (int p = 1; p < kPageSize; ++p) {
        const int t = static_cast<int8_t>(map[static_cast<size_t>(p)]);
        if (t >= 1 && t <= kTableCount) {
          if (base + int64_t{p + 1} * kPageSize > size && beyond[static_cast<size_t>(t)]++ == 0) {
            first_beyond[static_cast<size_t>(t)] = p;
          }
        } else if (t != 0 && foreign++ == 0) {
          // The finding is the page's, its offset that of its byte in the map.
          Add(FindingKind::kOther, Severity::kUnusual, region + " page " + Num(p),
              "the page map names table " + Num(t) + ", which does not exist", base + p,
              kNoRecordCode, 0, r, p);
        }
      }
      if (foreign > 1) {
        Add(FindingKind::kOther, Severity::kUnusual, region,
            Num(foreign) + " pages name tables that do not exist", base);
      }
      for (int t = 1; t <= kTableCount; ++t) {
        const int n = beyond[static_cast<size_t>(t)];
        if (n == 0) continue;
        const int p = first_beyond[static_cast<size_t>(t)];
        // The pages of a table's group are counted from its first page on.
        int before = 0;
        for (int q = 1; q < p; ++q) before += static_cast<int8_t>(map[static_cast<size_t>(q)]) == t;
        const bool counted = before < db_.PageCount(r, t);
        Add(counted ? FindingKind::kPageCount : FindingKind::kOther,
            counted ? Severity::kDamage : Severity::kUnusual, region + " page " + Num(p),
            (n == 1 ? std::string("a page") : Num(n) + " pages") + " of table " + Num(t) +
                (n == 1 ? " lies" : " lie") + " past the end of the file" +
                (counted ? "" : ", none of them counted"),
            base + int64_t{p} * kPageSize);
      }
    }
    for (int t = 1; t <= kTableCount; ++t) {
      const int counted = db_.PageCount(r, t);
      const int mapped = pages[static_cast<size_t>(t)];
      if (t == kPageMapTable || counted == mapped) continue;
      const bool damage = counted < 0 || counted > mapped;
      Add(damage ? FindingKind::kPageCount : FindingKind::kOther,
          damage ? Severity::kDamage : Severity::kUnusual, region + " table " + Num(t),
          "the page-count table gives " + Num(counted) + " pages, the page map " + Num(mapped),
          kPageCountOffset + (int64_t{r} * kTableCount + t - 1) * 2);
    }
  }
}

void Checker::IndexTree() {
  const int32_t root = db_.HeaderI32(kHdrRootNode2);
  walked_ = true;
  if (root == 0) return;
  // The walk CheckIndexTree makes, without keeping the order of the nodes.
  IndexWalk walk(db_);
  IndexEntry entry;
  while (walk.Next(entry)) {
    if ((++done_ & 4095) == 0 && !Going()) {
      walked_ = false;  // a stopped walk tells nothing of what it did not reach
      return;
    }
    node_names_.emplace_back(DecodeI32(entry.image.data(), indexnode::kName), entry.node);
    // Nodes reached can be read: the marks grow with the file, not with a
    // number in a damaged link.
    const auto node = static_cast<size_t>(entry.node);
    if (node >= reached_.size()) reached_.resize(std::max(node + 1, reached_.size() * 2));
    reached_[node] = true;
    ++reached_count_;
  }
  const TreeFaults& r = walk.Faults();
  const auto add = [&](const char* what) {
    const TableSpec& t = kIndexNodeTable;
    const int64_t at = db_.LocateRecord(root, t.table, t.size, t.per_page);
    Add(FindingKind::kIndex, Severity::kDamage, "index", what, at == 0 ? -1 : at, kIndivIndexCode,
        root);
  };
  if (!r.links_sound) add("a link leads outside the index or to a node that cannot be read");
  if (!r.reached_once) add("a node is reached twice: the links form a loop");
  if (!r.parents_agree) add("a parent link does not match the tree");
  if (!r.keys_ascend) add("the nodes are not in name order");
}

void Checker::NameChains() {
  const int32_t bound = db_.HeaderI32(kHdrIndividBound);
  const int32_t area_start = db_.HeaderI32(kHdrNameAreaStart);
  const int32_t area_end = db_.HeaderI32(kHdrNameAreaEnd);
  Alike cuts(report_), previous_links(report_), owners(report_);
  ForEach(kIndividTable, [&](int32_t rin, const uint8_t* person) {
    std::set<int32_t> met;
    int32_t previous = 0;
    const int32_t first = DecodeI32(person, individ::kStartnames);
    if (first > 0 && rin > bound) {
      beyond_bound_.Met(rin, std::string(individ::kLayout.kind) + " " + Num(rin) + " holds names");
    }
    for (int32_t at = first; at > 0;) {
      const std::string place =
          std::string(individ::kLayout.kind) + " " + Num(rin) + " name at " + Num(at);
      const auto cut = [&](std::string what) {
        cuts.Add(OnName(FindingKind::kNameChain, place, std::move(what), at));
      };
      if (!met.insert(at).second) return cut("the name chain comes back to this name");
      INameRecImage name{};
      if (db_.LoadINameRec(at, name) == 0) return cut("the name record cannot be read");
      chain_names_.emplace_back(at, rin);
      const int32_t stored_previous = DecodeI32(name.data(), iname::kPrevious);
      if (stored_previous != previous) {
        previous_links.Add(
            OnName(FindingKind::kNamePrevious, place,
                   "its previous link is " + Num(stored_previous) + ", not " + Num(previous), at));
      }
      if (DecodeU8(name.data(), iname::kType) == 1 &&
          DecodeI32(name.data(), iname::kOwnerId) != rin) {
        owners.Add(OnName(
            FindingKind::kNameOwner, place,
            "its owner is " + Num(DecodeI32(name.data(), iname::kOwnerId)) + ", not the individual",
            at));
      }
      const int32_t next = DecodeI32(name.data(), iname::kNext);
      if (next < 0) {
        cuts.Add(OnName(FindingKind::kNameChain, place,
                        "its next link is " + Num(next) + ", which names no record", at));
      }
      for (const int32_t link : {stored_previous, next}) {
        if (link > 0 && (link < area_start || link > area_end)) {
          beyond_area_.Met(link, place + " links to the name at " + Num(link));
        }
      }
      previous = at;
      at = next;
    }
  });
  cuts.Finish("names end their chains");
  previous_links.Finish("names have a wrong previous link");
  owners.Finish("names have a wrong owner");
}

void Checker::IndexNames() {
  if (!walked_) return;
  std::sort(node_names_.begin(), node_names_.end());
  std::sort(chain_names_.begin(), chain_names_.end());
  Alike twice(report_), without(report_), doubled(report_), foreign(report_);
  const auto name_place = [](const std::pair<int32_t, int32_t>& name) {
    return std::string(individ::kLayout.kind) + " " + Num(name.second) + " name at " +
           Num(name.first);
  };
  for (size_t i = 1; i < chain_names_.size(); ++i) {
    if (chain_names_[i].first != chain_names_[i - 1].first) continue;
    twice.Add(
        OnName(FindingKind::kNameChain, name_place(chain_names_[i]),
               "the name is in the chain of individual " + Num(chain_names_[i - 1].second) + " too",
               chain_names_[i].first));
  }
  twice.Finish("names are in two chains");
  if (!Going()) return;
  size_t j = 0;  // into node_names_
  for (size_t i = 0; i < chain_names_.size(); ++i) {
    const int32_t name = chain_names_[i].first;
    if (i > 0 && name == chain_names_[i - 1].first) continue;
    while (j < node_names_.size() && node_names_[j].first < name) ++j;
    if (j == node_names_.size() || node_names_[j].first != name) {
      without.Add(OnName(FindingKind::kIndex, name_place(chain_names_[i]),
                         "the name has no node in the index", name));
    }
  }
  without.Finish("names have no node in the index");
  const RecordType& nodes = kRecordTypes[kIndivIndexCode];
  size_t k = 0;  // into chain_names_
  for (size_t i = 0; i < node_names_.size(); ++i) {
    const auto [name, node] = node_names_[i];
    if (i > 0 && name == node_names_[i - 1].first) {
      doubled.Add(OnRecord(FindingKind::kIndex, nodes, node,
                           "it stands for the name at " + Num(name) + ", as node " +
                               Num(node_names_[i - 1].second) + " does"));
      continue;
    }
    while (k < chain_names_.size() && chain_names_[k].first < name) ++k;
    if (k == chain_names_.size() || chain_names_[k].first != name) {
      foreign.Add(
          OnRecord(FindingKind::kIndex, nodes, node,
                   "it stands for the record at " + Num(name) + ", which is no individual's name"));
    }
  }
  doubled.Finish("nodes stand for a name another node stands for");
  foreign.Finish("nodes stand for records that are no individual's name");
  // Nodes in the tree by their parent link that the walk did not reach. In a
  // sound file the walk reaches every node up to the bound, and nothing is
  // read.
  const int32_t bound = db_.HeaderI32(kHdrIndexNodeBound);
  const int64_t within = std::min<int64_t>(std::max(bound, 0), TableSlots(db_, kIndexNodeTable));
  if (static_cast<int64_t>(reached_count_) >= within) return;
  Alike unreached(report_);
  ForEach(kIndexNodeTable, [&](int32_t node, const uint8_t* image) {
    const auto at = static_cast<size_t>(node);
    if (node > bound || (at < reached_.size() && reached_[at]) ||
        DecodeI32(image, indexnode::kParent) < 0) {
      return;
    }
    unreached.Add(
        OnRecord(FindingKind::kIndex, nodes, node, "the walk from the root does not reach it"));
  });
  unreached.Finish("nodes are not reached from the root");
}

void Checker::Chains(int32_t code, size_t next_at, size_t prev_at) {
  const RecordType& type = kRecordTypes[code];
  std::map<int32_t, std::pair<int32_t, int32_t>> links;  // record -> next, previous
  ForEach(type.table, [&](int32_t n, const uint8_t* r) {
    links[n] = {DecodeI32(r, next_at), DecodeI32(r, prev_at)};
  });
  const auto add = [&](int32_t n, std::string text) {
    AddRecord(FindingKind::kChain, type, n, std::move(text));
  };
  std::set<int32_t> reached;
  for (const auto& [n, link] : links) {
    if (link.second != 0) continue;  // chains start at a record without a previous one
    for (int32_t at = n; at != 0;) {
      if (!reached.insert(at).second) {
        add(at, "the chain comes back to this record");
        break;
      }
      const int32_t next = links.count(at) != 0 ? links[at].first : 0;
      if (next == 0) break;
      if (links.count(next) == 0) {
        add(at, "its next link " + Num(next) + " leads to no record");
        break;
      }
      if (links[next].second != at) {
        add(next, "its previous link is " + Num(links[next].second) + ", not " + Num(at));
      }
      at = next;
    }
  }
  for (const auto& [n, link] : links) {
    if (reached.count(n) == 0 && (link.first != 0 || link.second != 0)) {
      add(n, "no chain leads to it from a first record");
    }
  }
}

void Checker::InRange() {
  const int32_t bound = db_.HeaderI32(kHdrIndividBound);
  for (const int32_t code : {kMarriageCode, kFamilyCode}) {
    const RecordType& type = kRecordTypes[code];
    ForEach(type.table, [&](int32_t n, const uint8_t* r) {
      for (const TableLink& link : kTableLinks) {
        if (link.code != code) continue;
        const int32_t v = DecodeI32(r, link.offset);
        if (v < 0 || v > TableSlots(db_, *link.target)) {
          AddRecord(FindingKind::kLinkOutside, type, n,
                    "the link at offset " + Num(static_cast<int64_t>(link.offset)) + " is " +
                        Num(v) + ", outside its table");
        } else if (link.target == &kIndividTable && v > bound) {
          IndividImage person{};
          if (db_.LoadIndivid(person, v) == 1 &&
              !std::all_of(person.begin(), person.end(), [](uint8_t b) { return b == 0; })) {
            beyond_bound_.Met(
                v, std::string(type.layout->kind) + " " + Num(n) + " names individual " + Num(v));
          }
        }
      }
    });
  }
}

void Checker::Bounds() {
  if (beyond_bound_.count > 0) {
    Add(FindingKind::kIndividualBound, Severity::kDamage, "header",
        "the individual bound is " + Num(db_.HeaderI32(kHdrIndividBound)) + ", yet " +
            beyond_bound_.first +
            (beyond_bound_.count > 1
                 ? " (and " + Num(beyond_bound_.count - 1) + " more links lie beyond it, up to " +
                       Num(beyond_bound_.highest) + ")"
                 : ""),
        kHdrIndividBound);
  }
  if (beyond_area_.count > 0) {
    Add(FindingKind::kNameArea, Severity::kDamage, "header",
        "the name area is " + Num(db_.HeaderI32(kHdrNameAreaStart)) + " to " +
            Num(db_.HeaderI32(kHdrNameAreaEnd)) + ", yet " + beyond_area_.first +
            (beyond_area_.count > 1
                 ? " (and " + Num(beyond_area_.count - 1) + " more links lie outside it, from " +
                       Num(beyond_area_.lowest) + " to " + Num(beyond_area_.highest) + ")"
                 : ""),
        kHdrNameAreaStart);
  }
}

}  // namespace

const char* SeverityName(Severity severity) {
  return severity == Severity::kDamage ? "damage" : "unusual";
}

bool PageOfOffset(int64_t offset, int& region, int& page) {
  if (offset < kRegionBase) return false;
  const int64_t r = (offset - kRegionBase) / kRegionSize;
  if (r >= kMaxRegions) return false;
  region = static_cast<int>(r);
  page = static_cast<int>(((offset - kRegionBase) % kRegionSize) / kPageSize);
  return true;
}

void CheckReport::Add(Finding finding) {
  if (finding.region < 0 && finding.offset >= 0) {
    PageOfOffset(finding.offset, finding.region, finding.page);
  }
  findings.push_back(std::move(finding));
}

size_t CheckReport::Count(Severity severity) const {
  return static_cast<size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [severity](const Finding& f) { return f.severity == severity; }));
}

std::string CheckSummary(const CheckReport& report) {
  const size_t n = report.findings.size();
  if (n == 0)
    return report.cancelled ? "stopped: no problems found so far" : "clean: no problems found";
  return std::to_string(n) + (n == 1 ? " problem found: " : " problems found: ") +
         std::to_string(report.Count(Severity::kDamage)) + " damage, " +
         std::to_string(report.Count(Severity::kUnusual)) + " unusual" +
         (report.cancelled ? " (stopped before the end)" : "");
}

const TableLink kTableLinks[9] = {
    {kMarriageCode, marr::kHusband, &kIndividTable},
    {kMarriageCode, marr::kWife, &kIndividTable},
    {kMarriageCode, marr::kChild, &kFamLinkTable},
    {kMarriageCode, marr::kHusNextMar, &kMarrTable},
    {kMarriageCode, marr::kWifeNextMar, &kMarrTable},
    {kFamilyCode, famlink::kMarriage, &kMarrTable},
    {kFamilyCode, famlink::kIndi, &kIndividTable},
    {kFamilyCode, famlink::kNextYoungerSibling, &kFamLinkTable},
    {kFamilyCode, famlink::kNextParents, &kFamLinkTable},
};

int32_t TableSlots(const CTEVDatabase& db, const TableSpec& t) {
  int64_t n = 0;
  for (int r = 0; r < kMaxRegions; ++r) n += int64_t{db.PageCount(r, t.table)} * t.per_page;
  return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(n, 0), INT32_MAX));
}

void ForEachRecord(CTEVDatabase& db, const TableSpec& t,
                   const std::function<void(int32_t, const uint8_t*)>& each,
                   const std::function<bool()>& going) {
  // Record numbers run through the regions as the page-count table has it,
  // but only those on pages the region's map gives the table can be read:
  // the rest are skipped unread, so counts that claim every page of every
  // region cost nothing.
  std::vector<uint8_t> record(static_cast<size_t>(t.size));
  int64_t first = 1;
  for (int r = 0; r < kMaxRegions && first <= INT32_MAX; ++r) {
    const int counted = std::max(0, db.PageCount(r, t.table));
    const int64_t readable = int64_t{std::min(counted, db.MappedPages(r, t.table))} * t.per_page;
    const int64_t end = std::min<int64_t>(first + readable, int64_t{INT32_MAX} + 1);
    for (int64_t n = first; n < end; ++n) {
      if ((n & 4095) == 0 && going && !going()) return;
      const auto number = static_cast<int32_t>(n);
      if (db.ReadRecord(record.data(), t.size, number, t.table, t.per_page) == 0) continue;
      if (std::all_of(record.begin(), record.end(), [](uint8_t b) { return b == 0; })) continue;
      each(number, record.data());
    }
    first += int64_t{counted} * t.per_page;
  }
}

CheckReport CheckDatabase(CTEVDatabase& db, const std::string& path,
                          const CheckProgress& progress) {
  CheckReport report;
  const ReadCacheScope cache(db);
  Checker c(db, progress, report);
  if (c.Going()) c.Header();
  if (c.Going()) c.Maps();
  if (c.Going()) c.IndexTree();
  if (c.Going()) c.NameChains();
  if (c.Going()) c.IndexNames();
  if (c.Going()) {
    c.Chains(kNoteCode, note::kNextBlock, note::kPrevBlock);
    c.Chains(kCitationCode, cit::kNextCit, cit::kPrevCit);
  }
  if (c.Going()) c.Chains(kMediaCode, media::kNext, media::kPrevious);
  if (c.Going()) {
    c.InRange();
    c.Bounds();
  }
  if (c.Going()) {
    // An interrupted change: its journal is damage until a writable open
    // undoes it; a journal never begun is only unusual.
    const std::string& at = path.empty() ? db.Path() : path;
    const JournalReport journal = InspectJournal(at);
    if (const std::string why = JournalProblem(journal); !why.empty()) {
      c.Add(FindingKind::kJournal,
            journal.state == JournalState::kUnfinished ? Severity::kUnusual : Severity::kDamage,
            JournalPath(at), why);
    }
  }
  return report;
}

int64_t ReadableRecords(const CTEVDatabase& db, const TableSpec& t) {
  int64_t n = 0;
  for (int r = 0; r < std::min(db.PageListCount(), kMaxRegions); ++r)
    n += int64_t{std::max(0, std::min(db.PageCount(r, t.table), db.MappedPages(r, t.table)))} *
         t.per_page;
  return n;
}

int64_t IndexNodeCount(const CTEVDatabase& db) {
  return std::clamp<int64_t>(db.HeaderI32(kHdrIndexNodeBound), 0,
                             ReadableRecords(db, kIndexNodeTable));
}

int64_t FileSizeOf(const CTEVDatabase& db) {
  // The first offset with no byte, by bisection over 0 to 2^32: the file
  // holds at least `low` bytes, and fewer than `high`.
  int64_t low = 0;
  int64_t high = int64_t{1} << 32;
  uint8_t byte = 0;
  if (db.ReadAt(high - 1, &byte, 1) == 1) return high;
  while (high - low > 1) {
    const int64_t mid = low + (high - low) / 2;
    if (db.ReadAt(mid - 1, &byte, 1) == 1) low = mid;
    else high = mid;
  }
  return low;
}

FileMap ReadFileMap(const CTEVDatabase& db) {
  FileMap m;
  m.file_size = FileSizeOf(db);
  const int loaded = std::min(db.PageListCount(), kMaxRegions);
  m.regions.resize(static_cast<size_t>(loaded));
  std::array<int64_t, kTableCount + 1> before{};  // records of each table in earlier regions
  std::array<uint8_t, kPageSize> map{};
  for (int r = 0; r < loaded; ++r) {
    const int64_t base = kRegionBase + r * kRegionSize;
    std::array<int, kTableCount + 1> placed{};  // pages of each table met so far in the region
    if (db.ReadAt(base, map.data(), map.size()) == map.size()) {
      std::vector<MapPage>& pages = m.regions[static_cast<size_t>(r)];
      pages.resize(kPageSize);
      for (int p = 0; p < kPageSize; ++p) {
        MapPage& page = pages[static_cast<size_t>(p)];
        page.byte = map[static_cast<size_t>(p)];
        const int t = static_cast<int8_t>(page.byte);
        page.past_end = base + int64_t{p + 1} * kPageSize > m.file_size;
        if (t < 1 || t > kTableCount) continue;
        page.table = static_cast<uint8_t>(t);
        if (p == 0) {
          page.counted = true;  // the map's own page
          continue;
        }
        const int position = placed[static_cast<size_t>(t)]++;
        page.counted = position < db.PageCount(r, t);
        const TableSpec* spec = TableSpecOf(t);
        if (spec != nullptr && page.counted) {
          const int64_t first =
              before[static_cast<size_t>(t)] + int64_t{position} * spec->per_page + 1;
          if (first >= 1 && first <= INT32_MAX) page.first_record = static_cast<int32_t>(first);
        }
      }
    }
    for (int t = 1; t <= kTableCount; ++t) {
      const TableSpec* spec = TableSpecOf(t);
      if (spec != nullptr)
        before[static_cast<size_t>(t)] += int64_t{db.PageCount(r, t)} * spec->per_page;
    }
  }
  return m;
}

}  // namespace kinscope
