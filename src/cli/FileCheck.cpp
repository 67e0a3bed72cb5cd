// The check command: a whole-file integrity report. Every walk is bounded
// by the records it has met, so damaged links give findings, not loops.
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Coding.h"
#include "Dump.h"
#include "Journal.h"
#include "NameRecords.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"
#include "TreeCheck.h"

namespace kinscope::dump {
namespace {

class Checker {
 public:
  explicit Checker(CTEVDatabase& db) : db_(db) {}

  void Find(const std::string& place, const std::string& reason) {
    findings_.push_back({{"place", place}, {"reason", reason}});
  }
  json Findings() const { return findings_; }

  // Records of a table: the slots its pages hold in regions 0 to 30.
  int32_t Slots(const TableSpec& t) const {
    int64_t n = 0;
    for (int r = 0; r < kMaxRegions; ++r) n += int64_t{db_.PageCount(r, t.table)} * t.per_page;
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(n, 0), INT32_MAX));
  }

  // Every record of `t` that is not all zero, read into `each`. Record
  // numbers run through the regions as the page-count table has it, but
  // only those on pages the region's map gives the table can be read: the
  // rest are skipped unread, so counts that claim every page of every region
  // cost nothing.
  void ForEach(const TableSpec& t, const std::function<void(int32_t, const uint8_t*)>& each) {
    std::vector<uint8_t> record(static_cast<size_t>(t.size));
    int64_t first = 1;
    for (int r = 0; r < kMaxRegions && first <= INT32_MAX; ++r) {
      const int counted = std::max(0, db_.PageCount(r, t.table));
      const int64_t readable = int64_t{std::min(counted, db_.MappedPages(r, t.table))} * t.per_page;
      const int64_t end = std::min<int64_t>(first + readable, int64_t{INT32_MAX} + 1);
      for (int64_t n = first; n < end; ++n) {
        const auto number = static_cast<int32_t>(n);
        if (db_.ReadRecord(record.data(), t.size, number, t.table, t.per_page) == 0) continue;
        if (std::all_of(record.begin(), record.end(), [](uint8_t b) { return b == 0; })) continue;
        each(number, record.data());
      }
      first += int64_t{counted} * t.per_page;
    }
  }

  void HeaderAndMaps();
  void IndexTree();
  void NameChains();
  // A chain of records of `t` linked forwards at `next` and backwards at
  // `prev`: both directions agree, every chain has a first record, no cycle.
  void Chains(const TableSpec& t, const char* what, size_t next, size_t prev);
  void InRange(const TableSpec& t, const char* what, const std::vector<std::pair<size_t, const TableSpec*>>& links);

 private:
  CTEVDatabase& db_;
  json findings_ = json::array();
};

void Checker::HeaderAndMaps() {
  const uint8_t* h = db_.Header().data();
  if (Latin1(h + kHdrVersionText, 4) != "500") Find("header", "the version text is not \"500\"");
  const int32_t regions = db_.HeaderI32(kHdrRegionCount);
  if (regions < 0 || regions > kMaxRegions) {
    Find("header", "region count " + std::to_string(regions) + " is outside 0 to 31");
  }
  if (db_.HeaderI32(kHdrRootNode) != db_.HeaderI32(kHdrRootNode2)) {
    Find("header", "the two copies of the index root differ");
  }
  std::array<uint8_t, kPageSize> map{};
  for (int r = 0; r < kMaxRegions; ++r) {
    std::array<int, kTableCount + 1> pages{};
    const std::string place = "region " + std::to_string(r);
    if (r < db_.PageListCount()) {
      if (db_.ReadAt(kRegionBase + r * kRegionSize, map.data(), map.size()) != map.size()) continue;
      int foreign = 0;
      for (size_t p = 1; p < map.size(); ++p) {
        const int t = static_cast<int8_t>(map[p]);
        if (t >= 1 && t <= kTableCount) {
          ++pages[static_cast<size_t>(t)];
        } else if (t != 0 && foreign++ == 0) {
          Find(place + " page " + std::to_string(p), "the page map names table " + std::to_string(t) +
                                                         ", which does not exist");
        }
      }
      if (foreign > 1) Find(place, std::to_string(foreign) + " pages name tables that do not exist");
    }
    for (int t = 1; t <= kTableCount; ++t) {
      const int counted = db_.PageCount(r, t);
      if (t != kPageMapTable && counted != pages[static_cast<size_t>(t)]) {
        Find(place + " table " + std::to_string(t),
             "the page-count table gives " + std::to_string(counted) + " pages, the page map " +
                 std::to_string(pages[static_cast<size_t>(t)]));
      }
    }
  }
}

