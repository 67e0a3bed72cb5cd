// SPDX-License-Identifier: GPL-3.0-or-later
// The line rules of a GEDCOM file, as the tests check them, and the texts
// of its lines put back together.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testing_gedcom {

// The first rule that `text` breaks, or empty when it keeps them all: every
// line "level [@xref@] TAG [value]" of at most 255 bytes with its line end,
// levels going down at most one at a time from 0, no control character but
// tab, every "@" of a value doubled unless the value is one pointer or a
// date (whose calendar escape BrokenValueRule checks); "0 HEAD" first and
// "0 TRLR" last. An empty text keeps the rules (nothing was written).
inline std::string BrokenLineRule(const std::string& text) {
  if (text.empty()) return {};
  std::istringstream in(text);
  std::string line, last;
  int previous = -1;
  for (size_t n = 1; std::getline(in, line); ++n) {
    const std::string at = "line " + std::to_string(n) + ": ";
    if (line.size() + 1 > 255) return at + "longer than 255 bytes with its line end";
    for (char c : line) {
      const auto u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7F) return at + "a control character";
    }
    size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i > 2 || i >= line.size() || line[i] != ' ') return at + "no level";
    const int level = std::stoi(line.substr(0, i));
    if (level > previous + 1) return at + "the level goes up by more than one";
    previous = level;
    ++i;
    if (line[i] == '@') {
      const size_t end = line.find("@ ", i + 1);
      if (end == std::string::npos || level != 0) return at + "a bad cross-reference id";
      for (size_t k = i + 1; k < end; ++k) {
        if (!std::isalnum(static_cast<unsigned char>(line[k])))
          return at + "a bad cross-reference id";
      }
      i = end + 2;
    }
    const size_t tag_end = line.find(' ', i);
    const std::string tag =
        line.substr(i, tag_end == std::string::npos ? std::string::npos : tag_end - i);
    if (tag.empty()) return at + "no tag";
    for (char c : tag) {
      if (!std::isupper(static_cast<unsigned char>(c)) &&
          !std::isdigit(static_cast<unsigned char>(c)) && c != '_')
        return at + "a bad tag";
    }
    if (tag_end != std::string::npos) {
      const std::string value = line.substr(tag_end + 1);
      const bool pointer = value.size() > 2 && value.front() == '@' && value.back() == '@' &&
                           value.find('@', 1) == value.size() - 1;
      if (!pointer && tag != "DATE") {
        for (size_t k = 0; k < value.size(); ++k) {
          if (value[k] != '@') continue;
          if (k + 1 >= value.size() || value[k + 1] != '@') return at + "a single @ in a text";
          ++k;
        }
      }
    }
    if (n == 1 && line != "0 HEAD") return at + "not 0 HEAD";
    last = line;
  }
  if (last != "0 TRLR") return "the last line is not 0 TRLR";
  return {};
}

// The lines of `text` from its line `first` (0-based): that line's value
// and the CONC and CONT lines one level below it, put back together with
// every "@@" as one "@".
inline std::string Unfold(const std::string& text, size_t first) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const auto value = [](const std::string& line) {
    size_t at = line.find(' ');
    if (line.compare(at + 1, 1, "@") == 0) at = line.find(' ', at + 1);
    at = line.find(' ', at + 1);
    return at == std::string::npos ? std::string() : line.substr(at + 1);
  };
  std::string out = value(lines.at(first));
  const std::string level = std::to_string(std::stoi(lines[first]) + 1);
  for (size_t i = first + 1; i < lines.size(); ++i) {
    if (lines[i].rfind(level + " CONC", 0) == 0) out += value(lines[i]);
    else if (lines[i].rfind(level + " CONT", 0) == 0) out += "\n" + value(lines[i]);
    else break;
  }
  std::string plain;
  for (size_t i = 0; i < out.size(); ++i) {
    plain.push_back(out[i]);
    if (out[i] == '@' && i + 1 < out.size() && out[i + 1] == '@') ++i;
  }
  return plain;
}

