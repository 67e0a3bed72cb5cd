// SPDX-License-Identifier: GPL-3.0-or-later
// A database file of the names given, written with our writer: an
// individual per name, RIN in the order given, with its individual's name
// record and a birth date, and an index node per name, numbered in the
// order of the keys, linked as a balanced tree.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "NameKeys.h"
#include "TevWriter.h"

namespace namesfile {

// Julian Day Number of a Gregorian date.
inline int32_t Jdn(int y, int m, int d) {
  const int a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

// A birth on 3 March of `year` at offset `at` of an individual record (date
// type 2, one date); nothing for year 0.
inline void PutBirth(tevwriter::Bytes& person, size_t at, int year) {
  if (year == 0) return;
  const uint32_t day = static_cast<uint32_t>(Jdn(year, 3, 3));
  person[at] = 2;
  person[at + 4] = static_cast<uint8_t>(day);
  person[at + 5] = static_cast<uint8_t>(day >> 8);
  person[at + 6] = static_cast<uint8_t>(day >> 16);
}

struct Person {
  std::string name;  // the bytes of the file (Windows-1252)
  int born = 0;      // a year, 0 for none
};

// The index's order of `people` (positions in `people`): by their keys as
// the index compares them, equal keys in the order given.
inline std::vector<size_t> KeyOrder(const std::vector<Person>& people) {
  std::vector<std::string> keys(people.size());
  for (size_t i = 0; i < people.size(); ++i) {
    kinscope::WideText text;
    for (const char c : people[i].name)
      text.push_back(static_cast<char16_t>(static_cast<int8_t>(c)));
    kinscope::WideText key;
    kinscope::MakeNameKey(text, key, kinscope::kNameKeyCapacity);
    kinscope::FoldNameKey(key, keys[i]);
  }
  std::vector<size_t> order(people.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  return order;
}

// Names as genealogists' files hold them, as Windows-1252 bytes: letters of
// 0x80 to 0x9F (Ž, ž, Œ, €, the quote ’), Latin-1 letters, two of the five
// undefined bytes, one surname spelled with and without an accent, and
// surnames alike in sound. RINs 1 to 11 in this order.
inline std::vector<Person> AccentedPeople() {
  return {{"Slavoj /\x8Ei\x9E"
           "ek/",
           1949},
          {"Hans /M\xFCller/", 1901},
          {"Anna /Muller/", 1903},
          {"Se\xE1n /O\x92"
           "Brien/",
           1920},
          {"Fran\xE7oise /\x8Cuvray/ \x80", 1931},
          {"Ann /Cx\x81\x8D/", 1850},
          {"John /Smith/", 1870},
          {"Jane /Smyth/", 1872},
          {"Karl /Schmidt/", 1874},
          {"Mary /Smart/", 1876},
          {"\xC9mile /\xC9tienne/", 1888}};
}

// Writes the file at `path`; false when it cannot be written.
inline bool Write(const std::string& path, const std::vector<Person>& people) {
  const auto count = static_cast<int32_t>(people.size());
  tevwriter::TevFile file(1);
  file.SetHeaderI32(22, count);  // individual bound
  file.SetHeaderI32(42, count);  // index node bound
  file.SetHeaderI32(74, INT32_MAX);
  std::vector<int32_t> name_at;
  for (int32_t rin = 1; rin <= count; ++rin) {
    const Person& p = people[static_cast<size_t>(rin - 1)];
    name_at.push_back(file.AppendINameRec(0, 0, rin, 1, p.name));
    tevwriter::Bytes person(221, 0);
    tevwriter::PutI32(person, 0, name_at.back());
    PutBirth(person, 64, p.born);
    file.AppendRecord(2, person);
  }
  // Node k is the k-th name in key order; each range's middle node is the
  // root of its subtree.
  std::vector<int32_t> lesser(people.size() + 1), greater(people.size() + 1),
      parent(people.size() + 1);
  const std::function<int32_t(int32_t, int32_t, int32_t)> link = [&](int32_t low, int32_t high,
                                                                     int32_t up) -> int32_t {
    if (low > high) return 0;
    const int32_t middle = low + (high - low) / 2;
    const auto m = static_cast<size_t>(middle);
    parent[m] = up;
    lesser[m] = link(low, middle - 1, middle);
    greater[m] = link(middle + 1, high, middle);
    return middle;
  };
  const int32_t root = link(1, count, 0);
  const std::vector<size_t> order = KeyOrder(people);
  for (size_t k = 1; k <= people.size(); ++k) {
    file.AppendIndexNode(greater[k], lesser[k], parent[k], name_at[order[k - 1]]);
  }
  file.SetRootNode(root);
  return file.Write(path);
}

}  // namespace namesfile
