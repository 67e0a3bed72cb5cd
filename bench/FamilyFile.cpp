// SPDX-License-Identifier: GPL-3.0-or-later
// The family file of the whole-file benchmarks: a million individuals as a
// family database holds them, written with the .tev writer.
//
// Families are made one marriage at a time: the spouses are unmarried
// children of earlier families where there are any (founders otherwise), the
// children take the husband's surname. Surnames are spread as in a real
// population, a few common and many rare; given names by sex. Every record
// offset is written out here, as the writer and the sample generator do.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "TevWriter.h"

namespace bench {
namespace {

using tevwriter::Bytes;
using tevwriter::PutI32;
using tevwriter::PutText;
using tevwriter::PutU8;
using tevwriter::TevFile;

constexpr int kRegions = 7;  // what the records fill
constexpr int kPlaces = 3000;
constexpr int kSurnames = 20000;
constexpr int kGivenNames = 300;  // of each sex
constexpr int32_t kNoteChains = 100000;

const char* const kSyllables[] = {"al",   "ber", "cal", "dor", "el",  "fen", "gar", "hal",
                                  "is",   "jor", "ken", "lor", "mar", "nor", "ol",  "per",
                                  "quin", "ros", "sel", "tor", "ul",  "ver", "wen", "yar",
                                  "zel",  "bro", "cro", "dun", "fal", "gil", "ham", "lin"};
constexpr int kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];

std::string Word(int n, int syllables) {
  std::string w;
  for (int i = 0; i < syllables; ++i) {
    w += kSyllables[n % kSyllableCount];
    n /= kSyllableCount;
  }
  w[0] = static_cast<char>(w[0] - 'a' + 'A');
  return w;
}

// Julian Day Number of a date of the Gregorian calendar.
int32_t JulianDay(int y, int m, int d) {
  const int a = (14 - m) / 12;
  const int yy = y + 4800 - a;
  const int mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

// Event data at `at` of `record`: a single exact date (type 2), a place.
void PutEvent(Bytes& record, size_t at, int32_t jdn, int32_t place) {
  record[at] = 2;
  for (size_t i = 0; i < 3; ++i) record[at + 4 + i] = static_cast<uint8_t>(jdn >> (8 * i));
  PutI32(record, at + 12, place);
}

// Keys as the index orders them, A to Z folded, for sorting here.
std::string FoldedKey(const std::string& given, const std::string& surname) {
  std::string key = surname + ", " + given;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

struct Person {
  std::string given;
  int surname = 0;
  bool male = false;
  int born = 0;  // year
};

struct Name {
  int32_t rin;
  std::string text;
  std::string key;
};

// Node numbers follow the names in the order they were written; the tree
// over them is balanced, the middle name of a stretch on top.
int32_t LinkTree(std::vector<Bytes>& nodes, const std::vector<int32_t>& order, size_t lo, size_t hi,
                 int32_t parent) {
  if (lo >= hi) return 0;
  const size_t mid = lo + (hi - lo) / 2;
  const int32_t node = order[mid];
  Bytes& image = nodes[static_cast<size_t>(node - 1)];
  PutI32(image, 0, LinkTree(nodes, order, mid + 1, hi, node));  // greater
  PutI32(image, 4, LinkTree(nodes, order, lo, mid, node));      // lesser
  PutI32(image, 8, parent);
  return node;
}

}  // namespace

FamilyFile WriteFamilyFile(const std::string& path) {
  std::mt19937 random(1867);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
  FamilyFile out;
  out.path = path;

  std::vector<std::string> surnames(kSurnames);
  for (int s = 0; s < kSurnames; ++s) surnames[static_cast<size_t>(s)] = Word(s * 7 + 3, 3);
  // Surname of a founder: rank r is drawn in proportion to 1 / (r + 50).
  std::vector<double> weight(kSurnames);
  for (int r = 0; r < kSurnames; ++r) weight[static_cast<size_t>(r)] = 1.0 / (r + 50);
  std::discrete_distribution<int> surname_of(weight.begin(), weight.end());
  std::vector<std::string> male(kGivenNames), female(kGivenNames);
  for (int g = 0; g < kGivenNames; ++g) {
    male[static_cast<size_t>(g)] = Word(g * 3 + 1, 2);
    female[static_cast<size_t>(g)] = Word(g * 3 + 2, 2) + "a";
  }
  // Two given names, the second dropped now and then.
  auto given_name = [&](bool is_male) {
    const auto& names = is_male ? male : female;
    std::string g = names[static_cast<size_t>(pick(kGivenNames))];
    if (pick(20) != 0) g += " " + names[static_cast<size_t>(pick(kGivenNames))];
    return g;
  };

  // Families.
  std::vector<Person> people(1);  // RIN = position
  struct Family {
    int32_t husband, wife;
    int year;
    std::vector<int32_t> children;
  };
  std::vector<Family> families;
  std::deque<int32_t> single_men, single_women;
  auto add_person = [&](bool is_male, int surname, int born) {
    people.push_back({given_name(is_male), surname, is_male, born});
    return static_cast<int32_t>(people.size() - 1);
  };
  // An unmarried child of an earlier family, mostly; a founder while there
  // is room, else someone married before (a second marriage).
  auto spouse = [&](std::deque<int32_t>& pool, bool is_male) {
    const bool full = static_cast<int32_t>(people.size()) > kPeople;
    if (!pool.empty() && (full || pick(10) != 0)) {
      const int32_t rin = pool.front();
      pool.pop_front();
      return rin;
    }
    if (!full) return add_person(is_male, surname_of(random), 1700 + pick(60));
    for (;;) {
      const int32_t rin = 1 + pick(kPeople);
      if (people[static_cast<size_t>(rin)].male == is_male) return rin;
    }
  };
  while (static_cast<int32_t>(families.size()) < kMarriages) {
    Family f{};
    f.husband = spouse(single_men, true);
    f.wife = spouse(single_women, false);
    f.year = std::max(people[static_cast<size_t>(f.husband)].born,
                      people[static_cast<size_t>(f.wife)].born) +
             20 + pick(10);
    const int children = pick(6);
    for (int c = 0; c < children && static_cast<int32_t>(people.size()) <= kPeople; ++c) {
      const bool is_male = pick(2) == 0;
      const int32_t child =
          add_person(is_male, people[static_cast<size_t>(f.husband)].surname, f.year + 1 + 2 * c);
      f.children.push_back(child);
      (is_male ? single_men : single_women).push_back(child);
    }
    families.push_back(std::move(f));
  }
  while (static_cast<int32_t>(people.size()) <= kPeople)
    add_person(pick(2) == 0, surname_of(random), 1750 + pick(150));

  // Names: every individual one, some a second (another given name); one in
  // forty takes the name of someone entered shortly before, so that
  // identical names stand together in the index as families have them.
  std::vector<Name> names;
  std::vector<int32_t> first_name(people.size(), 0);
  for (int32_t rin = 1; rin <= kPeople; ++rin) {
    Person& p = people[static_cast<size_t>(rin)];
    if (rin > 100 && pick(40) == 0) {
      const Person& twin = people[static_cast<size_t>(rin - 1 - pick(50))];
      if (twin.male == p.male) {
        p.given = twin.given;
        p.surname = twin.surname;
      }
    }
    const std::string& surname = surnames[static_cast<size_t>(p.surname)];
    first_name[static_cast<size_t>(rin)] = static_cast<int32_t>(names.size());
    names.push_back({rin, p.given + " /" + surname + "/", FoldedKey(p.given, surname)});
    if (pick(10) < 3) {
      const std::string other = given_name(p.male);
      names.push_back({rin, other + " /" + surname + "/", FoldedKey(other, surname)});
    }
  }

  TevFile f(kRegions);
  // Name records first, so that the name area is one stretch of pages.
  std::vector<int32_t> places;
  for (int i = 0; i < kPlaces; ++i) {
    const std::string text = Word(i, 2) + (i % 3 ? " Parish" : "") + ", " + Word(i / 7 + 11, 3) +
                             "shire, " + (i % 5 ? "England" : "Wales");
    places.push_back(f.AppendNameRec(0, 0, 0, 2, text));
  }
  std::vector<int32_t> name_at(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    name_at[i] = f.AppendINameRec(0, 0, names[i].rin, 1, names[i].text);
    if (i > 0 && names[i - 1].rin == names[i].rin) {  // a second name: chained to the first
      f.PatchI32(name_at[i - 1], name_at[i]);
      f.PatchI32(name_at[i] + 4, name_at[i - 1]);
    }
  }
  const int32_t name_area_end = static_cast<int32_t>(f.FileSize() - 1);

  // The index: one node per name, numbered in the order the names were
  // written, linked in key order.
  std::vector<int32_t> order(names.size());
  std::iota(order.begin(), order.end(), 1);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return names[static_cast<size_t>(a - 1)].key < names[static_cast<size_t>(b - 1)].key;
  });
  std::vector<Bytes> nodes(names.size(), Bytes(16, 0));
  for (size_t i = 0; i < names.size(); ++i) PutI32(nodes[i], 12, name_at[i]);
  const int32_t root = LinkTree(nodes, order, 0, order.size(), 0);
  for (size_t i = 1; i < order.size(); ++i) {
    const std::string& a = names[static_cast<size_t>(order[i - 1] - 1)].key;
    const std::string& b = names[static_cast<size_t>(order[i] - 1)].key;
    if (a == b) ++out.names_in_runs;
    if (a == b && (i < 2 || names[static_cast<size_t>(order[i - 2] - 1)].key != a))
      ++out.names_in_runs;  // the first of the run
  }
  {
    // The most common surname, for find.
    std::vector<int32_t> count(kSurnames, 0);
    for (const Person& p : people) ++count[static_cast<size_t>(p.surname)];
    const auto top = std::max_element(count.begin(), count.end()) - count.begin();
    out.common_surname = surnames[static_cast<size_t>(top)];
  }
  for (const Bytes& node : nodes) f.AppendRecord(10, node);