// ---- Values and links, as GEDCOM 5.5.1 writes them ---------------------------

namespace values {

inline std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

inline bool Digits(const std::string& s, size_t min, size_t max) {
  return s.size() >= min && s.size() <= max &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// DATE: [@#DGREGORIAN@ | @#DJULIAN@] [[DAY] MONTH] YEAR, from words[at] on,
// as the export writes it (no dual years, no B.C.): a Julian year of three
// or four digits, a day that its month holds. Moves `at` past the date.
inline bool Date(const std::vector<std::string>& w, size_t& at) {
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const bool julian = at < w.size() && w[at] == "@#DJULIAN@";
  if (at < w.size() && (julian || w[at] == "@#DGREGORIAN@")) ++at;
  const auto month_of = [&](size_t i) {
    for (int m = 0; m < 12; ++m)
      if (i < w.size() && w[i] == kMonths[m]) return m + 1;
    return 0;
  };
  int day = 0, month = 0;
  if (at + 2 < w.size() && Digits(w[at], 1, 2) && month_of(at + 1) != 0) {
    day = std::stoi(w[at]);
    month = month_of(at + 1);
    at += 2;
  } else if (month_of(at) != 0) {
    month = month_of(at++);
  }
  if (at >= w.size()) return false;
  const std::string& year = w[at++];
  if (!Digits(year, julian ? 3 : 1, 4) || year[0] == '0') return false;
  const int y = std::stoi(year);
  const bool leap = julian ? y % 4 == 0 : (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0));
  const int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return day == 0 || (day >= 1 && day <= days[month - 1]);
}

// DATE_VALUE as the export writes it: a date, a range (BEF, AFT, BET ...
// AND ...), an approximation (ABT, CAL, EST) or a date phrase in
// parentheses. `exact`: DAY MONTH YEAR alone.
inline bool DateValue(const std::string& value, bool exact) {
  const std::vector<std::string> w = Words(value);
  if (w.empty()) return false;
  size_t at = 0;
  if (exact) return w.size() == 3 && w[0].find('@') == std::string::npos && Date(w, at) && at == 3;
  if (value.front() == '(') return value.size() > 2 && value.back() == ')';
  const std::string& head = w[0];
  const bool range = head == "BET";
  if (range || head == "BEF" || head == "AFT" || head == "ABT" || head == "CAL" || head == "EST")
    at = 1;
  if (!Date(w, at)) return false;
  if (range && (at >= w.size() || w[at++] != "AND" || !Date(w, at))) return false;
  return at == w.size();
}

// AGE_AT_EVENT: [< | >] then Ny [Nm] [Nd], Nm [Nd], Nd, CHILD, INFANT or
// STILLBORN; at most 12 characters.
inline bool Age(const std::string& value) {
  if (value.empty() || value.size() > 12) return false;
  std::string v = value;
  if (v[0] == '<' || v[0] == '>') v.erase(0, v.size() > 1 && v[1] == ' ' ? 2 : 1);
  if (v == "CHILD" || v == "INFANT" || v == "STILLBORN") return true;
  const std::vector<std::string> w = Words(v);
  const std::string units = "ymd";
  size_t next = 0;  // the first unit still allowed
  for (const std::string& part : w) {
    const size_t unit = part.empty() ? std::string::npos : units.find(part.back());
    if (unit == std::string::npos || unit < next || !Digits(part.substr(0, part.size() - 1), 1, 3))
      return false;
    next = unit + 1;
  }
  return !w.empty();
}

// NAME_PERSONAL: not blank; no slash, or two around a surname.
inline bool Name(const std::string& value) {
  if (value.find_first_not_of(" \t") == std::string::npos) return false;
  const auto slashes = std::count(value.begin(), value.end(), '/');
  if (slashes == 0) return true;
  const size_t first = value.find('/'), last = value.rfind('/');
  return slashes == 2 &&
         value.substr(first + 1, last - first - 1).find_first_not_of(" \t") != std::string::npos;
}

// Whether 5.5.1 requires a value of `tag` under `parent`: the attributes of
// an individual (all but RESI), and names, places, types, files, formats
// and pages wherever they stand.
inline bool Required(const std::string& tag, const std::string& parent) {
  static const std::set<std::string> kAttributes = {"CAST", "DSCR", "EDUC", "IDNO", "NATI",
                                                    "NCHI", "NMR",  "OCCU", "PROP", "RELI",
                                                    "SSN",  "TITL", "FACT"};
  static const std::set<std::string> kAnywhere = {"NAME", "PLAC", "TYPE", "FILE",
                                                  "FORM", "PAGE", "SEX"};
  return kAnywhere.count(tag) != 0 || (parent == "INDI" && kAttributes.count(tag) != 0);
}

// The values 5.5.1 allows under a tag, by the tag above it; none: any.
inline const std::set<std::string>* Allowed(const std::string& tag, const std::string& parent) {
  static const std::map<std::pair<std::string, std::string>, std::set<std::string>> kAllowed = {
      {{"SEX", "INDI"}, {"M", "F", "U"}},
      {{"PEDI", "FAMC"}, {"adopted", "birth", "foster", "sealing"}},
      {{"STAT", "FAMC"}, {"challenged", "disproven", "proven"}},
      {{"STAT", "BAPL"},
       {"CHILD", "COMPLETED", "EXCLUDED", "PRE-1970", "STILLBORN", "SUBMITTED", "UNCLEARED"}},
      {{"STAT", "CONL"},
       {"CHILD", "COMPLETED", "EXCLUDED", "PRE-1970", "STILLBORN", "SUBMITTED", "UNCLEARED"}},
      {{"STAT", "ENDL"},
       {"CHILD", "COMPLETED", "EXCLUDED", "INFANT", "PRE-1970", "SUBMITTED", "UNCLEARED"}},
      {{"STAT", "SLGC"},
       {"BIC", "COMPLETED", "EXCLUDED", "DNS", "PRE-1970", "STILLBORN", "SUBMITTED", "UNCLEARED"}},
      {{"STAT", "SLGS"},
       {"CANCELED", "COMPLETED", "DNS", "DNS/CAN", "EXCLUDED", "PRE-1970", "SUBMITTED",
        "UNCLEARED"}},
      {{"FORM", "FILE"}, {"bmp", "gif", "jpg", "ole", "pcx", "tif", "wav"}},
      {{"RESN", ""}, {"confidential", "locked", "privacy"}},
  };
  auto it = kAllowed.find({tag, parent});
  if (it == kAllowed.end()) it = kAllowed.find({tag, ""});
  return it == kAllowed.end() ? nullptr : &it->second;
}

}  // namespace values

