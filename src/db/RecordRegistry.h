// SPDX-License-Identifier: GPL-3.0-or-later
// The record-type registry: one row per record type, the one place that
// states what the program knows of each: its code (RecordTypes.h) and the
// chooser's entry, the table that holds its records by number (the record
// size comes from its layout, the records per page from that), its layout
// (RecordLayouts.h), whether it has a record window, and how the file map
// shows its table's pages. The record reads (RecordTables.cpp), the check,
// the file map, kinscope-dump and the windows' factory all read these rows.
//
// Adding a record type: its code in RecordTypes.h, its layout in
// RecordLayouts.h, a row here, and its window in src/records (a class and
// its entry in RecordWindowTable.cpp) when the row says it has one.
#pragma once

#include <cstdint>
#include <string>

#include "RecordLayouts.h"
#include "RecordTypes.h"

namespace kinscope {

// Bytes of a page. A table owns pages; each holds as many whole records of
// the table as fit.
constexpr int kPageSize = 8192;

// Table number of the page maps themselves: the first byte of every map.
constexpr int kPageMapTable = 11;

// Where records numbered in a table live: the table, the record size and
// the records on one page. Table 0 for records that are not numbered in a
// table.
struct TableSpec {
  int table;
  int size;
  int per_page;
};

// How the file map shows a table's pages: a colour (0xRRGGBB) and a label.
struct MapStyle {
  uint32_t rgb;
  const char* label;
};

struct RecordType {
  int32_t code;                // its record-type code
  const char* name;            // the chooser's entry; kinscope-dump takes it too
  const RecordLayout* layout;  // none for a type the program does not read
  TableSpec table;             // table 0: reached by file offset, or not read
  bool window;                 // it has a record window
  MapStyle map;                // its table's pages on the file map (with a table)
};

constexpr bool kWindow = true;
constexpr bool kNoWindow = false;

// A record type numbered in `table`, its records laid out as `layout`.
constexpr RecordType TypeInTable(int32_t code, const char* name, int table,
                                 const RecordLayout& layout, bool window, MapStyle map) {
  const int size = static_cast<int>(layout.size);
  return {code, name, &layout, {table, size, kPageSize / size}, window, map};
}
// A record type reached by file offset.
constexpr RecordType TypeByOffset(int32_t code, const char* name, const RecordLayout& layout,
                                  bool window) {
  return {code, name, &layout, {0, 0, 0}, window, {0, nullptr}};
}
// A record type of the chooser that the program does not read.
constexpr RecordType TypeNotRead(int32_t code, const char* name) {
  return {code, name, nullptr, {0, 0, 0}, kNoWindow, {0, nullptr}};
}

// Every record type, by code.
inline constexpr RecordType kRecordTypes[kRecordTypeCount] = {
    TypeInTable(kIndividualCode, "Individual", 2, individ::kLayout, kWindow,
                {0x1f77b4, "individuals"}),
    TypeInTable(kMarriageCode, "Marriage", 3, marr::kLayout, kWindow, {0xd62728, "marriages"}),
    TypeInTable(kFamilyCode, "Family", 5, famlink::kLayout, kWindow, {0xff7f0e, "family links"}),
    TypeByOffset(kNameCode, "Name", namerec::kLayout, kWindow),
    TypeInTable(kNoteCode, "Note", 4, note::kLayout, kWindow, {0x2ca02c, "notes"}),
    TypeByOffset(kIndivNameCode, "IndivName", iname::kLayout, kWindow),
    TypeInTable(kCitationCode, "Citation", 6, cit::kLayout, kWindow, {0x9467bd, "citations"}),
    TypeNotRead(kSourceCode, "Source"),
    TypeInTable(kUserDefinedCode, "User Defined", 12, userev::kLayout, kWindow,
                {0xe377c2, "user-defined events"}),
    TypeInTable(kUDEventTypeCode, "UD Event Type", 13, uetype::kLayout, kWindow,
                {0xbcbd22, "user-defined event types"}),
    TypeNotRead(kContactCode, "Contact"),
    TypeInTable(kMediaCode, "Media", 20, media::kLayout, kWindow, {0x7f7fff, "multimedia"}),
    TypeInTable(kIndivIndexCode, "Indiv_Index", 10, indexnode::kLayout, kWindow,
                {0x17becf, "index nodes"}),
};

// Tables whose pages hold no record type's numbered records, as the file
// map shows them. Any other table is drawn in a colour of its own and
// labelled "table N".
struct OtherTable {
  int table;
  MapStyle map;
};
inline constexpr OtherTable kOtherTables[] = {
    {0, {0xececec, "no table"}},  // a page map byte of 0: a page of no table
    // Name records and individuals' name records, reached by file offset.
    {1, {0x8e6c3a, "name records"}},
    {kPageMapTable, {0x404040, "page maps"}},
};

// The row of record-type `code`; none outside 0 to 12.
constexpr const RecordType* RecordTypeOf(int32_t code) {
  return code >= 0 && code < kRecordTypeCount ? &kRecordTypes[code] : nullptr;
}

// The chooser's entry of `code`; none outside 0 to 12.
inline const char* RecordTypeName(int32_t code) {
  const RecordType* type = RecordTypeOf(code);
  return type != nullptr ? type->name : nullptr;
}

// The table spec of `table`'s records when a record type is numbered in it
// (individuals, marriages, ...), else none.
const TableSpec* TableSpecOf(int table);

// The record-type code that opens a record of `table`, or kNoRecordCode.
int32_t RecordCodeOfTable(int table);

// The table whose records `layout` lays out; none for records addressed by
// file offset and for embedded values.
const TableSpec* TableOf(const RecordLayout& layout);

// How the file map shows the pages of `table` (0 to 32; 0 for no table).
uint32_t MapColourOf(int table);
std::string MapLabelOf(int table);

}  // namespace kinscope
