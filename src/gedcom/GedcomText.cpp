// SPDX-License-Identifier: GPL-3.0-or-later
// GEDCOM lines and dates.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Gedcom.h"
#include "RecordLayouts.h"
#include "wtev5date.h"

namespace kinscope::gedcom {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `text` without its control characters (C0 but tab, DEL, C1), a byte that
// is not part of UTF-8 as U+FFFD; with `one_line`, each line break (CR, LF
// or CR LF) as a blank;
// with `double_at`, every "@" doubled. `starts` receives the offset of every
// character, where a line may be cut.
std::string Escape(const std::string& text, std::vector<size_t>& starts, bool one_line,
                   bool double_at) {
  std::string out;
  out.reserve(text.size());
  starts.clear();
  starts.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t n = 1;
    if (c >= 0xF0) n = 4;
    else if (c >= 0xE0) n = 3;
    else if (c >= 0xC0) n = 2;
    bool valid = (c < 0x80 || c >= 0xC2) && c < 0xF5 && i + n <= text.size();
    for (size_t k = 1; valid && k < n; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!valid) {  // not UTF-8: one byte as the replacement character
      starts.push_back(out.size());
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    const bool line_break = c == '\r' || c == '\n';
    const bool control = (c < 0x20 && c != '\t') || c == 0x7F ||
                         (c == 0xC2 && n == 2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);
    if (one_line && line_break) {
      if (c == '\r' || i == 0 || text[i - 1] != '\r') {  // CR LF: one blank
        starts.push_back(out.size());
        out.push_back(' ');
      }
    } else if (!control) {
      starts.push_back(out.size());
      out.append(text, i, n);
      if (c == '@' && double_at) out.push_back('@');
    }
    i += n;
  }
  return out;
}

// The room for a value after "level [@xref@ ]TAG " on a line with its end.
size_t Room(int level, const std::string& xref, const char* tag) {
  const size_t prefix = std::to_string(level).size() + 1 + (xref.empty() ? 0 : xref.size() + 3) +
                        std::strlen(tag) + 1;
  return kMaxLine - 1 > prefix ? kMaxLine - 1 - prefix : 1;
}

const char* const kMonths[13] = {"",    "JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Day numbers below which a part is counted in the Julian calendar: the 1501
// entry of century table A (calendars 0 and 1), the 1601 entry of table B.
constexpr uint32_t kJulianBeforeA = 2269289;
constexpr uint32_t kJulianBeforeB = 2305814;

bool IsJulian(const uint8_t* part) {
  const uint32_t day = part[2] | (uint32_t{part[3]} << 8) | (uint32_t{part[4]} << 16);
  if (day <= 365) return false;
  return day < (part[0] == 2 ? kJulianBeforeB : kJulianBeforeA);
}

// One date part in GEDCOM form; empty when it has no GEDCOM form: a day
// without a month, or a year below 100 (5.5.1 gives a Julian year three or
// four digits, and years before 100 come only from damaged day numbers).
std::string Part(int32_t day, int32_t month, int32_t year, bool julian) {
  if ((day != 0 && month == 0) || year < 100) return {};
  std::string out = julian ? "@#DJULIAN@ " : "";
  if (day != 0) out += std::to_string(day) + " ";
  if (month != 0) out += std::string(kMonths[month]) + " ";
  return out + std::to_string(year);
}

}  // namespace

// Whether `text` is printable ASCII without "@" and without blanks at its
// ends: what most values are, written as they are.
bool Plain(const std::string& text) {
  return !text.empty() && !IsBlank(text.front()) && !IsBlank(text.back()) &&
         std::all_of(text.begin(), text.end(),
                     [](char c) { return c >= 0x20 && c < 0x7F && c != '@'; });
}

std::string OneLine(const std::string& text) {
  if (Plain(text)) return text;
  std::vector<size_t> starts;
  std::string line = Escape(text, starts, true, false);
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

void LineWriter::Put(int level, const std::string& xref, const char* tag,
                     const std::string& value) {
  line_.clear();
  line_ += std::to_string(level);
  line_ += ' ';
  if (!xref.empty()) line_.append("@").append(xref).append("@ ");
  line_ += tag;
  if (!value.empty()) line_.append(" ").append(value);
  line_ += '\n';
  out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
}

void LineWriter::Pointer(int level, const char* tag, const std::string& xref) {
  Put(level, {}, tag, "@" + xref + "@");
}

void LineWriter::Value(int level, const char* tag, const std::string& value) {
  Put(level, {}, tag, value);
}

bool LineWriter::Line(int level, const char* tag, const std::string& text) {
  if (text.size() + 16 < kMaxLine && Plain(text)) {
    Put(level, {}, tag, text);
    return true;
  }
  std::vector<size_t> starts;
  const std::string line = Escape(OneLine(text), starts, true, true);
  if (line.empty()) return true;
  const size_t room = Room(level, {}, tag);
  if (line.size() <= room) {
    Put(level, {}, tag, line);
    return true;
  }
  // After the last character that fits whole ("@@" is one), without the
  // blanks before the cut.
  size_t cut = 0;
  for (size_t start : starts) {
    if (start > room) break;
    cut = start;
  }
  while (cut > 1 && IsBlank(line[cut - 1])) --cut;
  Put(level, {}, tag, line.substr(0, cut));
  return false;
}

void LineWriter::Text(int level, const char* tag, const std::string& text,
                      const std::string& xref) {
  // Most texts are short plain ASCII: written as they are.
  if (text.size() + xref.size() + 16 < kMaxLine &&
      std::all_of(text.begin(), text.end(),
                  [](char c) { return c >= 0x20 && c < 0x7F && c != '@'; })) {
    return Put(level, xref, tag, text);
  }
  std::vector<size_t> starts;
  size_t from = 0;
  for (bool first = true; from <= text.size(); first = false) {
    size_t end = text.find_first_of("\r\n", from);
    if (end == std::string::npos) end = text.size();
    const std::string line = Escape(text.substr(from, end - from), starts, false, true);
    const char* line_tag = first ? tag : "CONT";
    const int line_level = first ? level : level + 1;
    const std::string line_xref = first ? xref : std::string();
    // Cut the line into pieces that fit, each after the first a CONC.
    size_t at = 0;
    size_t unit = 0;  // index into starts of `at`
    for (bool head = true;; head = false) {
      const char* prefix_tag = head ? line_tag : "CONC";
      const int prefix_level = head ? line_level : level + 1;
      const std::string prefix_xref = head ? line_xref : std::string();
      const size_t room = Room(prefix_level, prefix_xref, prefix_tag);
      if (line.size() - at <= room) {
        Put(prefix_level, prefix_xref, prefix_tag, line.substr(at));
        break;
      }
      // The last cut that fits, between two non-blank characters if any.
      size_t best = 0, any = 0;
      for (size_t u = unit + 1; u < starts.size() && starts[u] - at <= room; ++u) {
        any = u;
        if (!IsBlank(line[starts[u] - 1]) && !IsBlank(line[starts[u]])) best = u;
      }
      const size_t cut = best != 0 ? best : (any != 0 ? any : unit + 1);
      Put(prefix_level, prefix_xref, prefix_tag, line.substr(at, starts[cut] - at));
      at = starts[cut];
      unit = cut;
    }
    if (end == text.size()) break;
    from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

Date ConvertDate(const uint8_t* stored, bool ordinance) {
  Date out;
  if (std::all_of(stored, stored + date::kSize, [](uint8_t b) { return b == 0; })) return out;
  const wtev5date d(stored);
  if (!d.IsValid()) {
    out.value = "(Unknown date type)";
    out.damaged = true;
    return out;
  }
  if (d.date_type() < 2 || d.sub_type1() == 2) return out;
  uint8_t modifier = stored[date::kModifier];
  if (ordinance) {
    const char* status = modifier == 9    ? "DNS"
                         : modifier == 14 ? "STILLBORN"
                         : modifier == 16 ? "UNCLEARED"
                                          : nullptr;
    if (status != nullptr) {
      out.status = status;
      modifier = 0;
    }
  }
  const bool in_range =
      d.month1() >= 0 && d.month1() <= 12 && d.day1() <= 31 && d.month2() >= 0 && d.month2() <= 12;
  // Nothing to write: the display text would be empty.
  if (in_range && modifier == 0 && d.day1() == 0 && d.month1() == 0 && d.year1() == 0 &&
      d.year2() == 0) {
    return out;
  }
  const auto phrase = [&out, &d, modifier] {
    // The display text, without a modifier that went into the status.
    std::string text = d.DateText().Text();
    const std::string modifier_text = d.modifier().Text();
    if (modifier == 0 && !modifier_text.empty() &&
        text.compare(0, modifier_text.size(), modifier_text) == 0) {
      text.erase(0, modifier_text.size());
      if (!text.empty() && text[0] == ' ') text.erase(0, 1);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!text.empty()) out.value = "(" + text + ")";
    return out;
  };
  if (!in_range || d.year1() == 0) return phrase();
  static const char* const kModifiers[6] = {"", "ABT ", "AFT ", "BEF ", "EST ", "CAL "};
  if (modifier > 5) return phrase();
  const std::string first =
      Part(d.day1(), d.month1(), d.year1(), IsJulian(stored + date::kFirstPart));
  if (first.empty()) return phrase();
  if (d.year2() == 0) {
    out.value = kModifiers[modifier] + first;
    return out;
  }
  const std::string second =
      Part(d.day2(), d.month2(), d.year2(), IsJulian(stored + date::kSecondPart));
  if (second.empty() || modifier != 0) return phrase();
  out.value = "BET " + first + " AND " + second;
  return out;
}

}  // namespace kinscope::gedcom