  // Individuals, their events and notes.
  std::vector<Bytes> persons(people.size(), Bytes(221, 0));
  auto place = [&] { return places[static_cast<size_t>(pick(kPlaces))]; };
  for (int32_t rin = 1; rin <= kPeople; ++rin) {
    const Person& p = people[static_cast<size_t>(rin)];
    Bytes& r = persons[static_cast<size_t>(rin)];
    const size_t first = static_cast<size_t>(first_name[static_cast<size_t>(rin)]);
    PutI32(r, 0, name_at[first]);
    PutI32(r, 20, 1299334930 + rin);
    PutI32(r, 40, static_cast<int32_t>(first) + 1);
    const int32_t birth = JulianDay(p.born, 1 + pick(12), 1 + pick(28));
    PutEvent(r, 64, birth, place());
    if (pick(10) < 3) PutEvent(r, 88, birth + 20 + pick(30), place());
    if (pick(10) < 6) PutEvent(r, 112, birth + 365 * (20 + pick(60)), place());
    if (pick(10) < 4) PutEvent(r, 136, birth + 365 * 80 + pick(300), place());
    PutU8(r, 202, p.male ? 'M' : 'F');
  }
  std::vector<Bytes> notes;
  for (int32_t i = 0; i < kNoteChains; ++i) {
    const int32_t owner = 1 + pick(kPeople);
    const int blocks = 1 + pick(3);
    int32_t prev = 0;
    for (int b = 0; b < blocks; ++b) {
      notes.emplace_back(256, 0);
      const auto n = static_cast<int32_t>(notes.size());
      if (prev != 0) PutI32(notes[static_cast<size_t>(prev - 1)], 0, n);
      if (b == 0) PutI32(persons[static_cast<size_t>(owner)], 12, n);
      Bytes& note = notes.back();
      PutI32(note, 4, prev);
      PutI32(note, 8, owner);
      PutU8(note, 12, 'I');
      PutText(note, 13,
              "Entered from the parish register of " + Word(i, 3) +
                  "; the entry gives the father's trade and the witnesses.");
      prev = n;
    }
  }

