// SPDX-License-Identifier: GPL-3.0-or-later
// The export itself: individuals, then families, then the multimedia, note
// and source records that they point to.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Coding.h"
#include "Cp1252.h"
#include "Gedcom.h"
#include "NameKeys.h"
#include "NameRecords.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope::gedcom {
namespace {

// Chains longer than this are cut: no owner has that many names, notes or
// events, and a damaged link must not keep the export walking.
constexpr int kChainLimit = 100000;
// Records between two calls of the progress function.
constexpr int64_t kProgressStep = 512;
// The oldest age at an event written as AGE; any other age goes into a note.
constexpr int32_t kOldestAge = 150;

bool AllZero(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

std::string Num(int64_t n) { return std::to_string(n); }

std::string Where(const std::string& place, const char* part) {
  return part == nullptr ? place : place + " " + part;
}

// A time `seconds` after 1970-01-01 00:00 UTC, broken down in the proleptic
// Gregorian calendar by arithmetic alone, so every system gives the same.
struct Utc {
  int64_t year;
  int month, day, hour, minute, second;
};

Utc UtcOf(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;  // days from 0000-03-01 to 1970-01-01
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return {year_of_era + era * 400 + (month <= 2 ? 1 : 0),
          static_cast<int>(month),
          static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1),
          static_cast<int>(rest / 3600),
          static_cast<int>(rest / 60 % 60),
          static_cast<int>(rest % 60)};
}

// A calendar day as GEDCOM writes it: 8 DEC 2026.
std::string Day(const Utc& t) {
  static const char* const kMonthTags[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                             "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  return Num(t.day) + " " + kMonthTags[t.month - 1] + " " + Num(t.year);
}

// Bytes at `text` up to the first zero byte, at most `max`.
size_t TextLength(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  return end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
}

// The tags of 5.5.1's individual events, and RESI, the one attribute it
// writes without a value; and its family events. A user-defined event of
// any other tag (an attribute such as OCCU, which 5.5.1 writes only with a
// value the file does not hold) is written as EVEN with a TYPE.
constexpr std::string_view kIndividualTags[] = {
    "ADOP", "BAPM", "BARM", "BASM", "BIRT", "BLES", "BURI", "CENS", "CHR",  "CHRA", "CONF", "CREM",
    "DEAT", "EMIG", "FCOM", "GRAD", "IMMI", "NATU", "ORDN", "PROB", "RESI", "RETI", "WILL"};
constexpr std::string_view kFamilyTags[] = {"ANUL", "CENS", "DIV",  "DIVF", "ENGA", "MARB",
                                            "MARC", "MARL", "MARR", "MARS", "RESI"};

// The statuses 5.5.1 allows under each ordinance, of those the file holds
// (DNS, STILLBORN, UNCLEARED).
constexpr std::pair<std::string_view, std::string_view> kStatuses[] = {
    {"BAPL", "STILLBORN"}, {"BAPL", "UNCLEARED"}, {"ENDL", "UNCLEARED"}, {"SLGS", "DNS"},
    {"SLGS", "UNCLEARED"}, {"SLGC", "DNS"},       {"SLGC", "STILLBORN"}, {"SLGC", "UNCLEARED"}};

// Family link letters and the line each gives under FAMC.
struct LinkType {
  uint8_t letter;
  const char* tag;
  const char* value;
};
constexpr LinkType kLinkTypes[] = {{'b', "PEDI", "birth"},      {'a', "PEDI", "adopted"},
                                   {'s', "PEDI", "sealing"},    {'g', "PEDI", "foster"},
                                   {'c', "STAT", "challenged"}, {'d', "STAT", "disproven"}};

// The multimedia formats of 5.5.1 by file extension; any other kind of file
// is "ole", an object that another program opens.
constexpr std::pair<std::string_view, const char*> kFormats[] = {
    {"bmp", "bmp"},  {"gif", "gif"}, {"jpg", "jpg"}, {"jpeg", "jpg"},
    {"jpe", "jpg"},  {"ole", "ole"}, {"pcx", "pcx"}, {"tif", "tif"},
    {"tiff", "tif"}, {"wav", "wav"}, {"wave", "wav"}};

const char* Format(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos) return "ole";
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  for (const auto& [ext, form] : kFormats)
    if (extension == ext) return form;
  return "ole";
}

// One bit per record number of a table, 1 to `size`.
class Bits {
 public:
  explicit Bits(int64_t size = 0) : bits_(static_cast<size_t>(std::max<int64_t>(size, 0)) + 1) {}
  bool Has(int32_t n) const {
    return n > 0 && static_cast<size_t>(n) < bits_.size() && bits_[static_cast<size_t>(n)];
  }
  bool Fits(int32_t n) const { return n > 0 && static_cast<size_t>(n) < bits_.size(); }
  void Set(int32_t n) {
    if (Fits(n)) bits_[static_cast<size_t>(n)] = true;
  }
  int32_t Size() const { return static_cast<int32_t>(bits_.size() - 1); }

