// SPDX-License-Identifier: GPL-3.0-or-later
// The export itself: individuals, then families, then the multimedia, note
// and source records that they point to.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Coding.h"
#include "Cp1252.h"
#include "Gedcom.h"
#include "NameKeys.h"
#include "RecordLayouts.h"
#include "TEVDatabase.h"

namespace kinscope::gedcom {
namespace {

// Chains longer than this are cut: no owner has that many names, notes or
// events, and a damaged link must not keep the export walking.
constexpr int kChainLimit = 100000;
// Records between two calls of the progress function.
constexpr int64_t kProgressStep = 512;

bool AllZero(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

std::string Num(int64_t n) { return std::to_string(n); }

std::string Where(const std::string& place, const char* part) {
  return part == nullptr ? place : place + " " + part;
}

// A calendar day as GEDCOM writes it: 8 DEC 2026 (no locale involved).
std::string Day(const std::tm& t) {
  static const char* const kMonthTags[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                             "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  return Num(t.tm_mday) + " " + kMonthTags[std::clamp(t.tm_mon, 0, 11)] + " " +
         Num(t.tm_year + 1900);
}

// Bytes at `text` up to the first zero byte, at most `max`.
size_t TextLength(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  return end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
}

// The GEDCOM tags of individual events and attributes, and of family events.
constexpr std::string_view kIndividualTags[] = {
    "ADOP", "BAPM", "BARM", "BASM", "BLES", "BURI", "CAST", "CENS", "CHR",  "CHRA", "CONF", "CREM",
    "DEAT", "DSCR", "EDUC", "EMIG", "FACT", "FCOM", "GRAD", "IDNO", "IMMI", "NATI", "NATU", "NCHI",
    "NMR",  "OCCU", "ORDN", "PROB", "PROP", "RELI", "RESI", "RETI", "SSN",  "TITL", "WILL", "BIRT"};
constexpr std::string_view kFamilyTags[] = {"ANUL", "CENS", "DIV",  "DIVF", "ENGA", "MARB",
                                            "MARC", "MARL", "MARR", "MARS", "RESI"};

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
    if (std::find(few_.begin(), few_.begin() + static_cast<std::ptrdiff_t>(count_), n) !=
        few_.begin() + static_cast<std::ptrdiff_t>(count_)) {
      return false;
    }
    if (count_ < few_.size()) {
      few_[count_++] = n;
      return true;
    }
    return rest_.insert(n).second;
  }
  // Whether the walk may go on.
  bool Room() const { return static_cast<int>(count_ + rest_.size()) < kChainLimit; }

 private:
  std::array<int32_t, 16> few_{};
  size_t count_ = 0;
  std::set<int32_t> rest_;
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
  bool Step() {
    ++done_;
    return done_ % kProgressStep != 0 || Progress();
  }
  bool Progress() { return !options_.progress || options_.progress(done_, total_); }
  template <typename Image>
  bool Read(Image& image, int32_t n, const TableSpec& t) {
    return db_.ReadRecord(image.data(), t.size, n, t.table, t.per_page) == 1;
  }

  void Header();
  void Individual(int32_t rin, const IndividImage& r);
  void Family(int32_t mrin, const MarrImage& r);
  void Names(int32_t rin, int32_t first);
  // `place` and `part` name the owner in reports ("individual 5", "BIRT");
  // they are joined only when something is reported.
  void Event(int level, const char* tag, const uint8_t* event, const std::string& place);
  void EventBody(int level, const uint8_t* event, const std::string& place, const char* part);
  void Ordinance(int level, const char* tag, const uint8_t* ordinance, const std::string& place);
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
  std::set<int32_t> sources_;
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

void Exporter::Header() {
  w_.Text(0, "HEAD", "");
  w_.Text(1, "SOUR", "KINSCOPE");
  w_.Text(2, "VERS", options_.version);
  w_.Text(2, "NAME", "Kinscope");
  if (const std::tm* t = std::gmtime(&options_.now)) w_.Text(1, "DATE", Day(*t));
  w_.Pointer(1, "SUBM", "SUBM");
  if (!options_.file_name.empty()) w_.Text(1, "FILE", options_.file_name);
  w_.Text(1, "GEDC", "");
  w_.Text(2, "VERS", "5.5.1");
  w_.Text(2, "FORM", "LINEAGE-LINKED");
  w_.Text(1, "CHAR", "UTF-8");
  w_.Text(0, "SUBM", "", "SUBM");
  w_.Text(1, "NAME", "Kinscope");
}

void Exporter::Names(int32_t rin, int32_t first) {
  Met met;
  for (int32_t at = first; at > 0 && met.Room();) {
    const std::string place = "individual " + Num(rin) + ", name at " + Num(at);
    if (!met.Insert(at)) return LeftOut(place, "the name chain comes back to this name");
    INameRecImage name{};
    if (db_.LoadINameRec(at, name) == 0) return LeftOut(place, "the name record cannot be read");
    const uint8_t* text = name.data() + iname::kText;
    const size_t length = TextLength(text, kINameTextMax);
    // Split on the bytes; 8-bit characters widened without sign, so they
    // come back as the same bytes.
    std::u16string wide(text, text + length);
    WideText given, surname, suffix;
    SplitName(wide, given, kNameKeyCapacity, surname, kNameKeyCapacity, suffix, kNameKeyCapacity);
    const auto utf8 = [](const WideText& part) {
      std::string bytes;
      for (char16_t c : part) bytes.push_back(static_cast<char>(c & 0xFF));
      return Cp1252ToUtf8(bytes);
    };
    const std::string g = utf8(given), s = utf8(surname), x = utf8(suffix);
    const bool slash = std::memchr(text, '/', length) != nullptr;
    std::string value = slash ? g + (g.empty() ? "/" : " /") + s + "/" + (x.empty() ? "" : " " + x)
                              : Cp1252ToUtf8(text, length);
    w_.Text(1, "NAME", value);
    if (!g.empty()) w_.Text(2, "GIVN", g);
    if (!s.empty()) w_.Text(2, "SURN", s);
    if (!x.empty()) w_.Text(2, "NSFX", x);
    at = DecodeI32(name.data(), iname::kNext);
  }
}

void Exporter::DateLine(int level, const uint8_t* stored, const std::string& place,
                        const char* part) {
  const Date d = ConvertDate(stored, false);
  if (d.damaged) {
    ++counts_.phrases;
    if (options_.report)
      options_.report(Where(place, part), "unknown date type, written as a date phrase");
  }
  if (!d.value.empty()) w_.Text(level, "DATE", d.value);
}

void Exporter::EventBody(int level, const uint8_t* e, const std::string& place, const char* part) {
  DateLine(level, e + event::kDate, place, part);
  const int32_t where = DecodeI32(e, event::kPlace);
  if (where > 0) {
    const std::string text = db_.NameRecText(where);
    if (!text.empty()) w_.Text(level, "PLAC", Cp1252ToUtf8(text));
  }
  const int32_t age = DecodeI32(e, event::kAgeAt);
  if (age > 0) w_.Text(level, "AGE", Num(age) + "y");
  if (age < 0) w_.Text(level, "NOTE", "Age at the event: " + Num(age));
  Citations(level, DecodeI32(e, event::kCit), place, part);
}

void Exporter::Event(int level, const char* tag, const uint8_t* e, const std::string& place) {
  if (AllZero(e, event::kSize)) return;
  w_.Text(level, tag, "");
  EventBody(level + 1, e, place, tag);
}

void Exporter::Ordinance(int level, const char* tag, const uint8_t* o, const std::string& place) {
  if (AllZero(o, ordinance::kSize)) return;
  w_.Text(level, tag, "");
  const Date d = ConvertDate(o + ordinance::kDate, true);
  if (d.damaged) {
    ++counts_.phrases;
    if (options_.report)
      options_.report(Where(place, tag), "unknown date type, written as a date phrase");
  }
  if (!d.value.empty()) w_.Text(level + 1, "DATE", d.value);
  const int32_t where = DecodeI32(o, ordinance::kPlace);
  if (where > 0) {
    const std::string text = db_.NameRecText(where);
    if (!text.empty()) w_.Text(level + 1, "PLAC", Cp1252ToUtf8(text));
  }
  if (!d.status.empty()) w_.Text(level + 1, "STAT", d.status);
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
    if (db_.NameRecText(DecodeI32(m.data(), media::kPath)).empty()) {
      LeftOut("multimedia " + Num(at), "its file path cannot be read");
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
    if (!page.empty()) w_.Text(level + 1, "PAGE", page);
    const Date d = ConvertDate(c.data() + cit::kRecordedDate, false);
    if (d.damaged) {
      ++counts_.phrases;
      if (options_.report) options_.report(here, "unknown date type, written as a date phrase");
    }
    const int32_t actual = DecodeI32(c.data(), cit::kActualText);
    const std::string text = actual != 0 ? NoteText(actual, here) : std::string();
    if (!d.value.empty() || !text.empty()) {
      w_.Text(level + 1, "DATA", "");
      if (!d.value.empty()) w_.Text(level + 2, "DATE", d.value);
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
      title = Cp1252ToUtf8(db_.NameRecText(DecodeI32(type.data(), uetype::kTitle)));
      if (title.empty())
        title = Cp1252ToUtf8(type.data() + uetype::kShortTitle, uetype::kShortTitleSize);
    }
    if (title.empty()) title = "Event type " + Num(type_number);
    const auto known = [&tag](const auto& tags) {
      return std::find(std::begin(tags), std::end(tags), tag) != std::end(tags);
    };
    const bool standard = family ? known(kFamilyTags) : known(kIndividualTags);
    w_.Text(level, standard ? tag.c_str() : "EVEN", "");
    if (!standard) w_.Text(level + 1, "TYPE", title);
    EventBody(level + 1, e.data() + userev::kEvent, "user-defined event " + Num(at), nullptr);
    at = DecodeI32(e.data(), userev::kNext);
  }
}

void Exporter::Change(const uint8_t* stamp) {
  const auto seconds = static_cast<std::time_t>(DecodeI32(stamp, 0));
  if (seconds == 0) return;
  const std::tm* t = std::gmtime(&seconds);
  if (t == nullptr) return;
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", t->tm_hour, t->tm_min, t->tm_sec);
  w_.Text(1, "CHAN", "");
  w_.Text(2, "DATE", Day(*t));
  w_.Text(3, "TIME", time);
}

void Exporter::Individual(int32_t rin, const IndividImage& r) {
  const uint8_t* p = r.data();
  const std::string place = "individual " + Num(rin);
  w_.Text(0, "INDI", "", "I" + Num(rin));
  ++counts_.people;
  Names(rin, DecodeI32(p, individ::kStartnames));
  const uint8_t sex = p[individ::kSex];
  w_.Text(1, "SEX", sex == 'M' ? "M" : sex == 'F' ? "F" : "U");
  Event(1, "BIRT", p + individ::kBirth, place);
  Event(1, "CHR", p + individ::kChristening, place);
  Event(1, "DEAT", p + individ::kDeath, place);
  Event(1, "BURI", p + individ::kBurial, place);
  UserEvents(1, DecodeI32(p, individ::kUDEvent), false, place);
  Ordinance(1, "BAPL", p + individ::kBaptism, place);
  Ordinance(1, "ENDL", p + individ::kEndow, place);
  // Families as a child: the family link, then each next set of parents.
  Met met;
  for (int32_t at = DecodeI32(p, individ::kFamLink); at != 0 && met.Room();) {
    if (!met.Insert(at)) {
      LeftOut(place, "its family links come back to " + Num(at));
      break;
    }
    FamLinkImage link{};
    if (!Read(link, at, kFamLinkTable) || AllZero(link.data(), link.size())) {
      LeftOut(place, "its family link " + Num(at) + " cannot be read");
      break;
    }
    const int32_t mrin = DecodeI32(link.data(), famlink::kMarriage);
    if (families_.Has(mrin)) {
      w_.Pointer(1, "FAMC", "F" + Num(mrin));
      const uint8_t type = link[famlink::kLinkType];
      if (type == 'b') w_.Text(2, "PEDI", "birth");
      else if (type == 'a') w_.Text(2, "PEDI", "adopted");
      else
        w_.Text(2, "NOTE",
                "Family link type " + (type == 0 ? std::string("0") : Cp1252ToUtf8(&type, 1)));
    } else {
      LeftOut(place, "family link " + Num(at) + " leads to marriage " + Num(mrin) +
                         ", which is not exported");
    }
    at = DecodeI32(link.data(), famlink::kNextParents);
  }
  // Families as a spouse, along the next-marriage links.
  Met spouse;
  for (int32_t mrin = DecodeI32(p, individ::kMarriage); mrin != 0 && spouse.Room();) {
    if (!spouse.Insert(mrin)) {
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
    w_.Pointer(1, "FAMS", "F" + Num(mrin));
    mrin = DecodeI32(m.data(), husband ? marr::kHusNextMar : marr::kWifeNextMar);
  }
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
      LeftOut(place, std::string(tag == std::string("HUSB") ? "husband " : "wife ") + Num(rin) +
                         " is not exported");
  }
  Met met;
  for (int32_t at = DecodeI32(m, marr::kChild); at != 0 && met.Room();) {
    if (!met.Insert(at)) {
      LeftOut(place, "its children's links come back to " + Num(at));
      break;
    }
    FamLinkImage link{};
    if (!Read(link, at, kFamLinkTable) || AllZero(link.data(), link.size())) {
      LeftOut(place, "its family link " + Num(at) + " cannot be read");
      break;
    }
    const int32_t rin = DecodeI32(link.data(), famlink::kIndi);
    if (people_.Has(rin)) w_.Pointer(1, "CHIL", "I" + Num(rin));
    else LeftOut(place, "child " + Num(rin) + " of family link " + Num(at) + " is not exported");
    at = DecodeI32(link.data(), famlink::kNextYoungerSibling);
  }
  Event(1, "MARR", m + marr::kRevent, place);
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
    w_.Text(1, "TITL", s == 0 ? std::string("Source not recorded") : "Source " + Num(s));
    ++counts_.sources;
  }
}

void Exporter::Media() {
  for (int32_t n = 1; n <= media_.Size(); ++n) {
    MediaImage m{};
    if (!media_.Has(n) || !Read(m, n, kMediaTable)) continue;
    const std::string path = Cp1252ToUtf8(db_.NameRecText(DecodeI32(m.data(), media::kPath)));
    w_.Text(0, "OBJE", "", "M" + Num(n));
    w_.Text(1, "FILE", path);
    const size_t dot = path.find_last_of('.');
    std::string form =
        dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos
            ? std::string()
            : path.substr(dot + 1);
    std::transform(form.begin(), form.end(), form.begin(), [](char c) {
      return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    w_.Text(2, "FORM", form.empty() ? "unknown" : form);
    const int32_t caption = DecodeI32(m.data(), media::kCaption);
    if (caption != 0) {
      const std::string title = NoteText(caption, "multimedia " + Num(n));
      if (!title.empty()) w_.Text(2, "TITL", title);
    }
    NoteLink(1, DecodeI32(m.data(), media::kDesc), "multimedia " + Num(n));
    ++counts_.media;
  }
}

Outcome Exporter::Run() {
  const int32_t bound = std::max(0, db_.HeaderI32(kHdrIndividBound));
  const int32_t people = std::min(bound, Readable(kIndividTable));
  const int32_t marriages = Readable(kMarrTable);
  people_ = Bits(people);
  families_ = Bits(marriages);
  notes_ = Bits(Readable(kNoteTable));
  media_ = Bits(Readable(kMediaTable));
  total_ = int64_t{people} + 2 * int64_t{marriages};
  if (people < bound) {
    LeftOut("individuals " + Num(int64_t{people} + 1) + " to " + Num(bound),
            "the individual bound lies beyond the individual table");
  }
  if (!Progress()) return Outcome::kCancelled;
  // Which marriages the file will hold, for the individuals' FAMS and FAMC.
  // The individuals are marked as they are written, before any FAM.
  MarrImage marriage{};
  for (int32_t mrin = 1; mrin <= marriages; ++mrin) {
    if (!Step()) return Outcome::kCancelled;
    if (!Read(marriage, mrin, kMarrTable)) {
      if (db_.LocateRecord(mrin, kMarrTable.table, kMarrTable.size, kMarrTable.per_page) != 0) {
        LeftOut("marriage " + Num(mrin), "the record cannot be read");
      }
      continue;
    }
    if (!AllZero(marriage.data(), marriage.size())) families_.Set(mrin);
  }
  if (!Progress()) return Outcome::kCancelled;
  Header();
  IndividImage person{};
  for (int32_t rin = 1; rin <= people; ++rin) {
    if (!Step()) return Outcome::kCancelled;
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
  for (int32_t mrin = 1; mrin <= marriages; ++mrin) {
    if (!Step()) return Outcome::kCancelled;
    if (families_.Has(mrin) && Read(marriage, mrin, kMarrTable)) Family(mrin, marriage);
  }
  if (!Progress()) return Outcome::kCancelled;
  Media();  // before the notes: its descriptions are notes
  Notes();
  Sources();
  w_.Text(0, "TRLR", "");
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

namespace kinscope::gedcom {

Outcome ExportFile(CTEVDatabase& db, const std::filesystem::path& path, const Options& options,
                   Counts& counts) {
  namespace fs = std::filesystem;
  fs::path temporary = path;
  temporary += ".part";
  Outcome outcome = Outcome::kWriteFailed;
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) {
      outcome = Export(db, out, options, counts);
      written = static_cast<bool>(out.flush());
    }
  }
  std::error_code error;
  if (written && outcome != Outcome::kCancelled) fs::rename(temporary, path, error);
  if (!written || error || outcome == Outcome::kCancelled) {
    fs::remove(temporary, error);
    return outcome == Outcome::kCancelled ? outcome : Outcome::kWriteFailed;
  }
  return outcome;
}

}  // namespace kinscope::gedcom
