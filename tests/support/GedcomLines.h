// SPDX-License-Identifier: GPL-3.0-or-later
// The line rules of a GEDCOM file, as the tests check them, and the texts
// of its lines put back together.
#pragma once

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace testing_gedcom {

// The first rule that `text` breaks, or empty when it keeps them all: every
// line "level [@xref@] TAG [value]" of at most 255 bytes, levels going down
// at most one at a time from 0, no control character but tab, every "@" of a
// value doubled unless the value is one pointer; "0 HEAD" first and "0 TRLR"
// last. An empty text keeps the rules (nothing was written).
inline std::string BrokenLineRule(const std::string& text) {
  if (text.empty()) return {};
  std::istringstream in(text);
  std::string line, last;
  int previous = -1;
  for (size_t n = 1; std::getline(in, line); ++n) {
    const std::string at = "line " + std::to_string(n) + ": ";
    if (line.size() > 255) return at + "longer than 255 bytes";
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
      if (!pointer && value.rfind("@#D", 0) != 0 && value.find("@#D") == std::string::npos) {
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

}  // namespace testing_gedcom
