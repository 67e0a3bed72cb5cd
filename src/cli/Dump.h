// SPDX-License-Identifier: GPL-3.0-or-later
// kinscope-dump: a database file's header, records, name index and a
// whole-file check, as JSON documents (printed as they are with --json, or
// as aligned text). The file is only ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kinscope {

class CTEVDatabase;
struct CheckReport;
struct RepairReport;

namespace dump {

class Progress;

// Documents keep their keys in the order they are written.
using json = nlohmann::ordered_json;

// Exit statuses.
constexpr int kOk = 0;
constexpr int kProblems = 1;     // check: the file is damaged (unusual findings alone give kOk);
                                 // gedcom: something was left out
constexpr int kCannotOpen = 2;   // the file cannot be opened, or the arguments are wrong
constexpr int kNoRecord = 3;     // record: not found or read short
constexpr int kOutOfMemory = 5;  // memory ran out: the command stopped, its output file removed

struct Result {
  json doc;
  int status = kOk;
  std::string error;  // for stderr, when status is not kOk
};

// The header fields, the page counts per region and table, and each loaded
// region's page map by table.
Result Header(CTEVDatabase& db);

// Record `number` of record-type `code` (a record number, node number or
// file offset as the type has it), every field of its layout decoded;
// `with_bytes` adds the record's bytes in hexadecimal. kNoRecord when it is
// not found or reads short (no bytes of it are given then).
Result Record(CTEVDatabase& db, int32_t code, int32_t number, bool with_bytes);

// The record-type code of `name`: a chooser entry (any case) or a number
// 0 to 12; -1 when it names no type.
int32_t RecordTypeCode(const std::string& name);

// The individual index in name order, runs of identical keys marked.
Result Index(CTEVDatabase& db);

// The index entries under `text`, UTF-8 (encoded to Windows-1252 before its
// key is made; a character Windows-1252 cannot hold gives kCannotOpen and
// names it). The entries whose key starts with the key of `text` (a text
// without a "/" is taken as the start of a surname), found by descending the
// tree; when there are none, or with `like`, the forgiving search of
// LikeFinder (by spelling; with `like` by sound too), each entry marked with
// how it matched.
Result Find(CTEVDatabase& db, const std::string& text, bool like = false);

// The whole-file check (FileCheck.h) of `db`, opened from `path`: each
// finding with its severity, place, record, region, page and offset, the
// counts and the summary line. kProblems when it found damage; unusual
// findings alone leave kOk. Nothing goes to stderr but the `progress` line
// (Progress.h) of the records and index nodes read, when one is given.
Result Check(CTEVDatabase& db, const std::string& path = {}, Progress* progress = nullptr);
// The document of a check's report.
json CheckDocument(const CheckReport& report);

// The gedcom command: the database as GEDCOM 5.5.1 to standard output, or to
// `out_path` through a temporary file beside it that is renamed over it only
// when the export is complete. Each thing left out is named on standard
// error, as is the `progress` line of the records exported, when given. Returns
// kOk when everything was exported, kProblems when something was left out,
// kCannotOpen when the output cannot be written or the export was
// interrupted (no file is left then). `database` names the FILE of the
// header when writing to standard output; `version` is the program's.
int Gedcom(CTEVDatabase& db, const std::string& database, const std::string& out_path,
           const std::string& version, Progress* progress = nullptr);

// The repair command: the file at `path` mended onto a copy at `out_path`
// (Repair.h), replacing a file standing there only with `force`. The
// document lists each mend and cut (action, place, what was wrong, what it
// is now), the counts, the summary line ("12 mended, 1 cut") and the copy's
// check. kOk when the copy checks without damage and nothing was cut,
// kProblems when something was cut or left damaged, kCannotOpen (and no
// document, the reason in `error`) when the file cannot be read or holds
// nothing to mend from, the copy cannot be written, OUT stands in the way
// or the repair was interrupted: no copy is left then. `progress` shows how
// far it is, its four stages (checking, copying, mending, checking the
// copy) a quarter each.
Result Repair(const std::string& path, const std::string& out_path, bool force,
              Progress* progress = nullptr);
json RepairDocument(const RepairReport& report, const std::string& copy);

// Index and Find written to `out` as they are read: the same bytes as
// Text() of their document (with `json`, its dump(2) and a newline), without
// making the document. Memory does not grow with the entries listed beyond a
// bit per index node met; the index is walked twice, once to measure the
// columns and count the runs, once to write. Find's text keeps the rows of
// its measuring walk up to `keep_bytes` of them and writes those; only a
// find whose rows take more is walked a second time. Its JSON is one walk.
// The find's text is UTF-8, as for Find.
// The result's document is left empty. Index draws its `progress` line, when
// given, over the nodes of both walks.
Result WriteIndex(CTEVDatabase& db, std::ostream& out, bool json, Progress* progress = nullptr);
struct FindOptions {
  bool like = false;                     // search by spelling and sound
  size_t keep_bytes = size_t{16} << 20;  // rows the text's first walk keeps
  // The line drawn while a forgiving search walks the whole index (the
  // entries walked of the most there can be): the text's is wiped before
  // its first line is written; the JSON is written as the walk goes.
  Progress* progress = nullptr;
};
Result WriteFind(CTEVDatabase& db, const std::string& text, std::ostream& out, bool json,
                 const FindOptions& options = {});

// `doc` of `command` as aligned text for reading.
std::string Text(const std::string& command, const json& doc);

// Helpers shared by the commands.
// The bytes of a text of the file (Windows-1252, Cp1252.h) as UTF-8.
std::string Latin1(const std::string& bytes);
std::string Latin1(const uint8_t* text, size_t max);  // up to a zero byte or max
// The columns a UTF-8 text takes in the aligned text: one a character.
size_t TextWidth(std::string_view utf8);

}  // namespace dump
}  // namespace kinscope