 private:
  std::vector<bool> bits_;
};

// The records a chain walk has met: the first few in place, the rest in a
// set, so the short chains of most owners cost no allocation.
class Met {
 public:
  // False when `n` was met before.
  bool Insert(int32_t n) {
    if (Has(n)) return false;
    if (count_ < few_.size()) {
      few_[count_++] = n;
      return true;
    }
    return rest_.insert(n).second;
  }
  bool Has(int32_t n) const {
    return std::find(few_.begin(), few_.begin() + static_cast<std::ptrdiff_t>(count_), n) !=
               few_.begin() + static_cast<std::ptrdiff_t>(count_) ||
           rest_.count(n) != 0;
  }
  // Whether the walk may go on.
  bool Room() const { return static_cast<int>(count_ + rest_.size()) < kChainLimit; }

 private:
  std::array<int32_t, 16> few_{};
  size_t count_ = 0;
  std::set<int32_t> rest_;
};

// A child's link to a family: the child, the marriage, the family link.
struct ChildLink {
  int32_t rin, mrin, link;
};

class Exporter {
 public:
  Exporter(CTEVDatabase& db, std::ostream& out, const Options& options, Counts& counts)
      : db_(db), w_(out), options_(options), counts_(counts) {}

  Outcome Run();

 private:
  // The highest record number of `t` that the page-count table and the page
  // maps leave readable.
  int32_t Readable(const TableSpec& t) const;
  void LeftOut(const std::string& place, const std::string& reason) {
    ++counts_.left_out;
    if (options_.report) options_.report(place, reason);
  }
  // Why individual `rin`, linked to, is not in the file.
  std::string Absent(int32_t rin);
  bool Step() {
    ++done_;
    return done_ % kProgressStep != 0 || Progress();
  }
  bool Progress() { return w_.Good() && (!options_.progress || options_.progress(done_, total_)); }
  Outcome Stopped() const { return w_.Good() ? Outcome::kCancelled : Outcome::kWriteFailed; }
  template <typename Image>
  bool Read(Image& image, int32_t n, const TableSpec& t) {
    return db_.ReadRecord(image.data(), t.size, n, t.table, t.per_page) == 1;
  }
  // The text (UTF-8) of the name record at `offset`; none when it cannot
  // be read.
  std::optional<std::string> NameText(int32_t offset);

  void Header();
  void Links(int32_t mrin, const MarrImage& marriage);
  void Individual(int32_t rin, const IndividImage& r);
  // "FAMC" with the link's type, and the sealing to parents it holds.
  void ChildOf(int32_t mrin, const FamLinkImage& link, const std::string& place);
  void SpouseLinks(int32_t rin, int32_t first, const std::string& place);
  void Family(int32_t mrin, const MarrImage& r);
  void Names(int32_t rin, int32_t first);
  void Name(const std::string& place, const uint8_t* text, size_t length);
  // `place` and `part` name the owner in reports ("individual 5", "BIRT");
  // they are joined only when something is reported.
  void Event(int level, const char* tag, const uint8_t* event, const std::string& place,
             bool family = false);
  // `family`: an event of a marriage.
  void EventBody(int level, const uint8_t* event, const std::string& place, const char* part,
                 bool family);
  void Place(int level, int32_t where, const std::string& place, const char* part);
  // An ordinance; `family` is the MRIN of a sealing to parents (SLGC).
  void Ordinance(int level, const char* tag, const uint8_t* ordinance, const std::string& place,
                 int32_t family = 0);
  void DateLine(int level, const uint8_t* stored, const std::string& place, const char* part);
  void Citations(int level, int32_t first, const std::string& place, const char* part = nullptr);
  void NoteLink(int level, int32_t first, const std::string& place);
  void MediaLinks(int level, int32_t first, const std::string& place);
  void UserEvents(int level, int32_t first, bool family, const std::string& place);
  void Change(const uint8_t* stamp);
  // The text of the note chain from `first`, blocks joined in chain order.
  std::string NoteText(int32_t first, const std::string& place);
  void Notes();
  void Sources();
  void Media();