// The first value or link of `text` (a whole GEDCOM file) that 5.5.1 does
// not allow, or empty: CONC and CONT only under NOTE, TEXT and a source's
// TITL, AUTH and PUBL; a value wherever 5.5.1 requires one; the syntax of DATE (DAY MONTH YEAR
// alone under STAT, CHAN and HEAD), AGE, NAME, and the values of SEX, PEDI, STAT, FORM and RESN; a
// DATE under every ordinance's STAT; every pointer leading to a record of its kind; and every link
// between a family and a person written both ways (FAMS to HUSB or WIFE, FAMC to CHIL).
inline std::string BrokenValueRule(const std::string& text) {
  struct Line {
    int level;
    std::string xref, tag, value;
    size_t parent;  // index of the line above it; npos at level 0
  };
  std::vector<Line> lines;
  std::vector<size_t> open;  // the last line of each level
  std::istringstream in(text);
  for (std::string raw; std::getline(in, raw);) {
    Line l{std::atoi(raw.c_str()), {}, {}, {}, std::string::npos};
    size_t at = raw.find(' ');
    if (at == std::string::npos) return "line " + std::to_string(lines.size() + 1) + ": no tag";
    ++at;
    if (raw.compare(at, 1, "@") == 0) {
      const size_t end = raw.find("@ ", at + 1);
      if (end == std::string::npos) return "line " + std::to_string(lines.size() + 1) + ": xref";
      l.xref = raw.substr(at, end + 1 - at);
      at = end + 2;
    }
    const size_t space = raw.find(' ', at);
    l.tag = raw.substr(at, space == std::string::npos ? std::string::npos : space - at);
    if (space != std::string::npos) l.value = raw.substr(space + 1);
    if (l.level < 0 || static_cast<size_t>(l.level) > open.size())
      return "line " + std::to_string(lines.size() + 1) + ": level";
    open.resize(static_cast<size_t>(l.level));
    if (l.level > 0) l.parent = open.back();
    open.push_back(lines.size());
    lines.push_back(l);
  }
  std::map<std::string, std::string> kind;  // xref -> record tag
  for (const Line& l : lines)
    if (l.level == 0 && !l.xref.empty()) kind[l.xref] = l.tag;
  static const std::map<std::string, std::string> kTarget = {
      {"FAMC", "FAM"},  {"FAMS", "FAM"},  {"HUSB", "INDI"}, {"WIFE", "INDI"}, {"CHIL", "INDI"},
      {"NOTE", "NOTE"}, {"SOUR", "SOUR"}, {"OBJE", "OBJE"}, {"SUBM", "SUBM"}};
  std::set<std::pair<std::string, std::string>> person_links, family_links;  // (INDI, FAM)
  std::string record;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    const std::string at = "line " + std::to_string(i + 1) + " (" + l.tag + " " + l.value + "): ";
    if (l.level == 0) record = l.xref;
    const Line* up = l.parent == std::string::npos ? nullptr : &lines[l.parent];
    const std::string parent = up ? up->tag : std::string();
    if (l.tag == "CONC" || l.tag == "CONT") {
      const bool source_text = (parent == "TITL" || parent == "AUTH" || parent == "PUBL") &&
                               up->level == 1 && lines[up->parent].tag == "SOUR";
      if (parent != "NOTE" && parent != "TEXT" && !source_text) return at + "CONC or CONT here";
    }
    const bool pointer = l.value.size() > 2 && l.value.front() == '@' && l.value.back() == '@' &&
                         l.value.find('@', 1) == l.value.size() - 1;
    if (pointer && kTarget.count(l.tag)) {
      const auto target = kind.find(l.value);
      if (target == kind.end() || target->second != kTarget.at(l.tag))
        return at + "a pointer to no " + kTarget.at(l.tag);
      if (l.level == 1 && (l.tag == "FAMS" || l.tag == "FAMC"))
        person_links.insert({record, l.tag + l.value});
      if (l.level == 1 && (l.tag == "HUSB" || l.tag == "WIFE"))
        family_links.insert({l.value, "FAMS" + record});
      if (l.level == 1 && l.tag == "CHIL") family_links.insert({l.value, "FAMC" + record});
    }
    if (l.value.empty() && values::Required(l.tag, parent)) return at + "no value";
    if (l.tag == "DATE" &&
        !values::DateValue(l.value, parent == "STAT" || parent == "CHAN" || parent == "HEAD"))
      return at + "not a date";
    if (l.tag == "AGE" && !values::Age(l.value)) return at + "not an age";
    if (l.tag == "NAME" && parent == "INDI" && !values::Name(l.value)) return at + "not a name";
    const std::set<std::string>* allowed = values::Allowed(l.tag, parent);
    if (allowed != nullptr && allowed->count(l.value) == 0) return at + "not a value of " + parent;
    const bool ordinance_status = l.tag == "STAT" && parent != "FAMC";
    if (ordinance_status &&
        (i + 1 >= lines.size() || lines[i + 1].parent != i || lines[i + 1].tag != "DATE"))
      return at + "a status without its DATE";
  }
  for (const auto& link : person_links)
    if (family_links.count(link) == 0) return link.first + " " + link.second + ": no link back";
  for (const auto& link : family_links)
    if (person_links.count(link) == 0) return link.second + " " + link.first + ": no link back";
  return {};
}

}  // namespace testing_gedcom
