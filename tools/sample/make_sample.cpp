// SPDX-License-Identifier: GPL-3.0-or-later
// make_sample PATH: writes the sample family database, a small invented
// family over three generations, with records in every table the viewer
// reads. The output is the same, byte for byte, on every run.
//
// Record offsets are written out here on purpose rather than taken from the
// reader's layouts, so the sample checks the reader instead of echoing it.
#include "TevWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace tevwriter;

namespace {

// ---- Places -----------------------------------------------------------------

enum Place {
  kNowhere,
  kBristol,
  kClifton,
  kBath,
  kKeynsham,
  kChewMagna,
  kWells,
  kWeston,
  kTaunton,
  kFrome,
  kNewport,
  kToronto,
  kLingfield,
  kPlaceCount
};

const char* const kPlaceText[kPlaceCount] = {
    "",
    "Bristol, Gloucestershire, England",
    "Clifton, Bristol, Gloucestershire, England",
    "Bath, Somerset, England",
    "Keynsham, Somerset, England",
    "Chew Magna, Somerset, England",
    "Wells, Somerset, England",
    "Weston-super-Mare, Somerset, England",
    "Taunton, Somerset, England",
    "Frome, Somerset, England",
    "Newport, Monmouthshire, Wales",
    "Toronto, Ontario, Canada",
    "Lingfield, Surrey, England",
};

// ---- Dates and events ---------------------------------------------------------

enum { kExact = 0, kAbout = 1, kNoDay = 2 };

// A date and place. y = 0: no date; a date without day still names a day
// (the first of the month) and carries the no-day flag.
struct Life {
  int y, m, d, how;
  Place place;
};

const Life kNone = {0, 0, 0, kExact, kNowhere};

int32_t JulianDay(int y, int m, int d) {
  const int a = (14 - m) / 12;
  const int yy = y + 4800 - a;
  const int mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

// Encoded date: type 2 (one date), modifier 0 or 1 ("Abt"), first part with
// calendar 0, flags (0x20: no day) and the Julian Day Number in 24 bits.
Bytes EncodeDate(const Life& l) {
  Bytes b(12, 0);
  if (l.y == 0) return b;
  b[0] = 2;
  b[1] = (l.how & kAbout) ? 1 : 0;
  b[3] = (l.how & kNoDay) ? 0x20 : 0;
  const auto jdn = static_cast<uint32_t>(JulianDay(l.y, l.m, l.d));
  for (size_t i = 0; i < 3; ++i) b[4 + i] = static_cast<uint8_t>(jdn >> (8 * i));
  return b;
}

int32_t g_place[kPlaceCount];  // file offsets of the place name records

// Event data: date, place, age at the event, citation.
Bytes EventData(const Life& l, int32_t age, int32_t cit) {
  Bytes b = EncodeDate(l);
  PutI32(b, 12, l.place == kNowhere ? 0 : g_place[l.place]);
  PutI32(b, 16, age);
  PutI32(b, 20, cit);
  return b;
}

// Ordinance data: date, place, citation, temple flag.
Bytes Ordinance(const Life& l, uint8_t temple) {
  Bytes b = EncodeDate(l);
  PutI32(b, 12, l.place == kNowhere ? 0 : g_place[l.place]);
  PutI32(b, 16, 0);
  PutU8(b, 20, temple);
  return b;
}

int32_t AgeAt(const Life& birth, const Life& at) {
  if (birth.y == 0 || at.y == 0) return 0;
  int age = at.y - birth.y;
  if (at.m < birth.m || (at.m == birth.m && at.d < birth.d)) --age;
  return age;
}

// ---- The family ---------------------------------------------------------------

struct Person {
  const char* name;
  const char* alias;  // a second individual's name, or nullptr
  char sex;
  Life birth, christening, death, burial;
};

// RIN = position + 1.
const Person kPeople[] = {
    {"Thomas /Whitcombe/",
     nullptr,
     'M',
     {1842, 3, 14, kExact, kBristol},
     {1842, 4, 10, kExact, kBristol},
     {1911, 11, 2, kExact, kClifton},
     {1911, 11, 6, kExact, kClifton}},
    {"Mary Ann /Harrow/",
     nullptr,
     'F',
     {1845, 6, 1, kAbout | kNoDay, kBath},
     kNone,
     {1871, 2, 19, kExact, kBristol},
     {1871, 2, 23, kExact, kBristol}},
    {"Eliza /Pembury/",
     "Elizabeth /Pembury/",
     'F',
     {1848, 9, 8, kExact, kKeynsham},
     {1848, 10, 1, kExact, kKeynsham},
     {1920, 3, 1, kExact, kClifton},
     kNone},
    {"George /Aldridge/",
     nullptr,
     'M',
     {1838, 1, 22, kExact, kChewMagna},
     kNone,
     {1879, 8, 15, kExact, kChewMagna},
     {1879, 8, 19, kExact, kChewMagna}},
    {"Sarah /Fenwick/",
     nullptr,
     'F',
     {1841, 5, 3, kExact, kWells},
     kNone,
     {1915, 12, 12, kExact, kWells},
     kNone},
    {"Henry /Lockwood/",
     nullptr,
     'M',
     {1836, 3, 1, kAbout | kNoDay, kWells},
     kNone,
     {1901, 3, 1, kNoDay, kWells},
     kNone},
    {"Thomas /Whitcombe/",
     nullptr,
     'M',
     {1865, 2, 2, kExact, kBristol},
     {1865, 3, 5, kExact, kBristol},
     {1932, 4, 4, kExact, kClifton},
     {1932, 4, 8, kExact, kClifton}},
    {"Emily Jane /Whitcombe/",
     nullptr,
     'F',
     {1867, 7, 17, kExact, kBristol},
     kNone,
     {1940, 11, 1, kAbout | kNoDay, kTaunton},
     kNone},
    {"William Henry /Whitcombe/",
     nullptr,
     'M',
     {1869, 10, 30, kExact, kBristol},
     kNone,
     {1944, 1, 21, kExact, kBristol},
     kNone},
    {"Albert /Whitcombe/",
     nullptr,
     'M',
     {1874, 4, 11, kExact, kClifton},
     kNone,
     {1950, 6, 1, kNoDay, kToronto},
     kNone},
    {"Florence /Whitcombe/",
     nullptr,
     'F',
     {1876, 12, 25, kExact, kClifton},
     {1877, 1, 21, kExact, kClifton},
     kNone,
     kNone},
    {"Edith Mary /Whitcombe/",
     nullptr,
     'F',
     {1879, 8, 9, kExact, kClifton},
     kNone,
     {1879, 8, 16, kExact, kClifton},
     {1879, 8, 18, kExact, kClifton}},
    {"Hannah /Aldridge/", nullptr, 'F', {1866, 3, 6, kExact, kChewMagna}, kNone, kNone, kNone},
    {"James /Aldridge/",
     nullptr,
     'M',
     {1868, 11, 28, kExact, kChewMagna},
     kNone,
     {1937, 5, 1, kNoDay, kFrome},
     kNone},
    {"Margaret /Aldridge/",
     nullptr,
     'F',
     {1871, 7, 1, kAbout | kNoDay, kChewMagna},
     kNone,
     kNone,
     kNone},
    {"Charles /Lockwood/", nullptr, 'M', {1883, 7, 4, kExact, kWells}, kNone, kNone, kNone},
    {"Alice /Castleton/",
     "Alice Maud /Castleton/",
     'F',
     {1868, 2, 14, kExact, kWeston},
     kNone,
     {1949, 10, 1, kNoDay, kClifton},
     kNone},
    {"Robert /Marsh/",
     nullptr,
     'M',
     {1863, 9, 1, kAbout | kNoDay, kTaunton},
     kNone,
     {1921, 9, 1, kNoDay, kTaunton},
     kNone},
    {"Clara /Bennett/", "Clara /Bennet/", 'F', {1872, 6, 30, kExact, kFrome}, kNone, kNone, kNone},
    {"Samuel /Pryce/", nullptr, 'M', {1860, 4, 1, kAbout | kNoDay, kNewport}, kNone, kNone, kNone},
    {"Ann /Tanner/",
     nullptr,
     'F',
     {1862, 5, 1, kNoDay, kNewport},
     kNone,
     {1894, 9, 7, kExact, kNewport},
     {1894, 9, 11, kExact, kNewport}},
    {"Thomas /Whitcombe/",
     nullptr,
     'M',
     {1890, 6, 3, kExact, kClifton},
     {1890, 6, 29, kExact, kClifton},
     {1958, 1, 14, kExact, kClifton},
     kNone},
    {"Arthur John /Whitcombe/", nullptr, 'M', {1892, 9, 19, kExact, kClifton}, kNone, kNone, kNone},
    {"Dorothy /Whitcombe/", nullptr, 'F', {1895, 5, 2, kExact, kClifton}, kNone, kNone, kNone},
    {"Walter /Pryce/", nullptr, 'M', {1889, 11, 11, kExact, kNewport}, kNone, kNone, kNone},
    {"John /Marsh/",
     nullptr,
     'M',
     {1887, 3, 2, kExact, kTaunton},
     kNone,
     {1888, 1, 30, kExact, kTaunton},
     {1888, 2, 3, kExact, kTaunton}},
    {"John /Marsh/", nullptr, 'M', {1889, 4, 15, kExact, kTaunton}, kNone, kNone, kNone},
    {"Lilian /Marsh/", nullptr, 'F', {1891, 8, 7, kExact, kTaunton}, kNone, kNone, kNone},
    {"George /Marsh/", nullptr, 'M', kNone, {1893, 2, 12, kExact, kTaunton}, kNone, kNone},
    {"William Henry /Whitcombe/ Jr.",
     nullptr,
     'M',
     {1892, 12, 1, kExact, kBristol},
     kNone,
     kNone,
     kNone},
    {"Mary Ann /Whitcombe/", nullptr, 'F', {1894, 4, 20, kExact, kBristol}, kNone, kNone, kNone},
    {"Ernest /Whitcombe/", nullptr, 'M', {1897, 1, 8, kExact, kBristol}, kNone, kNone, kNone},
    {"Frederick /Aldridge/", nullptr, 'M', {1896, 10, 16, kExact, kFrome}, kNone, kNone, kNone},
    {"Mary /Aldridge/", nullptr, 'F', {1898, 3, 22, kExact, kFrome}, kNone, kNone, kNone},
    {"Edwin /Pryce/", nullptr, 'M', {1891, 2, 5, kExact, kNewport}, kNone, kNone, kNone},
    {"Ada /Fairweather/", nullptr, 'F', {1893, 10, 9, kExact, kBath}, kNone, kNone, kNone},
    {"Joan /Whitcombe/", nullptr, 'F', {1919, 7, 27, kExact, kClifton}, kNone, kNone, kNone},
    {"Percy /Whitcombe/", nullptr, 'M', {1922, 3, 3, kExact, kClifton}, kNone, kNone, kNone},
};
constexpr int kPersons = static_cast<int>(sizeof kPeople / sizeof kPeople[0]);

struct Marriage {
  int husband, wife;
  Life wedding;
  std::vector<int> children;  // RINs, eldest first
};

// MRIN = position + 1.
const Marriage kMarriages[] = {
    {1, 2, {1863, 5, 12, kExact, kBath}, {7, 8, 9}},
    {1, 3, {1873, 6, 5, kExact, kKeynsham}, {10, 11, 12}},
    {4, 5, {1862, 10, 20, kExact, kWells}, {13, 14, 15}},
    {6, 5, {1882, 1, 3, kExact, kWells}, {16}},
    {7, 17, {1889, 8, 24, kExact, kClifton}, {25, 22, 23, 24}},
    {18, 8, {1886, 6, 9, kExact, kBristol}, {26, 27, 28, 29}},
    {9, 13, {1891, 4, 14, kExact, kChewMagna}, {30, 31, 32}},
    {14, 19, {1895, 6, 1, kExact, kFrome}, {33, 34}},
    {20, 21, {1888, 2, 1, kAbout | kNoDay, kNewport}, {25, 35}},
    {22, 36, {1915, 7, 17, kExact, kBath}, {37, 38}},
};
constexpr int kMarriageCount = static_cast<int>(sizeof kMarriages / sizeof kMarriages[0]);
// Walter Pryce was adopted into marriage 5 after his mother's death.
constexpr int kAdoptedRin = 25, kAdoptiveMrin = 5;

// Identical names and the order their index nodes take in the tree walk
// (deliberately not the order of birth).
const std::vector<std::vector<int>> kWalkOrder = {{7, 22, 1}, {27, 26}};

const char kBiography[] =
    "Thomas Whitcombe was born in Redcliffe Street, Bristol, the eldest son of a cooper. He was "
    "apprenticed to his father at fourteen and by 1870 kept his own cooperage near the harbour, "
    "supplying casks to the wine merchants of the city. After the death of his first wife Mary "
    "Ann in 1871 he married Eliza Pembury of Keynsham. In 1881 the family moved to a larger house "
    "in Clifton, where he served for many years as churchwarden. He retired in 1902, handing the "
    "business to his son William Henry, and died at Clifton in November 1911, aged sixty-nine.";

// ---- Byte images ------------------------------------------------------------

int32_t GetI32(const Bytes& b, size_t at) {
  return static_cast<int32_t>(static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
                              static_cast<uint32_t>(b[at + 2]) << 16 |
                              static_cast<uint32_t>(b[at + 3]) << 24);
}

void Put(Bytes& record, size_t at, const Bytes& value) {
  std::copy(value.begin(), value.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
}

// ---- Name keys: "Surname, Given Suffix", A-Z folded ---------------------------

std::string TrimBlanks(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string NameKey(const std::string& text) {
  std::string given = text, surname, suffix;
  const size_t last = text.rfind('/');
  if (last != std::string::npos) {
    suffix = TrimBlanks(text.substr(last + 1));
    const size_t first = text.find('/');
    given = TrimBlanks(text.substr(0, first));
    if (last > first + 1) surname = TrimBlanks(text.substr(first + 1, last - first - 1));
  }
  std::string key = surname + ", " + given;
  if (!suffix.empty()) key += (given.size() > 1 ? " " : "") + suffix;
  return key;
}

int Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

int CompareKeys(const std::string& a, const std::string& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    const int cb = i < b.size() ? Fold(static_cast<unsigned char>(b[i])) : 0;
    const int ca = Fold(static_cast<unsigned char>(a[i]));
    if (ca != cb) return ca - cb;
  }
  return a.size() < b.size() ? -static_cast<unsigned char>(b[a.size()]) : 0;
}

// ---- Record tables, built in memory and numbered from 1 -----------------------

struct Table {
  int number;
  size_t size;
  std::vector<Bytes> rows;
  int32_t Add() {
    rows.emplace_back(size, 0);
    return static_cast<int32_t>(rows.size());
  }
  Bytes& operator[](int32_t n) { return rows[static_cast<size_t>(n - 1)]; }
};

Table g_indiv{2, 221, {}}, g_marr{3, 106, {}}, g_note{4, 256, {}}, g_famlink{5, 46, {}},
    g_cit{6, 145, {}}, g_uevent{12, 59, {}}, g_uetype{13, 143, {}}, g_media{20, 62, {}};

// A note of one or more 243-byte blocks; returns the number of its first block.
int32_t AddNote(const std::string& text, char owner, int32_t frec) {
  int32_t first = 0, prev = 0;
  for (size_t at = 0; at < text.size(); at += 243) {
    const int32_t n = g_note.Add();
    if (prev != 0) PutI32(g_note[prev], 0, n);
    PutI32(g_note[n], 4, prev);
    PutI32(g_note[n], 8, frec);
    PutU8(g_note[n], 12, static_cast<uint8_t>(owner));
    PutText(g_note[n], 13, text.substr(at, 243));
    if (first == 0) first = n;
    prev = n;
  }
  return first;
}

// Appends a record to a chain of records of the same owner; `next_at` and
// `prev_at` are the offsets of the chain links in the record.
void Chain(Table& t, int32_t prev, int32_t n, size_t next_at, size_t prev_at) {
  if (prev == 0) return;
  PutI32(t[prev], next_at, n);
  PutI32(t[n], prev_at, prev);
}

// ---- The index tree -----------------------------------------------------------

struct Node {
  int32_t greater = 0, lesser = 0, parent = 0, name = 0;
  std::string key;
};

// Inserts node n as a leaf; a key equal to existing keys goes to the lesser
// side, so it comes first among them in the walk.
void Insert(std::vector<Node>& nodes, int32_t& root, int32_t n) {
  if (root == 0) {
    root = n;
    return;
  }
  int32_t cur = root;
  for (;;) {
    Node& c = nodes[static_cast<size_t>(cur)];
    const bool after = CompareKeys(nodes[static_cast<size_t>(n)].key, c.key) > 0;
    int32_t& link = after ? c.greater : c.lesser;
    if (link == 0) {
      link = n;
      nodes[static_cast<size_t>(n)].parent = cur;
      return;
    }
    cur = link;
  }
}

void Walk(const std::vector<Node>& nodes, int32_t n, std::vector<int32_t>& out) {
  if (n == 0) return;
  Walk(nodes, nodes[static_cast<size_t>(n)].lesser, out);
  out.push_back(n);
  Walk(nodes, nodes[static_cast<size_t>(n)].greater, out);
}

// Medians first, so that the tree stays shallow.
void BalancedOrder(int lo, int hi, std::vector<int>& out) {
  if (lo > hi) return;
  const int mid = (lo + hi) / 2;
  out.push_back(mid);
  BalancedOrder(lo, mid - 1, out);
  BalancedOrder(mid + 1, hi, out);
}

// ---- Sources, pictures and user-defined events ---------------------------------

struct Citation {
  char owner_type;  // 'A': cited by the person, 'B': cited by one of the person's events
  int rin;
  const char* page;
  Life recorded;
  const char* text;
  const char* comment;
};

const Citation kCitations[] = {
    {'A',
     1,
     "St Mary Redcliffe baptisms 1842, p. 31, entry 118",
     {1986, 6, 14, kExact, kBristol},
     "Thomas son of Thomas Whitcombe, cooper, and Jane his wife, of Redcliffe Street, born 14 "
     "March, baptised 10 April 1842.",
     "The entry is faint; the day of birth was read under a lamp and agrees with the family "
     "bible."},
    {'A',
     1,
     "Census 1881, Clifton, folio 42, p. 7",
     {1987, 3, 1, kNoDay, kNowhere},
     nullptr,
     nullptr},
    {'B',
     1,
     "Clifton burial register 1911, entry 56",
     {1990, 8, 2, kExact, kClifton},
     nullptr,
     "Buried beside his second wife's family plot."},
    {'A',
     25,
     "Letter of Alice Whitcombe to her sister, 1894",
     {1991, 10, 1, kAbout | kNoDay, kNowhere},
     "Walter came to us in October after poor Ann was taken. Thomas says he shall have our name "
     "if he wishes it, and he is already a great friend to little Tom.",
     nullptr},
    {'B',
     7,
     "Birth certificate, Bristol district, 1865 Q1, vol. 6a p. 112",
     {1988, 5, 9, kExact, kNowhere},
     nullptr,
     nullptr},
    {'A',
     7,
     "Clifton marriage register 1889, entry 203",
     {1988, 5, 9, kExact, kNowhere},
     nullptr,
     nullptr},
};

// Citations of life events: RIN, citation of the birth, of the burial.
struct EventCitation {
  int rin;
  int32_t birth, burial;
};
const EventCitation kEventCitations[] = {{1, 0, 3}, {7, 5, 0}};

struct Media {
  int32_t owner;  // a citation for owner type 132, else an individual
  uint8_t owner_type;
  const char* path;
  const char* audio;
  const char* caption;
  const char* description;
  uint8_t flags;
};

const Media kMedia[] = {
    {1, 132, "C:\\TEV5\\Media\\redcliffe_baptisms_1842.jpg", nullptr, "Baptism register, page 31",
     nullptr, 0x01},
    {1, 132, "C:\\TEV5\\Media\\redcliffe_church.jpg", nullptr, nullptr, nullptr, 0x2A},
    {4, 132, "C:\\TEV5\\Media\\letter_1953_page1.tif", "C:\\TEV5\\Media\\letter_1953_reading.wav",
     nullptr, "Two pages, folded; the second page is torn at the foot.", 0x04},
    {22, 0, "C:\\TEV5\\Media\\thomas_whitcombe_1915.jpg", nullptr, "Thomas in uniform, 1915",
     nullptr, 0x05},
};

// Event types form a small tree by title through less and greater.
struct EventType {
  const char* title;
  const char* short_title;
  char type;
  const char* abbr;
  const char* tag;
  const char* sentence;
  int32_t less, greater;
};

const EventType kEventTypes[] = {
    {"Occupation", "Occupation", 'I', "Occu", "OCCU",
     "[Desc] worked as [desc]< [date]>< in [place]>.", 2, 3},
    {"Census", "Census", 'I', "Cens", "CENS",
     "[Desc] was listed in the census< [date]>< at [place]>.", 0, 4},
    {"Residence", "Residence", 'I', "Resi", "RESI", "[Desc] lived< [date]>< at [place]>.", 0, 0},
    {"Marriage Banns", "Banns", 'M', "Banns", "_MARB",
     "Banns were read for [Desc]< [date]>< at [place]>.", 0, 0},
};

struct UserEvent {
  char owner_type;  // 'I' individual, 'M' marriage
  int owner;
  int32_t type;
  Life when;
  int32_t cit;
  uint8_t flags;
};

const UserEvent kUserEvents[] = {
    {'I', 1, 1, {1870, 5, 1, kAbout | kNoDay, kBristol}, 0, 0x01},
    {'I', 1, 2, {1881, 4, 3, kExact, kClifton}, 2, 0x00},
    {'I', 1, 3, {1891, 4, 1, kNoDay, kClifton}, 0, 0x00},
    {'I', 9, 1, {1901, 3, 1, kNoDay, kBristol}, 0, 0x03},
    {'M', 7, 4, {1891, 3, 8, kExact, kChewMagna}, 0, 0x00},
    {'I', 10, 3, {1911, 6, 1, kAbout | kNoDay, kToronto}, 0, 0x80},
};

// ---- Building the database ----------------------------------------------------

void WritePlaces(TevFile& f) {
  for (int p = 1; p < kPlaceCount; ++p) g_place[p] = f.AppendNameRec(0, 0, 0, 2, kPlaceText[p]);
  // The places form a tree of their own, ordered by text; each hangs from
  // its parent name record (type 2).
  for (int p = 2; p < kPlaceCount; ++p) {
    for (int cur = 1;;) {
      const bool after = std::strcmp(kPlaceText[p], kPlaceText[cur]) > 0;
      const int32_t link_at = g_place[cur] + (after ? 4 : 0);
      const int32_t next = GetI32(f.Read(link_at, 4), 0);
      if (next == 0) {
        f.PatchI32(link_at, g_place[p]);
        f.PatchI32(g_place[p] + 8, g_place[cur]);
        break;
      }
      cur = static_cast<int>(std::find(g_place + 1, g_place + kPlaceCount, next) - g_place);
    }
  }
}

// Writes every individual's name; node n of the index is made for the
// first name of RIN n, the nodes after kPersons for the second names.
std::vector<Node> WriteNames(TevFile& f, std::vector<int32_t>& second_name_nodes) {
  std::vector<Node> nodes(1);
  for (int rin = 1; rin <= kPersons; ++rin) {
    const char* name = kPeople[rin - 1].name;
    nodes.push_back({0, 0, 0, f.AppendINameRec(0, 0, rin, 1, name), NameKey(name)});
  }
  for (int rin = 1; rin <= kPersons; ++rin) {
    const char* alias = kPeople[rin - 1].alias;
    if (alias == nullptr) continue;
    const int32_t first = nodes[static_cast<size_t>(rin)].name;
    const int32_t second = f.AppendINameRec(0, first, rin, 1, alias);
    f.PatchI32(first, second);
    second_name_nodes.push_back(static_cast<int32_t>(nodes.size()));
    nodes.push_back({0, 0, 0, second, NameKey(alias)});
  }
  return nodes;
}

void BuildEventTypes(TevFile& f) {
  for (const EventType& t : kEventTypes) {
    Bytes& r = g_uetype[g_uetype.Add()];
    PutI32(r, 0, f.AppendNameRec(0, 0, 0, 2, t.title));
    PutI32(r, 4, t.less);
    PutI32(r, 8, t.greater);
    for (size_t at : {size_t{16}, size_t{32}, size_t{48}})  // sentences m, f and u
      PutI32(r, at, f.AppendNameRec(0, 0, 0, 2, t.sentence));
    PutText(r, 64, t.short_title);
    PutU8(r, 84, static_cast<uint8_t>(t.type));
    PutText(r, 85, t.abbr);
    PutText(r, 94, t.tag);
    PutU8(r, 101, 1);                                    // date_type
    PutU8(r, 102, static_cast<uint8_t>(t.type == 'I'));  // user_descr
    PutU8(r, 103, 1);                                    // permanent
    PutU8(r, 104, 1);                                    // hasPlace
  }
}

void BuildIndividuals(const std::vector<Node>& nodes) {
  for (int rin = 1; rin <= kPersons; ++rin) {
    const Person& p = kPeople[rin - 1];
    Bytes& r = g_indiv[g_indiv.Add()];
    int32_t birth_cit = 0, burial_cit = 0;
    for (const EventCitation& c : kEventCitations)
      if (c.rin == rin) birth_cit = c.birth, burial_cit = c.burial;
    PutI32(r, 0, nodes[static_cast<size_t>(rin)].name);
    PutI32(r, 20, 1299334930 + rin * 3607);                  // changed in March 2011
    if (rin <= 12) PutI32(r, 24, 1262350800 + rin * 86400);  // submitted January 2010
    PutI32(r, 40, rin);                                      // index node of the first name
    Put(r, 64, EventData(p.birth, 0, birth_cit));
    Put(r, 88, EventData(p.christening, 0, 0));
    Put(r, 112, EventData(p.death, AgeAt(p.birth, p.death), 0));
    Put(r, 136, EventData(p.burial, AgeAt(p.birth, p.burial), burial_cit));
    PutU8(r, 202, static_cast<uint8_t>(p.sex));
  }
  for (int rin : {1, 2, 3, 7}) {
    Put(g_indiv[rin], 160, Ordinance({1968, 4, 2 + rin, kExact, kLingfield}, 1));
    Put(g_indiv[rin], 181, Ordinance({1969, 2, 10 + rin, kExact, kLingfield}, 1));
  }
}

// Marriages with their next-marriage chains, and one family link per child
// chained from the eldest to the youngest.
void BuildMarriages() {
  for (int mrin = 1; mrin <= kMarriageCount; ++mrin) {
    const Marriage& m = kMarriages[mrin - 1];
    Bytes& r = g_marr[g_marr.Add()];
    PutI32(r, 4, m.husband);
    PutI32(r, 8, m.wife);
    Put(r, 52, EventData(m.wedding, 0, 0));
    for (int spouse : {m.husband, m.wife}) {
      Bytes& ind = g_indiv[spouse];
      if (GetI32(ind, 4) == 0) {
        PutI32(ind, 4, mrin);   // first marriage
        PutI32(ind, 44, mrin);  // primary marriage
      }
      ind[204] = static_cast<uint8_t>(ind[204] + 1);
    }
    for (int later = kMarriageCount; later > mrin; --later) {
      if (kMarriages[later - 1].husband == m.husband) PutI32(r, 16, later);
      if (kMarriages[later - 1].wife == m.wife) PutI32(r, 20, later);
    }
    int32_t elder = 0;
    for (int child : m.children) {
      const int32_t fl = g_famlink.Add();
      Bytes& l = g_famlink[fl];
      PutI32(l, 0, mrin);
      PutI32(l, 12, child);
      l[37] = static_cast<uint8_t>(child == kAdoptedRin && mrin == kAdoptiveMrin ? 'a' : 'b');
      PutI32(elder == 0 ? r : g_famlink[elder], elder == 0 ? 12 : 4, fl);
      elder = fl;
      // A child with parents already: this link is the next set of parents.
      int32_t last = GetI32(g_indiv[child], 8);
      if (last == 0) {
        PutI32(g_indiv[child], 8, fl);
        continue;
      }
      while (GetI32(g_famlink[last], 8) != 0) last = GetI32(g_famlink[last], 8);
      PutI32(g_famlink[last], 8, fl);
    }
  }
  Put(g_marr[1], 76, Ordinance({1969, 11, 20, kExact, kLingfield}, 1));
  Put(g_famlink[1], 16, Ordinance({1970, 1, 15, kExact, kLingfield}, 1));
}

void BuildNotesAndCitations() {
  PutI32(g_indiv[1], 12, AddNote(kBiography, 'I', 1));
  PutI32(g_indiv[25], 12,
         AddNote("Born Walter Pryce; brought up by Thomas and Alice Whitcombe of Clifton after "
                 "his mother died in 1894. He sometimes signed himself W. Whitcombe.",
                 'I', 25));
  PutI32(g_marr[2], 28,
         AddNote("Married by licence at Keynsham; witnesses George Aldridge and Sarah Aldridge.",
                 'M', 2));
  std::map<int, int32_t> last_cit;
  for (const Citation& c : kCitations) {
    const int32_t n = g_cit.Add();
    Bytes& r = g_cit[n];
    if (c.text) PutI32(r, 0, AddNote(c.text, 'C', n));
    PutText(r, 4, c.page);
    Put(r, 96, EncodeDate(c.recorded));
    if (c.comment) PutI32(r, 108, AddNote(c.comment, 'C', n));
    PutI32(r, 128, c.rin);
    r[132] = static_cast<uint8_t>(c.owner_type);
    Bytes& ind = g_indiv[c.rin];
    ind[203] = static_cast<uint8_t>(ind[203] + 1);
    if (c.owner_type != 'A') continue;
    if (last_cit[c.rin] == 0) PutI32(ind, 16, n);
    Chain(g_cit, last_cit[c.rin], n, 120, 124);
    last_cit[c.rin] = n;
  }
}

void BuildMedia(TevFile& f) {
  for (const Media& m : kMedia) {
    const int32_t n = g_media.Add();
    Bytes& r = g_media[n];
    PutI32(r, 0, m.owner);
    PutI32(r, 12, f.AppendNameRec(0, 0, 0, 2, m.path));
    if (m.caption) PutI32(r, 16, AddNote(m.caption, 'P', n));
    if (m.description) PutI32(r, 20, AddNote(m.description, 'P', n));
    if (m.audio) PutI32(r, 24, f.AppendNameRec(0, 0, 0, 2, m.audio));
    r[28] = 'P';
    r[29] = m.owner_type;
    r[30] = m.flags;
    const int step = n - 1;
    const int sizes[6] = {800 + 200 * step, 600 + 150 * step, 10, 590 + 150 * step, 12,
                          788 + 200 * step};  // width, height, clip top, bottom, left, right
    for (size_t k = 0; k < 6; ++k) PutI16(r, 31 + 2 * k, static_cast<int16_t>(sizes[k]));
    PutU16(r, 43, static_cast<uint16_t>(4 + n));  // slide time
    if (m.owner_type != 132) {
      PutI32(g_indiv[m.owner], 32, n);
      continue;
    }
    Bytes& cit = g_cit[m.owner];
    if (GetI32(cit, 112) == 0) {
      PutI32(cit, 112, n);
      continue;
    }
    int32_t last = GetI32(cit, 112);
    while (GetI32(g_media[last], 4) != 0) last = GetI32(g_media[last], 4);
    Chain(g_media, last, n, 4, 8);
  }
}

void BuildUserEvents() {
  std::map<std::pair<char, int>, int32_t> last_event;
  for (const UserEvent& e : kUserEvents) {
    const bool of_person = e.owner_type == 'I';
    const int32_t n = g_uevent.Add();
    Bytes& r = g_uevent[n];
    PutI32(r, 8, e.owner);
    PutI32(r, 16, e.type);
    Put(r, 20, EventData(e.when, of_person ? AgeAt(kPeople[e.owner - 1].birth, e.when) : 0, e.cit));
    r[44] = static_cast<uint8_t>(e.owner_type);
    r[45] = static_cast<uint8_t>(e.flags == 0x03);  // confidential
    r[46] = e.flags;
    int32_t& last = last_event[{e.owner_type, e.owner}];
    if (last == 0) PutI32(of_person ? g_indiv[e.owner] : g_marr[e.owner], of_person ? 28 : 24, n);
    Chain(g_uevent, last, n, 0, 4);
    last = n;
  }
}

// Links the index tree: distinct names medians first; identical names one
// after another in the reverse of their walk order; second names last, as
// leaves. Returns the root, or 0 when the walk does not come out in order.
int32_t BuildIndexTree(std::vector<Node>& nodes, const std::vector<int32_t>& second_name_nodes) {
  std::vector<int32_t> firsts;
  for (int32_t n = 1; n <= kPersons; ++n) firsts.push_back(n);
  const auto key = [&](int32_t n) -> const std::string& {
    return nodes[static_cast<size_t>(n)].key;
  };
  std::stable_sort(firsts.begin(), firsts.end(),
                   [&](int32_t a, int32_t b) { return CompareKeys(key(a), key(b)) < 0; });
  std::vector<std::vector<int32_t>> groups;
  for (int32_t n : firsts) {
    if (groups.empty() || CompareKeys(key(groups.back()[0]), key(n)) != 0) groups.emplace_back();
    groups.back().push_back(n);
  }
  for (auto& g : groups)
    for (const auto& wanted : kWalkOrder)
      if (std::is_permutation(g.begin(), g.end(), wanted.begin(), wanted.end()))
        g.assign(wanted.begin(), wanted.end());
  std::vector<int> order;
  BalancedOrder(0, static_cast<int>(groups.size()) - 1, order);
  int32_t root = 0;
  for (int gi : order) {
    const auto& g = groups[static_cast<size_t>(gi)];
    for (auto it = g.rbegin(); it != g.rend(); ++it) Insert(nodes, root, *it);
  }
  for (int32_t n : second_name_nodes) Insert(nodes, root, n);

  std::vector<int32_t> walk;
  Walk(nodes, root, walk);
  bool sorted = walk.size() == nodes.size() - 1;
  for (size_t i = 1; i < walk.size(); ++i)
    sorted = sorted && CompareKeys(key(walk[i - 1]), key(walk[i])) <= 0;
  for (const auto& wanted : kWalkOrder)
    sorted =
        sorted && std::search(walk.begin(), walk.end(), wanted.begin(), wanted.end()) != walk.end();
  return sorted ? root : 0;
}

// Stores the tables. The last individual comes after all other records, so
// the two pages of table 2 are not next to each other.
void StoreTables(TevFile& f, const std::vector<Node>& nodes) {
  for (size_t n = 1; n < nodes.size(); ++n)
    f.AppendIndexNode(nodes[n].greater, nodes[n].lesser, nodes[n].parent, nodes[n].name);
  const size_t per_page = static_cast<size_t>(kPageSize) / g_indiv.size;
  for (size_t i = 0; i < per_page && i < g_indiv.rows.size(); ++i)
    f.AppendRecord(g_indiv.number, g_indiv.rows[i]);
  for (const Table* t : {&g_marr, &g_note, &g_famlink, &g_cit, &g_uevent, &g_uetype, &g_media})
    for (const Bytes& r : t->rows) f.AppendRecord(t->number, r);
  for (size_t i = per_page; i < g_indiv.rows.size(); ++i)
    f.AppendRecord(g_indiv.number, g_indiv.rows[i]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample PATH\n");
    return 2;
  }
  TevFile f(1);
  // Every name record is written before the fixed-size records, so that the
  // name pages lie together at the start of region 0.
  WritePlaces(f);
  std::vector<int32_t> second_name_nodes;
  std::vector<Node> nodes = WriteNames(f, second_name_nodes);
  BuildEventTypes(f);
  BuildIndividuals(nodes);
  BuildMarriages();
  BuildNotesAndCitations();
  BuildMedia(f);
  BuildUserEvents();
  const int32_t root = BuildIndexTree(nodes, second_name_nodes);
  if (root == 0) {
    std::fprintf(stderr, "make_sample: the index tree came out wrong\n");
    return 3;
  }
  const int name_pages = f.PageCount(0, kNameTable);
  StoreTables(f, nodes);

  f.SetHeaderI32(22, kPersons);                                // individual bound
  f.SetHeaderI32(42, static_cast<int32_t>(nodes.size() - 1));  // index node bound
  f.SetRootNode(root);
  f.SetHeaderI32(70, static_cast<int32_t>(PageOffset(0, 1)));  // name area
  f.SetHeaderI32(74, static_cast<int32_t>(PageOffset(0, 1 + name_pages) - 1));
  // Last changed on Saturday 5 March 2011 at 14:22:10.000, local time.
  const uint16_t kChanged[8] = {2011, 3, 6, 5, 14, 22, 10, 0};
  Bytes stamp;
  for (size_t i = 0; i < 8; ++i) PutU16(stamp, 2 * i, kChanged[i]);
  f.SetHeaderBytes(1637, stamp);

  if (!f.Write(argv[1])) {
    std::fprintf(stderr, "make_sample: cannot write %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  return 0;
}
