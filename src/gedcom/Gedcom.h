// SPDX-License-Identifier: GPL-3.0-or-later
// The GEDCOM 5.5.1 export of a database file: every individual, marriage,
// note chain, source number and multimedia record that can be read, as one
// lineage-linked GEDCOM file in UTF-8.
//
// The export only reads the database. It is streamed: what it holds besides
// the record being written is one bit per individual, marriage, note block
// and multimedia slot (to write no pointer to a record that is not in the
// file), the set of source numbers cited, and the links between families
// and their spouses and children (so that every link is written both ways,
// from the family and from the person). Every walk along a chain of records
// stops at a record met before, so damaged links cannot loop. Standard
// library only.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace kinscope {

class CTEVDatabase;

namespace gedcom {

// Lines are at most this many bytes, the line end included.
constexpr size_t kMaxLine = 255;

// What the export wrote and what it left out.
struct Counts {
  int64_t people = 0;
  int64_t families = 0;
  int64_t notes = 0;
  int64_t sources = 0;
  int64_t media = 0;
  int64_t left_out = 0;  // records and links that could not be read or lead nowhere
  int64_t phrases = 0;   // damaged dates written as date phrases
};

struct Options {
  std::string file_name;  // the FILE of the header
  std::string version;    // the VERS of the header's SOUR
  // The time of the export, in seconds after 1970-01-01 00:00 UTC: the DATE
  // of the header and the DATE under each ordinance's STAT.
  int64_t now = 0;
  // Told of each thing left out or written as a phrase: where it is and why.
  std::function<void(const std::string& place, const std::string& reason)> report;
  // Told how far the export is, `done` of `total` steps, every few hundred
  // records; returning false stops the export.
  std::function<bool(int64_t done, int64_t total)> progress;
  // Whether to read through the whole-file read cache; without it every
  // record is read from the file as it is asked for.
  bool read_cache = true;
};

enum class Outcome {
  kComplete,     // everything was exported
  kLeftOut,      // the file was written, but something was left out (reported)
  kCancelled,    // progress returned false; the output is incomplete
  kWriteFailed,  // the output could not be written; the export stopped there
};

// Writes the GEDCOM file of `db` to `out` and fills `counts`. Requires an
// open database. Stops with kWriteFailed as soon as the stream fails. The
// export reads through the whole-file read cache (kWholeFileReadCache)
// unless `options` say otherwise, and frees it at the end.
Outcome Export(CTEVDatabase& db, std::ostream& out, const Options& options, Counts& counts);

// Export to the file at `path` (a path as the platform layer takes it: its
// bytes on POSIX, UTF-8 on Windows), through the platform layer: written to
// "PATH.part", created new (never over anything else standing there, never
// through a link; a stale "PATH.part" that is a regular file of the user's,
// left by an interrupted export, is removed first), synced, renamed over
// PATH, and the folder synced. An export that is cancelled or cannot be
// written removes "PATH.part" and leaves PATH as it was; so does one that
// memory ran out in, before the exception goes on to the caller.
Outcome ExportFile(CTEVDatabase& db, const std::string& path, const Options& options,
                   Counts& counts);

// The GEDCOM date of the 12-byte encoded date at `stored`: empty when no
// date is stored or it decodes to nothing. Day, month and year as the date
// decoder gives them; ABT, AFT, BEF, EST and CAL for the modifiers Abt,
// mAft, Bef, Est and Cal; BET ... AND ... for two dates; @#DJULIAN@ before
// the date parts that the century tables count in the Julian calendar. A
// date without a year or with a year below 100, an out-of-range month, a
// day without a month, a modifier without a GEDCOM meaning or an unknown
// date type gives a date phrase: the display text in parentheses; `damaged`
// is then set for an unknown date type. With `ordinance` set, the modifiers
// Stillborn, Uncleared and DNS are taken out of the date and given as
// STILLBORN, UNCLEARED and DNS in `status`.
struct Date {
  std::string value;
  std::string status;
  bool damaged = false;
};
Date ConvertDate(const uint8_t* stored, bool ordinance);

// `text` (UTF-8) as a value of one line: line breaks as blanks, control
// characters other than tab dropped, blanks and tabs trimmed at both ends.
std::string OneLine(const std::string& text);

// Writes GEDCOM lines of at most kMaxLine bytes with their line end, every
// "@" of a text doubled and no control character but tab.
class LineWriter {
 public:
  explicit LineWriter(std::ostream& out) : out_(out) {}
  // "level [@xref@] TAG [text]" for a text that 5.5.1 lets go on (a NOTE,
  // a TEXT): the text (UTF-8) cut into CONT and CONC lines one level down,
  // CONC lines split between two non-blank characters where it can be.
  // `xref` without its "@".
  void Text(int level, const char* tag, const std::string& text, const std::string& xref = {});
  // "level TAG text" on one line, for a value that 5.5.1 gives no CONC or
  // CONT: the text as OneLine makes it, cut after a whole character where
  // the line is full. Writes nothing for a text that comes out empty.
  // False when the text had to be cut.
  bool Line(int level, const char* tag, const std::string& text);
  // "level TAG [value]": a value the export makes itself (a date, a code, a
  // number), short and written as it is ("@#DJULIAN@" stays as it is).
  void Value(int level, const char* tag, const std::string& value);
  // "level TAG @xref@": a pointer, `xref` without its "@".
  void Pointer(int level, const char* tag, const std::string& xref);
  // False once writing failed.
  bool Good() const { return static_cast<bool>(out_); }

 private:
  void Put(int level, const std::string& xref, const char* tag, const std::string& value);
  std::ostream& out_;
  std::string line_;  // the line being put together
};

}  // namespace gedcom
}  // namespace kinscope