  // Marriages with their next-marriage chains, one family link per child.
  std::vector<Bytes> marriages(families.size(), Bytes(106, 0));
  std::vector<Bytes> links;
  std::vector<int32_t> last_marriage(people.size(), 0);
  for (size_t k = 0; k < families.size(); ++k) {
    const Family& fam = families[k];
    const auto mrin = static_cast<int32_t>(k + 1);
    Bytes& m = marriages[k];
    PutI32(m, 4, fam.husband);
    PutI32(m, 8, fam.wife);
    PutEvent(m, 52, JulianDay(fam.year, 1 + pick(12), 1 + pick(28)), place());
    for (int32_t spouse_rin : {fam.husband, fam.wife}) {
      Bytes& person = persons[static_cast<size_t>(spouse_rin)];
      int32_t& last = last_marriage[static_cast<size_t>(spouse_rin)];
      if (last == 0) {
        PutI32(person, 4, mrin);
        PutI32(person, 44, mrin);
      } else {
        PutI32(marriages[static_cast<size_t>(last - 1)], spouse_rin == fam.husband ? 16 : 20, mrin);
      }
      last = mrin;
      person[204] = static_cast<uint8_t>(person[204] + 1);
    }
    int32_t elder = 0;
    for (int32_t child : fam.children) {
      links.emplace_back(46, 0);
      const auto fl = static_cast<int32_t>(links.size());
      Bytes& l = links.back();
      PutI32(l, 0, mrin);
      PutI32(l, 12, child);
      l[37] = 'b';
      if (elder == 0) PutI32(m, 12, fl);
      else PutI32(links[static_cast<size_t>(elder - 1)], 4, fl);
      elder = fl;
      PutI32(persons[static_cast<size_t>(child)], 8, fl);
    }
  }
  for (size_t rin = 1; rin < persons.size(); ++rin) f.AppendRecord(2, persons[rin]);
  for (const Bytes& m : marriages) f.AppendRecord(3, m);
  for (const Bytes& n : notes) f.AppendRecord(4, n);
  for (const Bytes& l : links) f.AppendRecord(5, l);

  f.SetRootNode(root);
  f.SetHeaderI32(22, kPeople);                             // individual bound
  f.SetHeaderI32(42, static_cast<int32_t>(names.size()));  // index node bound
  f.SetHeaderI32(70, static_cast<int32_t>(tevwriter::PageOffset(0, 1)));
  f.SetHeaderI32(74, name_area_end);
  if (!f.Write(path)) throw std::runtime_error("cannot write " + path);
  out.names = static_cast<int32_t>(names.size());
  out.marriages = static_cast<int32_t>(families.size());
  out.size = f.FileSize();
  return out;
}

}  // namespace bench