void Checker::IndexTree() {
  if (db_.HeaderI32(kHdrRootNode2) == 0) return;
  const TreeReport r = CheckIndexTree(db_);
  if (!r.roots_agree) Find("index", "the two root copies differ");
  if (!r.links_sound) Find("index", "a link leads outside the index or to a node that cannot be read");
  if (!r.reached_once) Find("index", "a node is reached twice: the links form a loop");
  if (!r.parents_agree) Find("index", "a parent link does not match the tree");
  if (!r.keys_ascend) Find("index", "the nodes are not in name order");
}

void Checker::NameChains() {
  ForEach(kIndividTable, [this](int32_t rin, const uint8_t* person) {
    std::set<int32_t> met;
    int32_t previous = 0;
    for (int32_t at = DecodeI32(person, individ::kStartnames); at > 0;) {
      const std::string place = "individual " + std::to_string(rin) + " name at " + std::to_string(at);
      if (!met.insert(at).second) return Find(place, "the name chain comes back to this name");
      INameRecImage name{};
      if (db_.LoadINameRec(at, name) == 0) return Find(place, "the name record cannot be read");
      if (DecodeI32(name.data(), iname::kPrevious) != previous) {
        Find(place, "its previous link is " + std::to_string(DecodeI32(name.data(), iname::kPrevious)) +
                        ", not " + std::to_string(previous));
      }
      if (DecodeU8(name.data(), iname::kType) == 1 && DecodeI32(name.data(), iname::kOwnerId) != rin) {
        Find(place, "its owner is " + std::to_string(DecodeI32(name.data(), iname::kOwnerId)) +
                        ", not the individual");
      }
      previous = at;
      at = DecodeI32(name.data(), iname::kNext);
    }
  });
}

void Checker::Chains(const TableSpec& t, const char* what, size_t next_at, size_t prev_at) {
  std::map<int32_t, std::pair<int32_t, int32_t>> links;  // record -> next, previous
  ForEach(t, [&](int32_t n, const uint8_t* r) {
    links[n] = {DecodeI32(r, next_at), DecodeI32(r, prev_at)};
  });
  auto place = [what](int32_t n) { return std::string(what) + " " + std::to_string(n); };
  std::set<int32_t> reached;
  for (const auto& [n, link] : links) {
    if (link.second != 0) continue;  // chains start at a record without a previous one
    for (int32_t at = n; at != 0;) {
      if (!reached.insert(at).second) {
        Find(place(at), "the chain comes back to this record");
        break;
      }
      const int32_t next = links.count(at) != 0 ? links[at].first : 0;
      if (next == 0) break;
      if (links.count(next) == 0) {
        Find(place(at), "its next link " + std::to_string(next) + " leads to no record");
        break;
      }
      if (links[next].second != at) {
        Find(place(next), "its previous link is " + std::to_string(links[next].second) +
                              ", not " + std::to_string(at));
      }
      at = next;
    }
  }
  for (const auto& [n, link] : links) {
    if (reached.count(n) == 0 && (link.first != 0 || link.second != 0)) {
      Find(place(n), "no chain leads to it from a first record");
    }
  }
}

void Checker::InRange(const TableSpec& t, const char* what,
                      const std::vector<std::pair<size_t, const TableSpec*>>& fields) {
  ForEach(t, [&](int32_t n, const uint8_t* r) {
    for (const auto& [offset, target] : fields) {
      const int32_t v = DecodeI32(r, offset);
      if (v < 0 || v > Slots(*target)) {
        Find(std::string(what) + " " + std::to_string(n),
             "the link at offset " + std::to_string(offset) + " is " + std::to_string(v) +
                 ", outside its table");
      }
    }
  });
}

}  // namespace

Result Check(CTEVDatabase& db) {
  Checker c(db);
  if (const char* why = JournalProblem(InspectJournal(db.Path()))) c.Find(JournalPath(db.Path()), why);
  c.HeaderAndMaps();
  c.IndexTree();
  c.NameChains();
  c.Chains(kNoteTable, "note", note::kNextBlock, note::kPrevBlock);
  c.Chains(kCitTable, "citation", cit::kNextCit, cit::kPrevCit);
  c.Chains(kMediaTable, "multimedia", media::kNext, media::kPrevious);
  c.InRange(kMarrTable, "marriage",
            {{marr::kHusband, &kIndividTable}, {marr::kWife, &kIndividTable},
             {marr::kChild, &kFamLinkTable}, {marr::kHusNextMar, &kMarrTable},
             {marr::kWifeNextMar, &kMarrTable}});
  c.InRange(kFamLinkTable, "family link",
            {{famlink::kMarriage, &kMarrTable}, {famlink::kIndi, &kIndividTable},
             {famlink::kNextYoungerSibling, &kFamLinkTable}, {famlink::kNextParents, &kFamLinkTable}});
  const json findings = c.Findings();
  json doc = {{"clean", findings.empty()}, {"findings", findings}};
  if (findings.empty()) return {doc, kOk, ""};
  return {doc, kProblems, std::to_string(findings.size()) + " problems found"};
}

}  // namespace kinscope::dump