  CTEVDatabase& db_;
  LineWriter w_;
  const Options& options_;
  Counts& counts_;
  Bits people_, families_, notes_, media_;
  int32_t bound_ = 0;  // the header's individual bound
  int32_t table_ = 0;  // the highest readable individual
  std::set<int32_t> sources_;
  std::string status_day_;  // the DATE under every STAT: the day of the export
  // Every exported marriage's husband and wife as (RIN, MRIN), by RIN.
  std::vector<std::pair<int32_t, int32_t>> spouses_;
  // Each exported marriage's child links, in MRIN and chain order; and
  // their places in it, by the child's RIN.
  std::vector<ChildLink> family_children_;
  std::vector<uint32_t> children_by_rin_;
  // Where the individual being written finds its links in those two.
  size_t child_at_ = 0, spouse_at_ = 0;
  // Links that only a child's own chain of family links holds, by MRIN.
  std::vector<ChildLink> extra_children_;
  int64_t done_ = 0;
  int64_t total_ = 0;
};

int32_t Exporter::Readable(const TableSpec& t) const {
  int64_t first = 1;
  int64_t last = 0;
  for (int r = 0; r < kMaxRegions; ++r) {
    const int counted = std::max(0, db_.PageCount(r, t.table));
    const int64_t readable = int64_t{std::min(counted, db_.MappedPages(r, t.table))} * t.per_page;
    if (readable > 0) last = first + readable - 1;
    first += int64_t{counted} * t.per_page;
  }
  return static_cast<int32_t>(std::min<int64_t>(last, INT32_MAX));
}

std::string Exporter::Absent(int32_t rin) {
  IndividImage person{};
  if (rin > bound_ && rin <= table_ && Read(person, rin, kIndividTable) &&
      !AllZero(person.data(), person.size()))
    return Num(rin) + " lies beyond the individual bound of the header (" + Num(bound_) +
           ") and is not exported";
  return Num(rin) + " is not exported";
}

std::optional<std::string> Exporter::NameText(int32_t offset) {
  NameRecImage record{};
  if (db_.LoadNameRec(offset, record) == 0) return std::nullopt;
  const uint8_t* text = record.data() + kNameRecHead;
  return Cp1252ToUtf8(text, TextLength(text, kNameRecRead - kNameRecHead));
}

void Exporter::Header() {
  w_.Value(0, "HEAD", "");
  w_.Value(1, "SOUR", "KINSCOPE");
  w_.Line(2, "VERS", options_.version);
  w_.Value(2, "NAME", "Kinscope");
  w_.Value(1, "DATE", status_day_);
  w_.Pointer(1, "SUBM", "SUBM");
  w_.Line(1, "FILE", options_.file_name);
  w_.Value(1, "GEDC", "");
  w_.Value(2, "VERS", "5.5.1");
  w_.Value(2, "FORM", "LINEAGE-LINKED");
  w_.Value(1, "CHAR", "UTF-8");
  w_.Text(0, "SUBM", "", "SUBM");
  w_.Value(1, "NAME", "Kinscope");
}

void Exporter::Names(int32_t rin, int32_t first) {
  Met met;
  for (int32_t at = first; at != 0 && met.Room();) {
    const std::string place = "individual " + Num(rin) + ", name at " + Num(at);
    if (!met.Insert(at)) return LeftOut(place, "the name chain comes back to this name");
    INameRecImage name{};
    if (db_.LoadINameRec(at, name) == 0) return LeftOut(place, "the name record cannot be read");
    const uint8_t* text = name.data() + iname::kText;
    Name(place, text, TextLength(text, kINameTextMax));
    at = DecodeI32(name.data(), iname::kNext);
  }
}

void Exporter::Name(const std::string& place, const uint8_t* text, size_t length) {
  std::string given, surname, suffix;
  if (std::memchr(text, '/', length) == nullptr) {
    given = OneLine(Cp1252ToUtf8(text, length));
  } else {
    // Split on the bytes as the name index splits them; 8-bit characters
    // widened without sign, so they come back as the same bytes.
    const std::u16string wide(text, text + length);
    WideText g, s, x;
    SplitName(wide, g, kINameTextMax + 1, s, kINameTextMax + 1, x, kINameTextMax + 1);
    const auto utf8 = [](const WideText& part) {
      std::string bytes;
      for (char16_t c : part) bytes.push_back(static_cast<char>(c & 0xFF));
      return OneLine(Cp1252ToUtf8(bytes));
    };
    given = utf8(g);
    surname = utf8(s);
    suffix = utf8(x);
  }
  if (given.empty() && surname.empty() && suffix.empty())
    return LeftOut(place, "the name is empty");
  // 5.5.1 puts the surname between two slashes, so one cannot hold a slash;
  // without a surname there are no slashes.
  std::string between = surname;
  std::replace(between.begin(), between.end(), '/', ' ');
  std::string value = given;
  if (!between.empty()) value += (value.empty() ? "/" : " /") + between + "/";
  if (!suffix.empty()) value += (value.empty() ? "" : " ") + suffix;
  bool whole = w_.Line(1, "NAME", value) && between == surname;
  whole = w_.Line(2, "GIVN", given) && whole;
  whole = w_.Line(2, "SURN", surname) && whole;
  whole = w_.Line(2, "NSFX", suffix) && whole;
  if (!whole) w_.Text(2, "NOTE", "Name as stored: " + Cp1252ToUtf8(text, length));
}

void Exporter::DateLine(int level, const uint8_t* stored, const std::string& place,
                        const char* part) {
  const Date d = ConvertDate(stored, false);
  if (d.damaged) {
    ++counts_.phrases;
    if (options_.report)
      options_.report(Where(place, part), "unknown date type, written as a date phrase");
  }
  if (!d.value.empty()) w_.Value(level, "DATE", d.value);
}

void Exporter::Place(int level, int32_t where, const std::string& place, const char* part) {
  if (where == 0) return;
  const std::optional<std::string> text = NameText(where);
  if (!text) return LeftOut(Where(place, part), "its place " + Num(where) + " cannot be read");
  if (!w_.Line(level, "PLAC", *text)) w_.Text(level + 1, "NOTE", "Place as stored: " + *text);
}

void Exporter::EventBody(int level, const uint8_t* e, const std::string& place, const char* part,
                         bool family) {
  DateLine(level, e + event::kDate, place, part);
  Place(level, DecodeI32(e, event::kPlace), place, part);
  // 5.5.1 gives a family event the ages of husband and wife, not one age.
  const int32_t age = DecodeI32(e, event::kAgeAt);
  if (age > 0 && age <= kOldestAge && !family) w_.Value(level, "AGE", Num(age) + "y");
  else if (age != 0) w_.Text(level, "NOTE", "Age at the event: " + Num(age));
  Citations(level, DecodeI32(e, event::kCit), place, part);
}

void Exporter::Event(int level, const char* tag, const uint8_t* e, const std::string& place,
                     bool family) {
  if (AllZero(e, event::kSize)) return;
  w_.Value(level, tag, "");
  EventBody(level + 1, e, place, tag, family);
}

void Exporter::Ordinance(int level, const char* tag, const uint8_t* o, const std::string& place,
                         int32_t family) {
  if (AllZero(o, ordinance::kSize)) return;
  w_.Value(level, tag, "");
  const Date d = ConvertDate(o + ordinance::kDate, true);
  if (d.damaged) {
    ++counts_.phrases;
    if (options_.report)
      options_.report(Where(place, tag), "unknown date type, written as a date phrase");
  }
  if (!d.status.empty()) {
    const bool allowed = std::find(std::begin(kStatuses), std::end(kStatuses),
                                   std::pair<std::string_view, std::string_view>(tag, d.status)) !=
                         std::end(kStatuses);
    if (allowed) {
      // Before the ordinance's DATE: a reader that takes the status's DATE
      // for the ordinance's (Gramps 5.1 does) meets the ordinance's last.
      w_.Value(level + 1, "STAT", d.status);
      w_.Value(level + 2, "DATE", status_day_);
    } else {
      w_.Text(level + 1, "NOTE", "Ordinance status: " + d.status);
    }
  }
  if (!d.value.empty()) w_.Value(level + 1, "DATE", d.value);
  Place(level + 1, DecodeI32(o, ordinance::kPlace), place, tag);
  if (family != 0) w_.Pointer(level + 1, "FAMC", "F" + Num(family));
  Citations(level + 1, DecodeI32(o, ordinance::kCit), place, tag);
}

void Exporter::NoteLink(int level, int32_t first, const std::string& place) {
  if (first == 0) return;
  NoteImage block{};
  if (notes_.Has(first) || (notes_.Fits(first) && Read(block, first, kNoteTable) &&
                            !AllZero(block.data(), block.size()))) {
    notes_.Set(first);
    return w_.Pointer(level, "NOTE", "N" + Num(first));
  }
  LeftOut(place, "its note " + Num(first) + " cannot be read");
}

void Exporter::MediaLinks(int level, int32_t first, const std::string& place) {
  Met met;
  for (int32_t at = first; at != 0 && met.Room();) {
    if (!met.Insert(at)) return LeftOut(place, "its multimedia chain comes back to " + Num(at));
    MediaImage m{};
    if (!media_.Fits(at) || !Read(m, at, kMediaTable) || AllZero(m.data(), m.size())) {
      return LeftOut(place, "its multimedia record " + Num(at) + " cannot be read");
    }
    const int32_t path = DecodeI32(m.data(), media::kPath);
    const std::optional<std::string> text = NameText(path);
    if (!text) {
      LeftOut("multimedia " + Num(at), "its file path " + Num(path) + " cannot be read");
    } else if (OneLine(*text).empty()) {
      LeftOut("multimedia " + Num(at), "its file path is empty");
    } else {
      media_.Set(at);
      w_.Pointer(level, "OBJE", "M" + Num(at));
    }
    at = DecodeI32(m.data(), media::kNext);
  }
}

void Exporter::Citations(int level, int32_t first, const std::string& owner, const char* part) {
  if (first == 0) return;
  const std::string place = Where(owner, part);
  Met met;
  for (int32_t at = first; at != 0 && met.Room();) {
    if (!met.Insert(at)) return LeftOut(place, "its citation chain comes back to " + Num(at));
    CitImage c{};
    if (!Read(c, at, kCitTable) || AllZero(c.data(), c.size())) {
      return LeftOut(place, "its citation " + Num(at) + " cannot be read");
    }
    const std::string here = "citation " + Num(at);
    const int32_t source = std::max(0, DecodeI32(c.data(), cit::kSourcePtr));
    sources_.insert(source);
    w_.Pointer(level, "SOUR", "S" + Num(source));
    const std::string page = Cp1252ToUtf8(c.data() + cit::kPage, cit::kPageSize);
    if (!w_.Line(level + 1, "PAGE", page)) w_.Text(level + 1, "NOTE", "Page as stored: " + page);
    const Date d = ConvertDate(c.data() + cit::kRecordedDate, false);
    if (d.damaged) {
      ++counts_.phrases;
      if (options_.report) options_.report(here, "unknown date type, written as a date phrase");
    }
    const int32_t actual = DecodeI32(c.data(), cit::kActualText);
    const std::string text = actual != 0 ? NoteText(actual, here) : std::string();
    if (!d.value.empty() || !text.empty()) {
      w_.Value(level + 1, "DATA", "");
      if (!d.value.empty()) w_.Value(level + 2, "DATE", d.value);
      if (!text.empty()) w_.Text(level + 2, "TEXT", text);
    }
    MediaLinks(level + 1, DecodeI32(c.data(), cit::kMedia), here);
    NoteLink(level + 1, DecodeI32(c.data(), cit::kComments), here);
    at = DecodeI32(c.data(), cit::kNextCit);
  }
}

void Exporter::UserEvents(int level, int32_t first, bool family, const std::string& place) {
  Met met;
  for (int32_t at = first; at != 0 && met.Room();) {
    if (!met.Insert(at)) return LeftOut(place, "its event chain comes back to " + Num(at));
    UserEvImage e{};
    if (!Read(e, at, kUserEvTable) || AllZero(e.data(), e.size())) {
      return LeftOut(place, "its user-defined event " + Num(at) + " cannot be read");
    }
    UserEvTypeImage type{};
    const int32_t type_number = DecodeI32(e.data(), userev::kEvType);
    std::string tag, title;
    if (type_number > 0 && Read(type, type_number, kUserEvTypeTable)) {
      tag = Cp1252ToUtf8(type.data() + uetype::kGedTag, uetype::kGedTagSize);
      title = OneLine(Cp1252ToUtf8(db_.NameRecText(DecodeI32(type.data(), uetype::kTitle))));
      if (title.empty())
        title = OneLine(Cp1252ToUtf8(type.data() + uetype::kShortTitle, uetype::kShortTitleSize));
    }
    if (title.empty()) title = "Event type " + Num(type_number);
    const auto known = [&tag](const auto& tags) {
      return std::find(std::begin(tags), std::end(tags), tag) != std::end(tags);
    };
    const bool standard = family ? known(kFamilyTags) : known(kIndividualTags);
    w_.Value(level, standard ? tag.c_str() : "EVEN", "");
    if (!standard && !w_.Line(level + 1, "TYPE", title))
      w_.Text(level + 1, "NOTE", "Event type as stored: " + title);
    if (e[userev::kConfidential] != 0) w_.Value(level + 1, "RESN", "confidential");
    EventBody(level + 1, e.data() + userev::kEvent, "user-defined event " + Num(at), nullptr,
              family);
    at = DecodeI32(e.data(), userev::kNext);
  }
}

void Exporter::Change(const uint8_t* stamp) {
  const int32_t seconds = DecodeI32(stamp, 0);
  if (seconds == 0) return;
  const Utc t = UtcOf(seconds);
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  w_.Value(1, "CHAN", "");
  w_.Value(2, "DATE", Day(t));
  w_.Value(3, "TIME", time);
}

// The links of exported marriage `mrin` that the export writes both ways:
// its husband, its wife and the family links of its child chain.
void Exporter::Links(int32_t mrin, const MarrImage& marriage) {
  const int32_t husband = DecodeI32(marriage.data(), marr::kHusband);
  const int32_t wife = DecodeI32(marriage.data(), marr::kWife);
  if (husband > 0) spouses_.emplace_back(husband, mrin);
  if (wife > 0 && wife != husband) spouses_.emplace_back(wife, mrin);
  const std::string place = "marriage " + Num(mrin);
  Met met;
  for (int32_t at = DecodeI32(marriage.data(), marr::kChild); at != 0 && met.Room();) {
    if (!met.Insert(at)) return LeftOut(place, "its children's links come back to " + Num(at));
    FamLinkImage link{};
    if (!Read(link, at, kFamLinkTable) || AllZero(link.data(), link.size())) {
      return LeftOut(place, "its family link " + Num(at) + " cannot be read");
    }
    family_children_.push_back({DecodeI32(link.data(), famlink::kIndi), mrin, at});
    at = DecodeI32(link.data(), famlink::kNextYoungerSibling);
  }
}

void Exporter::ChildOf(int32_t mrin, const FamLinkImage& link, const std::string& place) {
  w_.Pointer(1, "FAMC", "F" + Num(mrin));
  const uint8_t type = link[famlink::kLinkType];
  const auto known = std::find_if(std::begin(kLinkTypes), std::end(kLinkTypes),
                                  [type](const LinkType& t) { return t.letter == type; });
  if (known != std::end(kLinkTypes)) w_.Value(2, known->tag, known->value);
  else
    w_.Text(2, "NOTE",
            "Family link type " + (type == 0 ? std::string("0") : Cp1252ToUtf8(&type, 1)));
  Ordinance(1, "SLGC", link.data() + famlink::kSealingToParents, place, mrin);
}

void Exporter::SpouseLinks(int32_t rin, int32_t first, const std::string& place) {
  // The person's own chain of marriages first, in its order, then every
  // other marriage that names the person as husband or wife.
  Met written;
  for (int32_t mrin = first; mrin != 0 && written.Room();) {
    if (written.Has(mrin)) {
      LeftOut(place, "its marriages come back to " + Num(mrin));
      break;
    }
    MarrImage m{};
    if (!families_.Has(mrin) || !Read(m, mrin, kMarrTable)) {
      LeftOut(place, "its marriage " + Num(mrin) + " is not exported");
      break;
    }
    const bool husband = DecodeI32(m.data(), marr::kHusband) == rin;
    if (!husband && DecodeI32(m.data(), marr::kWife) != rin) {
      LeftOut(place, "its marriage " + Num(mrin) + " has it neither as husband nor as wife");
      break;
    }
    written.Insert(mrin);
    w_.Pointer(1, "FAMS", "F" + Num(mrin));
    mrin = DecodeI32(m.data(), husband ? marr::kHusNextMar : marr::kWifeNextMar);
  }
  while (spouse_at_ < spouses_.size() && spouses_[spouse_at_].first < rin) ++spouse_at_;
  for (size_t k = spouse_at_; k < spouses_.size() && spouses_[k].first == rin; ++k) {
    if (written.Insert(spouses_[k].second)) w_.Pointer(1, "FAMS", "F" + Num(spouses_[k].second));
  }
}

void Exporter::Individual(int32_t rin, const IndividImage& r) {
  const uint8_t* p = r.data();
  const std::string place = "individual " + Num(rin);
  w_.Text(0, "INDI", "", "I" + Num(rin));
  ++counts_.people;
  Names(rin, DecodeI32(p, individ::kStartnames));
  const uint8_t sex = p[individ::kSex];
  w_.Value(1, "SEX", sex == 'M' ? "M" : sex == 'F' ? "F" : "U");
  Event(1, "BIRT", p + individ::kBirth, place);
  Event(1, "CHR", p + individ::kChristening, place);
  Event(1, "DEAT", p + individ::kDeath, place);
  Event(1, "BURI", p + individ::kBurial, place);
  UserEvents(1, DecodeI32(p, individ::kUDEvent), false, place);
  Ordinance(1, "BAPL", p + individ::kBaptism, place);
  Ordinance(1, "ENDL", p + individ::kEndow, place);
  // Families as a child: the family link, then each next set of parents;
  // then the links of families' child chains that the person's own chain
  // does not hold.
  // Individuals come in RIN order: the links held for this one follow
  // those of the ones before.
  const auto rin_at = [this](size_t k) { return family_children_[children_by_rin_[k]].rin; };
  while (child_at_ < children_by_rin_.size() && rin_at(child_at_) < rin) ++child_at_;
  size_t child_end = child_at_;
  while (child_end < children_by_rin_.size() && rin_at(child_end) == rin) ++child_end;
  const auto first_held = children_by_rin_.begin() + static_cast<std::ptrdiff_t>(child_at_);
  const auto end_held = children_by_rin_.begin() + static_cast<std::ptrdiff_t>(child_end);
  Met families, links;
  FamLinkImage link{};
  for (int32_t at = DecodeI32(p, individ::kFamLink); at != 0 && links.Room();) {
    if (!links.Insert(at)) {
      LeftOut(place, "its family links come back to " + Num(at));
      break;
    }
    if (!Read(link, at, kFamLinkTable) || AllZero(link.data(), link.size())) {
      LeftOut(place, "its family link " + Num(at) + " cannot be read");
      break;
    }
    const int32_t mrin = DecodeI32(link.data(), famlink::kMarriage);
    if (!families_.Has(mrin)) {
      LeftOut(place, "family link " + Num(at) + " leads to marriage " + Num(mrin) +
                         ", which is not exported");
    } else if (families.Insert(mrin)) {
      ChildOf(mrin, link, place);
      const bool held = std::any_of(first_held, end_held,
                                    [&](uint32_t i) { return family_children_[i].mrin == mrin; });
      if (!held) extra_children_.push_back({rin, mrin, at});
    }
    at = DecodeI32(link.data(), famlink::kNextParents);
  }
  for (auto i = first_held; i != end_held; ++i) {
    const ChildLink& c = family_children_[*i];
    if (!families.Insert(c.mrin)) continue;
    Read(link, c.link, kFamLinkTable);  // read whole before; all zero should it fail now
    ChildOf(c.mrin, link, place);
  }
  SpouseLinks(rin, DecodeI32(p, individ::kMarriage), place);
  NoteLink(1, DecodeI32(p, individ::kNote), place);
  Citations(1, DecodeI32(p, individ::kCit), place);
  MediaLinks(1, DecodeI32(p, individ::kMedia), place);
  Change(p + individ::kModify);
}

void Exporter::Family(int32_t mrin, const MarrImage& r) {
  const uint8_t* m = r.data();
  const std::string place = "marriage " + Num(mrin);
  w_.Text(0, "FAM", "", "F" + Num(mrin));
  ++counts_.families;
  for (const auto& [tag, at] :
       {std::pair{"HUSB", marr::kHusband}, std::pair{"WIFE", marr::kWife}}) {
    const int32_t rin = DecodeI32(m, at);
    if (people_.Has(rin)) w_.Pointer(1, tag, "I" + Num(rin));
    else if (rin != 0)
      LeftOut(place, std::string(tag == std::string("HUSB") ? "husband " : "wife ") + Absent(rin));
  }
  // The children of the marriage's own chain in its order, then those whose
  // own family links alone lead here.
  Met written;
  const auto by_mrin = [](const ChildLink& a, const ChildLink& b) { return a.mrin < b.mrin; };
  const ChildLink key{0, mrin, 0};
  const auto own = std::equal_range(family_children_.begin(), family_children_.end(), key, by_mrin);
  for (auto c = own.first; c != own.second; ++c) {
    if (!people_.Has(c->rin)) {
      LeftOut(place, "child " + Absent(c->rin) + " (family link " + Num(c->link) + ")");
    } else if (written.Insert(c->rin)) {
      w_.Pointer(1, "CHIL", "I" + Num(c->rin));
    }
  }
  const auto extra = std::equal_range(extra_children_.begin(), extra_children_.end(), key, by_mrin);
  for (auto c = extra.first; c != extra.second; ++c) {
    if (written.Insert(c->rin)) w_.Pointer(1, "CHIL", "I" + Num(c->rin));
  }
  Event(1, "MARR", m + marr::kRevent, place, true);
  UserEvents(1, DecodeI32(m, marr::kUdEvent), true, place);
  Ordinance(1, "SLGS", m + marr::kOevent, place);
  NoteLink(1, DecodeI32(m, marr::kNote), place);
  Citations(1, DecodeI32(m, marr::kCit), place);
}

std::string Exporter::NoteText(int32_t first, const std::string& place) {
  std::string bytes;
  Met met;
  for (int32_t at = first; at != 0 && met.Room();) {
    if (!met.Insert(at)) {
      LeftOut(place, "note chain " + Num(first) + " comes back to block " + Num(at) +
                         "; the text ends there");
      break;
    }
    NoteImage block{};
    if (!Read(block, at, kNoteTable)) {
      LeftOut(place, "block " + Num(at) + " of note chain " + Num(first) +
                         " cannot be read; the text ends there");
      break;
    }
    const uint8_t* text = block.data() + note::kText;
    bytes.append(reinterpret_cast<const char*>(text), TextLength(text, note::kTextSize));
    at = DecodeI32(block.data(), note::kNextBlock);
  }
  return Cp1252ToUtf8(bytes);
}

void Exporter::Notes() {
  for (int32_t n = 1; n <= notes_.Size(); ++n) {
    if (!notes_.Has(n)) continue;
    w_.Text(0, "NOTE", NoteText(n, "note " + Num(n)), "N" + Num(n));
    ++counts_.notes;
  }
}

void Exporter::Sources() {
  for (int32_t s : sources_) {
    w_.Text(0, "SOUR", "", "S" + Num(s));
    w_.Value(1, "TITL", s == 0 ? std::string("Source not recorded") : "Source " + Num(s));
    ++counts_.sources;
  }
}

void Exporter::Media() {
  for (int32_t n = 1; n <= media_.Size(); ++n) {
    MediaImage m{};
    if (!media_.Has(n) || !Read(m, n, kMediaTable)) continue;
    const std::string place = "multimedia " + Num(n);
    w_.Text(0, "OBJE", "", "M" + Num(n));
    // Texts that had to be cut, whole in notes after the files.
    std::vector<std::string> whole;
    const auto file = [&](const std::string& path) {
      if (!w_.Line(1, "FILE", path)) whole.push_back("File as stored: " + path);
      w_.Value(2, "FORM", Format(OneLine(path)));
    };
    file(NameText(DecodeI32(m.data(), media::kPath)).value_or(std::string()));
    const int32_t caption = DecodeI32(m.data(), media::kCaption);
    if (caption != 0) {
      const std::string title = NoteText(caption, place);
      if (!w_.Line(2, "TITL", title)) whole.push_back("Caption as stored: " + title);
    }
    // The sound that goes with the picture: a second file of the record.
    const int32_t audio = DecodeI32(m.data(), media::kAudio);
    if (audio != 0) {
      const std::optional<std::string> path = NameText(audio);
      if (!path) LeftOut(place, "its audio path " + Num(audio) + " cannot be read");
      else if (!OneLine(*path).empty()) file(*path);
    }
    for (const std::string& text : whole) w_.Text(1, "NOTE", text);
    NoteLink(1, DecodeI32(m.data(), media::kDesc), place);
    ++counts_.media;
  }
}

Outcome Exporter::Run() {
  bound_ = std::max(0, db_.HeaderI32(kHdrIndividBound));
  table_ = Readable(kIndividTable);
  const int32_t table = table_;
  const int32_t people = std::min(bound_, table);
  const int32_t marriages = Readable(kMarrTable);
  people_ = Bits(people);
  families_ = Bits(marriages);
  notes_ = Bits(Readable(kNoteTable));
  media_ = Bits(Readable(kMediaTable));
  total_ = int64_t{table} + 2 * int64_t{marriages};
  status_day_ = Day(UtcOf(options_.now));
  if (people < bound_) {
    LeftOut("individuals " + Num(int64_t{people} + 1) + " to " + Num(bound_),
            "the individual bound lies beyond the individual table");
  }
  if (!Progress()) return Stopped();
  // Which marriages the file will hold, for the individuals' FAMS and FAMC,
  // and their links to spouses and children. The individuals are marked as
  // they are written, before any FAM.
  MarrImage marriage{};
  for (int32_t mrin = 1; mrin <= marriages; ++mrin) {
    if (!Step()) return Stopped();
    if (!Read(marriage, mrin, kMarrTable)) {
      if (db_.LocateRecord(mrin, kMarrTable.table, kMarrTable.size, kMarrTable.per_page) != 0) {
        LeftOut("marriage " + Num(mrin), "the record cannot be read");
      }
      continue;
    }
    if (AllZero(marriage.data(), marriage.size())) continue;
    families_.Set(mrin);
    Links(mrin, marriage);
  }
  std::sort(spouses_.begin(), spouses_.end());
  children_by_rin_.resize(family_children_.size());
  for (uint32_t i = 0; i < children_by_rin_.size(); ++i) children_by_rin_[i] = i;
  std::stable_sort(
      children_by_rin_.begin(), children_by_rin_.end(),
      [this](uint32_t a, uint32_t b) { return family_children_[a].rin < family_children_[b].rin; });
  if (!Progress()) return Stopped();
  Header();
  IndividImage person{};
  for (int32_t rin = 1; rin <= people; ++rin) {
    if (!Step()) return Stopped();
    if (!Read(person, rin, kIndividTable)) {
      if (!AllZero(person.data(), person.size()) ||
          db_.LocateRecord(rin, kIndividTable.table, kIndividTable.size, kIndividTable.per_page) !=
              0) {
        LeftOut("individual " + Num(rin), "the record cannot be read");
      }
      continue;
    }
    if (AllZero(person.data(), person.size())) continue;
    people_.Set(rin);
    Individual(rin, person);
  }
  // Individuals the table holds beyond the header's bound are not exported.
  int64_t beyond = 0;
  for (int32_t rin = people + 1; rin <= table; ++rin) {
    if (!Step()) return Stopped();
    if (Read(person, rin, kIndividTable) && !AllZero(person.data(), person.size())) ++beyond;
  }
  if (beyond > 0) {
    LeftOut("individuals " + Num(int64_t{people} + 1) + " to " + Num(table),
            Num(beyond) + (beyond == 1 ? " record lies" : " records lie") +
                " beyond the individual bound of the header (" + Num(bound_) + ") and " +
                (beyond == 1 ? "is" : "are") + " not exported");
  }
  std::stable_sort(extra_children_.begin(), extra_children_.end(),
                   [](const ChildLink& a, const ChildLink& b) { return a.mrin < b.mrin; });
  for (int32_t mrin = 1; mrin <= marriages; ++mrin) {
    if (!Step()) return Stopped();
    if (families_.Has(mrin) && Read(marriage, mrin, kMarrTable)) Family(mrin, marriage);
  }
  if (!Progress()) return Stopped();
  Media();  // before the notes: its descriptions are notes
  Notes();
  Sources();
  w_.Value(0, "TRLR", "");
  if (!w_.Good()) return Outcome::kWriteFailed;
  return counts_.left_out == 0 ? Outcome::kComplete : Outcome::kLeftOut;
}

}  // namespace

Outcome Export(CTEVDatabase& db, std::ostream& out, const Options& options, Counts& counts) {
  counts = Counts{};
  // Records are read table by table, a few hundred bytes at a time, and the
  // name records and places they lead to lie all over the file: each page
  // of the file is read once, whole.
  std::optional<ReadCacheScope> cache;
  if (options.read_cache) cache.emplace(db);
  return Exporter(db, out, options, counts).Run();
}

}  // namespace kinscope::gedcom
