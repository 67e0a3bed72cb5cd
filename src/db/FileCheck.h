// SPDX-License-Identifier: GPL-3.0-or-later
// The whole-file check and the map of a file's pages.
//
// The check reads an open database file and reports what it finds as data:
// each finding says what is wrong, where (a record of a record type, or a
// region and page, or the header), the file offset of the bytes concerned
// and how grave it is. Damage breaks reading or makes links disagree;
// unusual is what the file format allows but a sound file rarely holds. The
// check only reads; every walk is bounded by the records it has met, so
// damaged links give findings, not loops.
//
// The map tells, for every page of every loaded region, the table its page
// map gives it, whether the page-count table counts it, whether it lies past
// the end of the file and the first record on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TEVDatabase.h"

namespace kinscope {

enum class Severity : uint8_t {
  kDamage,   // breaks reading or makes links disagree
  kUnusual,  // allowed by the file format, rarely held by a sound file
};

// "damage" or "unusual".
const char* SeverityName(Severity severity);

// What a finding is about. The repair (Repair.h) mends by kind: each kind it
// mends is a row of its table.
enum class FindingKind : uint8_t {
  kOther,            // nothing the repair mends (a page of no table, ...)
  kVersionText,      // the header's version text
  kRegionCount,      // the header's region count against the page maps in the file
  kRootCopies,       // the header's two copies of the index root
  kPageCount,        // a page-count entry against its page map and the end of the file
  kIndex,            // the index tree, or the index against the individuals' names
  kNameChain,        // an individual's name chain: a loop, a record that cannot be
                     // read, a bad next link, a name held by two chains
  kNamePrevious,     // an individual's name record's previous link
  kNameOwner,        // an individual's name record's owner
  kChain,            // a chain of notes, citations or multimedia records
  kLinkOutside,      // a link to a record outside its table
  kIndividualBound,  // the header's individual bound below individuals records link to
  kNameArea,         // the header's name area without names the chains link to
  kJournal,          // a journal of an interrupted change beside the file
};

struct Finding {
  Severity severity = Severity::kDamage;
  FindingKind kind = FindingKind::kOther;
  std::string place;             // where, in words: "individual 3", "region 0 page 7999", "header"
  std::string what;              // what is wrong, in words
  int32_t code = kNoRecordCode;  // record-type code of the record concerned
  int32_t number = 0;            // its record number, node number or file offset
  int region = -1;               // region (0 to 30) the bytes concerned lie in, or -1
  int page = -1;                 // page (0 to 8191) of that region, or -1
  int64_t offset = -1;           // file offset of the bytes concerned, or -1
};

struct CheckReport {
  std::vector<Finding> findings;
  bool cancelled = false;  // the progress callback stopped the check early

  // Appends `finding`, filling its region and page from its offset when it
  // names an offset in a region and no page of its own.
  void Add(Finding finding);
  size_t Count(Severity severity) const;
  // Damage stops a file from counting as sound; unusual findings do not.
  bool Sound() const { return Count(Severity::kDamage) == 0; }
};

// The one-line summary of `report`: "clean: no problems found", or
// "1 problem found: 1 damage, 0 unusual", "3 problems found: ...".
std::string CheckSummary(const CheckReport& report);

// Told how far the check has come (`done` of `total`, counted in the
// records it reads and the index nodes it reaches; done < total while it
// runs); returns false to stop the check. Called often enough that a stop
// takes effect within a fraction of a second.
using CheckProgress = std::function<bool(int done, int total)>;

// Checks the open file `db` as a whole: the header (its region count against
// the page maps in the file, its two index roots), the page maps against the
// page-count table and the end of the file, the individual index tree, the
// chains of individuals' names, the index against those names both ways (a
// name without a node, a node whose name is no individual's, a node in the
// tree that the walk does not reach), the header's individual bound and name
// area against the records that link beyond them, the chains of notes,
// citations and multimedia records, and the links of marriages and family
// links; then whether a journal of an interrupted change stands beside the
// file at `path` (the path the file was opened with when empty). Reads only,
// through a read cache (kWholeFileReadCache); never writes. Findings of one
// text that may come by the thousand (names without a node, say) are listed
// up to kListedAlike and then counted in one more finding.
// Requires an open file.
CheckReport CheckDatabase(CTEVDatabase& db, const std::string& path = {},
                          const CheckProgress& progress = {});

// The records of table `t` that the open file `db` holds: the slots of the
// pages of each loaded region that both the page-count table counts and the
// region's map gives the table.
int64_t ReadableRecords(const CTEVDatabase& db, const TableSpec& t);

// The index nodes the open file `db` holds, as far as its header tells: the
// highest index node number, at most the readable records of the index
// table, never below 0.
int64_t IndexNodeCount(const CTEVDatabase& db);

// Findings alike listed one by one at the most; the rest are counted.
constexpr size_t kListedAlike = 10;

// Every record of `table` that is not all zero, read into `each`, as the
// check reads them: record numbers run through the regions as the
// page-count table has it, and only slots on pages the region's map gives
// the table are read. Stops early when `going` returns false.
void ForEachRecord(CTEVDatabase& db, const TableSpec& table,
                   const std::function<void(int32_t number, const uint8_t* record)>& each,
                   const std::function<bool()>& going = {});

// The record slots of `table` in regions 0 to 30 as the page-count table
// gives them (0 to INT32_MAX): a link to the table above it leads outside.
int32_t TableSlots(const CTEVDatabase& db, const TableSpec& table);

// A link field that the check holds to its table: at `offset` of every
// record of record type `code`, a number of a record of `target`.
struct TableLink {
  int32_t code;
  size_t offset;
  const TableSpec* target;
};
// The links the check holds to their tables: those of marriages and family
// links.
extern const TableLink kTableLinks[9];

// The size of the open file `db` in bytes, found by reading (at most 33
// one-byte reads).
int64_t FileSizeOf(const CTEVDatabase& db);

// One page of the map.
struct MapPage {
  uint8_t byte = 0;          // the page map's byte, as stored
  uint8_t table = 0;         // the table (1 to 32) it names; 0 for none
  bool counted = false;      // among the pages the page-count table counts for the table
  bool past_end = false;     // the page does not lie whole inside the file
  int32_t first_record = 0;  // number of its first record for tables whose records
                             // are numbered (TableSpecOf), else 0
};

struct FileMap {
  int64_t file_size = 0;
  // One entry per loaded region whose map could be read, kPageSize pages each
  // (page 0 is the map itself); regions that could not be read are empty.
  std::vector<std::vector<MapPage>> regions;
};

// Reads the page maps of every loaded region of the open file `db` (one
// 8192-byte read each) and lays them out as above.
FileMap ReadFileMap(const CTEVDatabase& db);

// The region and page file offset `offset` lies in; false when it lies
// before region 0 or beyond region 30.
bool PageOfOffset(int64_t offset, int& region, int& page);

}  // namespace kinscope
