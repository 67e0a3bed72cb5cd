// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the database engine and the record windows, each beside the
// bare system calls (or the bare toolkit work) that do the same thing, run
// in the same process on the same files, so that their ratio holds on a busy
// machine. Prints a table of project time, bare time and their ratio (min
// and median over the repetitions) and the memory an open allocates.
//
//   kinscope_bench [--benchmark_repetitions=N ...]   (scripts/bench runs it)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QString>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <ostream>
#include <random>
#include <regex>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "BenchFiles.h"
#include "Explor1.h"
#include "RecordTypes.h"
#include "RecordWindow.h"
#include "RecordWindowTable.h"
#include "TEVDatabase.h"
#include "Coding.h"
#include "Dump.h"
#include "FileCheck.h"
#include "FileMapView.h"
#include "NameList.h"
#include "Gedcom.h"
#include "NameFind.h"
#include "PlatformSeam.h"
#include "RecordLayouts.h"
#include "SameNameReorder.h"
#include "TreeCheck.h"

// Every allocation of the process is counted, so that the memory an open
// takes can be told.
namespace {
size_t g_allocated = 0;  // bytes handed out, ever
size_t g_allocations = 0;
size_t g_live = 0;  // bytes handed out and not yet freed
size_t g_peak = 0;  // the most g_live has been since it was last reset
}  // namespace

void* operator new(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  const size_t usable = malloc_usable_size(p);
  g_allocated += size;
  ++g_allocations;
  g_live += usable;
  if (g_live > g_peak) g_peak = g_live;
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  g_live -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

using kinscope::CTEVDatabase;

bench::BenchFiles g_files;
std::string g_sample;

// A file opened for the bare reads; closed at exit.
int OpenFd(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(path.c_str());
    std::exit(2);
  }
  return fd;
}

void Pread(int fd, void* buffer, size_t count, int64_t offset) {
  benchmark::DoNotOptimize(::pread(fd, buffer, count, static_cast<off_t>(offset)));
}

// Opens `path` for the engine, read-only unless `mode` is 0; exits when it
// cannot.
void OpenOrExit(CTEVDatabase& db, const std::string& path, int32_t mode = 1) {
  if (db.OpenDatabase(path, mode) != kinscope::kOpenOk) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    std::exit(2);
  }
}

// Open and close ---------------------------------------------------------

void OpenProject(benchmark::State& state, const std::string* path) {
  for (auto _ : state) {
    CTEVDatabase db;
    benchmark::DoNotOptimize(db.OpenDatabase(*path, 1));
    db.CloseDatabase();
  }
}

// An open followed by one lookup in each of the 31 regions (the first record
// of table 2 there), so that every region's page list is made.
void OpenLookupProject(benchmark::State& state, const std::string* path) {
  std::vector<int32_t> firsts;
  {
    CTEVDatabase db;
    OpenOrExit(db, *path);
    int32_t before = 0;
    for (int r = 0; r < 31; ++r) {
      firsts.push_back(before + 1);
      before += db.PageCount(r, 2) * 37;
    }
    db.CloseDatabase();
  }
  for (auto _ : state) {
    CTEVDatabase db;
    benchmark::DoNotOptimize(db.OpenDatabase(*path, 1));
    for (int32_t n : firsts) benchmark::DoNotOptimize(db.LocateRecord(n, 2, 221, 37));
    db.CloseDatabase();
  }
}

// What opening does on the file: open, lock, header, every page map, the
// page-count table, close.
void OpenBare(benchmark::State& state, const std::string* path) {
  std::array<uint8_t, 8192> buffer{};
  int regions = 0;
  {
    const int fd = OpenFd(*path);
    Pread(fd, buffer.data(), 1685, 0);
    regions = std::min(31, static_cast<int>(buffer[18] | buffer[19] << 8));
    ::close(fd);
  }
  for (auto _ : state) {
    const int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(::flock(fd, LOCK_SH | LOCK_NB));
    Pread(fd, buffer.data(), 1685, 0);
    for (int r = 0; r < regions; ++r)
      Pread(fd, buffer.data(), 8192, int64_t{r} * kinscope::kRegionSize + kinscope::kRegionBase);
    Pread(fd, buffer.data(), 8192, kinscope::kPageCountOffset);
    ::close(fd);
  }
}

// The bare open and one pass over each page map, counting its pages by
// table: what making every region's page list needs at least.
void OpenMapPassBare(benchmark::State& state, const std::string* path) {
  std::vector<std::array<uint8_t, 8192>> maps(31);
  std::array<uint8_t, 1685> header{};
  int regions = 0;
  {
    const int fd = OpenFd(*path);
    Pread(fd, header.data(), header.size(), 0);
    regions = std::min(31, static_cast<int>(header[18] | header[19] << 8));
    ::close(fd);
  }
  std::array<int32_t, 256> counts{};
  for (auto _ : state) {
    const int fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
    benchmark::DoNotOptimize(::flock(fd, LOCK_SH | LOCK_NB));
    Pread(fd, header.data(), header.size(), 0);
    for (int r = 0; r < regions; ++r) {
      auto& map = maps[static_cast<size_t>(r)];
      Pread(fd, map.data(), map.size(), int64_t{r} * kinscope::kRegionSize + kinscope::kRegionBase);
      for (uint8_t b : map) ++counts[b];
    }
    Pread(fd, maps[30].data(), 8192, kinscope::kPageCountOffset);
    ::close(fd);
    benchmark::DoNotOptimize(counts.data());
  }
}

// Record reads -------------------------------------------------------------

// Random RINs of the large file and their offsets.
struct RinSet {
  std::vector<int32_t> rins;
  std::vector<int64_t> offsets;
};

const RinSet& Rins() {
  static const RinSet set = [] {
    RinSet s;
    std::mt19937 random(13);
    std::uniform_int_distribution<int32_t> pick(1, bench::kIndividuals);
    CTEVDatabase db;
    OpenOrExit(db, g_files.large);
    for (int i = 0; i < 4096; ++i) {
      s.rins.push_back(pick(random));
      s.offsets.push_back(db.LocateRecord(s.rins.back(), 2, 221, 37));
    }
    db.CloseDatabase();
    return s;
  }();
  return set;
}

void LoadIndividProject(benchmark::State& state) {
  const RinSet& set = Rins();
  CTEVDatabase db;
  OpenOrExit(db, g_files.large);
  kinscope::IndividImage record{};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(db.LoadIndivid(record, set.rins[i++ % set.rins.size()]));
  }
  db.CloseDatabase();
}

void LoadIndividBare(benchmark::State& state) {
  const RinSet& set = Rins();
  const int fd = OpenFd(g_files.large);
  std::array<uint8_t, 221> record{};
  size_t i = 0;
  for (auto _ : state) Pread(fd, record.data(), 221, set.offsets[i++ % set.offsets.size()]);
  ::close(fd);
}

// Record numbers spread over the tables and the 31 regions of the sparse
// file, some of them not found.
struct Query {
  int32_t number;
  int table;
  int size;
  int per_page;
};

const std::vector<Query>& Queries() {
  static const std::vector<Query> queries = [] {
    std::vector<Query> q;
    for (int32_t n = 1; n <= 31 * 74; n += 37) q.push_back({n, 2, 221, 37});
    for (int32_t n = 1; n <= 31 * 512; n += 1000) q.push_back({n, 10, 16, 512});
    for (int32_t n = 1; n <= 31 * 77; n += 200) q.push_back({n, 3, 106, 77});
    for (int32_t n : {0, -5, 31 * 74 + 1, 1000000}) q.push_back({n, 2, 221, 37});
    q.push_back({1, 7, 100, 81});  // a table without pages
    std::shuffle(q.begin(), q.end(), std::mt19937(13));
    return q;
  }();
  return queries;
}

void LocateProject(benchmark::State& state) {
  const std::vector<Query>& queries = Queries();
  CTEVDatabase db;
  OpenOrExit(db, g_files.sparse31);
  size_t i = 0;
  for (auto _ : state) {
    const Query& q = queries[i++ % queries.size()];
    benchmark::DoNotOptimize(db.LocateRecord(q.number, q.table, q.size, q.per_page));
  }
  db.CloseDatabase();
}

// The read that a located record costs, for scale.
void LocateBare(benchmark::State& state) {
  std::vector<int64_t> offsets;
  {
    CTEVDatabase db;
    OpenOrExit(db, g_files.sparse31);
    for (const Query& q : Queries()) {
      const int64_t at = db.LocateRecord(q.number, q.table, q.size, q.per_page);
      if (at != 0) offsets.push_back(at);
    }
    db.CloseDatabase();
  }
  const int fd = OpenFd(g_files.sparse31);
  std::array<uint8_t, 221> record{};
  size_t i = 0;
  for (auto _ : state) Pread(fd, record.data(), 221, offsets[i++ % offsets.size()]);
  ::close(fd);
}

// Name records -------------------------------------------------------------

enum class NameRead { kLoadNameRec, kNameRecText, kLoadINameRec };

void NameProject(benchmark::State& state, NameRead what) {
  const std::vector<int32_t>& offsets =
      what == NameRead::kLoadINameRec ? g_files.iname_offsets : g_files.name_offsets;
  CTEVDatabase db;
  OpenOrExit(db, g_files.large);
  kinscope::NameRecImage name{};
  kinscope::INameRecImage iname{};
  size_t i = 0;
  for (auto _ : state) {
    const int32_t at = offsets[(i++ * 7919) % offsets.size()];
    switch (what) {
      case NameRead::kLoadNameRec:
        benchmark::DoNotOptimize(db.LoadNameRec(at, name));
        break;
      case NameRead::kNameRecText:
        benchmark::DoNotOptimize(db.NameRecText(at));
        break;
      case NameRead::kLoadINameRec:
        benchmark::DoNotOptimize(db.LoadINameRec(at, iname));
        break;
    }
  }
  db.CloseDatabase();
}

void NameBare(benchmark::State& state, NameRead what) {
  const bool iname = what == NameRead::kLoadINameRec;
  const std::vector<int32_t>& offsets = iname ? g_files.iname_offsets : g_files.name_offsets;
  const size_t length = iname ? kinscope::kINameRecRead : kinscope::kNameRecRead;
  const int fd = OpenFd(g_files.large);
  std::array<uint8_t, 272> buffer{};
  size_t i = 0;
  for (auto _ : state) Pread(fd, buffer.data(), length, offsets[(i++ * 7919) % offsets.size()]);
  ::close(fd);
}

// The index tree -----------------------------------------------------------

void TreeWalkProject(benchmark::State& state) {
  CTEVDatabase db;
  OpenOrExit(db, g_files.large);
  for (auto _ : state) benchmark::DoNotOptimize(CheckIndexTree(db).order.size());
  db.CloseDatabase();
}

// The reads of the walk: each node in order and its individual's name record.
void TreeWalkBare(benchmark::State& state) {
  std::vector<std::pair<int64_t, int32_t>> reads;
  {
    CTEVDatabase db;
    OpenOrExit(db, g_files.large);
    for (int32_t node : CheckIndexTree(db).order) {
      reads.emplace_back(db.LocateRecord(node, 10, 16, 512),
                         g_files.iname_offsets[static_cast<size_t>(node - 1)]);
    }
    db.CloseDatabase();
  }
  const int fd = OpenFd(g_files.large);
  std::array<uint8_t, 272> buffer{};
  for (auto _ : state) {
    for (const auto& [node_at, name_at] : reads) {
      Pread(fd, buffer.data(), 16, node_at);
      Pread(fd, buffer.data(), kinscope::kINameRecRead, name_at);
    }
  }
  ::close(fd);
}

// Whole-file work on the family file ------------------------------------------

bench::FamilyFile g_family;
std::string g_scratch;

// Reads as (offset, length), made in the order an operation makes them.
using Reads = std::vector<std::pair<int64_t, uint32_t>>;

// While set, every pread of the process is noted here, in the order made.
Reads* g_recorded_reads = nullptr;

}  // namespace

// Every pread of the process, the engine's included, passes here on its way
// to the system, so that the reads an operation makes can be noted. Declared
// as the C library declares it, with no exception specification (a
// cancellation point may unwind), so that g++ and clang++ both take it.
extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  if (g_recorded_reads != nullptr)
    g_recorded_reads->emplace_back(offset, static_cast<uint32_t>(count));
  return static_cast<ssize_t>(::syscall(SYS_pread64, fd, buffer, count, offset));
}

namespace {

// The reads `operation` makes on the family file, opened read-only with no
// read cache: the bare side of an operation whose reads are too many kinds
// to list by hand.
Reads RecordReads(const std::function<void(CTEVDatabase&)>& operation) {
  Reads reads;
  CTEVDatabase db;
  OpenOrExit(db, g_family.path);
  g_recorded_reads = &reads;
  operation(db);
  g_recorded_reads = nullptr;
  db.CloseDatabase();
  if (reads.empty()) std::fprintf(stderr, "warning: no reads were recorded\n");
  return reads;
}

void BareReads(benchmark::State& state, const Reads& reads) {
  const int fd = OpenFd(g_family.path);
  std::array<uint8_t, 8192> buffer{};
  for (auto _ : state) {
    for (const auto& [at, length] : reads) Pread(fd, buffer.data(), length, at);
  }
  ::close(fd);
}

// A stream that throws the output away.
class Discard : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The walk's reads: each node in order and its individual's name record.
const Reads& WalkReads() {
  static const Reads reads = [] {
    Reads r;
    CTEVDatabase db;
    OpenOrExit(db, g_family.path);
    kinscope::IndexWalk walk(db);
    kinscope::IndexEntry e;
    while (walk.Next(e)) {
      r.emplace_back(db.LocateRecord(e.node, 10, 16, 512), 16);
      r.emplace_back(kinscope::DecodeI32(e.image.data(), kinscope::indexnode::kName),
                     static_cast<uint32_t>(kinscope::kINameRecRead));
    }
    return r;
  }();
  return reads;
}

// Find's reads: each entry found, its name record and its individual.
const Reads& FindReads() {
  static const Reads reads = [] {
    Reads r;
    CTEVDatabase db;
    OpenOrExit(db, g_family.path);
    for (const kinscope::NameMatch& m :
         kinscope::FindNames(db, g_family.common_surname, SIZE_MAX).matches) {
      kinscope::IndexNodeImage node{};
      db.LoadIndexNode(node, m.node);
      r.emplace_back(db.LocateRecord(m.node, 10, 16, 512), 16);
      r.emplace_back(kinscope::DecodeI32(node.data(), kinscope::indexnode::kName),
                     static_cast<uint32_t>(kinscope::kINameRecRead));
      r.emplace_back(db.LocateRecord(m.rin, 2, 221, 37), 221);
    }
    return r;
  }();
  return reads;
}

// The check's reads: every record slot of the tables it goes through, each
// individual's chain of name records, and the walk's reads.
const Reads& CheckReads() {
  static const Reads reads = [] {
    Reads r;
    CTEVDatabase db;
    OpenOrExit(db, g_family.path);
    for (const kinscope::TableSpec* t :
         {&kinscope::kIndividTable, &kinscope::kNoteTable, &kinscope::kCitTable,
          &kinscope::kMediaTable, &kinscope::kMarrTable, &kinscope::kFamLinkTable}) {
      for (int32_t n = 1;; ++n) {
        const int64_t at = db.LocateRecord(n, t->table, t->size, t->per_page);
        if (at == 0) break;
        r.emplace_back(at, static_cast<uint32_t>(t->size));
        if (t != &kinscope::kIndividTable) continue;
        kinscope::IndividImage person{};
        db.LoadIndivid(person, n);
        kinscope::INameRecImage name{};
        for (int32_t link = kinscope::DecodeI32(person.data(), kinscope::individ::kStartnames);
             link > 0; link = kinscope::DecodeI32(name.data(), kinscope::iname::kNext)) {
          r.emplace_back(link, static_cast<uint32_t>(kinscope::kINameRecRead));
          if (db.LoadINameRec(link, name) == 0) break;
        }
      }
    }
    r.insert(r.end(), WalkReads().begin(), WalkReads().end());
    return r;
  }();
  return reads;
}

kinscope::gedcom::Counts ExportToNowhere(CTEVDatabase& db, bool read_cache = true);

// The GEDCOM export's reads, as it makes them without its read cache: every
// record it writes, each name record, place and note block it reads, in its
// order.
const Reads& GedcomReads() {
  static const Reads reads = RecordReads([](CTEVDatabase& db) { ExportToNowhere(db, false); });
  return reads;
}

// The common surname as a user might type it: in small letters, its first
// vowel with an acute accent (UTF-8), so that no key starts with it as typed.
const std::string& Accented() {
  static const std::string text = [] {
    std::string t;
    bool accented = false;
    for (const char c : g_family.common_surname) {
      const char small = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      static const char kVowels[] = "aeiou";
      const char* vowel = std::strchr(kVowels, small);
      if (!accented && small != 0 && vowel != nullptr) {
        static const char* const kAcute[] = {"\xC3\xA1", "\xC3\xA9", "\xC3\xAD", "\xC3\xB3",
                                             "\xC3\xBA"};
        t += kAcute[vowel - kVowels];
        accented = true;
      } else {
        t += small;
      }
    }
    return t;
  }();
  return text;
}

// The main window's list of every name on the family file: the time from
// asking for it to the rows of a screen read, the time to gather every row,
// the most memory held while it gathers and what it holds after.
struct ListFigures {
  std::vector<double> first_ns, all_ns;
  size_t peak = 0;
  size_t held = 0;
  int rows = 0;
};

ListFigures MeasureList() {
  ListFigures f;
  CTEVDatabase db;
  OpenOrExit(db, g_family.path);
  for (int run = 0; run < 5; ++run) {
    const size_t base = g_live;
    g_peak = g_live;
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&start] {
      return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
          .count();
    };
    kinscope::TNameList list;
    list.ListIndex(db);
    for (int row = 0; row < 30 && row < list.rowCount(); ++row) {
      for (int column = 0; column < 3; ++column)
        benchmark::DoNotOptimize(list.index(row, column).data());
    }
    f.first_ns.push_back(since());
    list.FillAll();
    f.all_ns.push_back(since());
    f.peak = g_peak - base;
    f.held = g_live - base;
    f.rows = list.rowCount();
  }
  db.CloseDatabase();
  return f;
}

// A whole-file operation on the family file, and the reads it needs. A new
// whole-file operation is one more entry in WholeFileCases.
struct WholeFileCase {
  std::string name;
  std::function<void(CTEVDatabase&)> run;  // on the family file, opened read-only
  const Reads& (*reads)();
};

std::vector<WholeFileCase> WholeFileCases() {
  static Discard discard;
  static std::ostream out(&discard);
  return {
      {"index walk (CheckIndexTree)",
       [](CTEVDatabase& db) {
         benchmark::DoNotOptimize(kinscope::CheckIndexTree(db).order.size());
       },
       WalkReads},
      {"kinscope-dump index (vs the walk's reads)",
       [](CTEVDatabase& db) {
         benchmark::DoNotOptimize(kinscope::dump::WriteIndex(db, out, false).status);
       },
       WalkReads},
      {"kinscope-dump index --json (vs the walk's reads)",
       [](CTEVDatabase& db) {
         benchmark::DoNotOptimize(kinscope::dump::WriteIndex(db, out, true).status);
       },
       WalkReads},
      {"kinscope-dump find SURNAME",
       [](CTEVDatabase& db) {
         benchmark::DoNotOptimize(
             kinscope::dump::WriteFind(db, g_family.common_surname, out, false).status);
       },
       FindReads},
      // Forgiving finds walk the whole index: by spelling when nothing starts
      // as typed (the surname in small letters with its first vowel
      // accented), and by spelling and sound with --like.
      {"kinscope-dump find by spelling, nothing as typed (vs the walk's reads)",
       [](CTEVDatabase& db) {
         benchmark::DoNotOptimize(kinscope::dump::WriteFind(db, Accented(), out, false).status);
       },
       WalkReads},
      {"kinscope-dump find --like SURNAME, spelling and sound (vs the walk's reads)",
       [](CTEVDatabase& db) {
         kinscope::dump::FindOptions like;
         like.like = true;
         benchmark::DoNotOptimize(
             kinscope::dump::WriteFind(db, g_family.common_surname, out, false, like).status);
       },
       WalkReads},
      // The check as kinscope-dump check and Check... run it.
      {"check (CheckDatabase)",
       [](CTEVDatabase& db) { benchmark::DoNotOptimize(kinscope::dump::Check(db).status); },
       CheckReads},
      {"GEDCOM export (vs the reads it makes)",
       [](CTEVDatabase& db) { benchmark::DoNotOptimize(ExportToNowhere(db).people); }, GedcomReads},
  };
}

// kinscope-dump's index command as it runs on the large file: both walks,
// every node's name, owner and key, the runs, and the text written (and
// thrown away).
void DumpIndexProject(benchmark::State& state) {
  Discard discard;
  std::ostream out(&discard);
  CTEVDatabase db;
  OpenOrExit(db, g_files.large);
  for (auto _ : state) benchmark::DoNotOptimize(kinscope::dump::WriteIndex(db, out, false).status);
  db.CloseDatabase();
}

// The whole-file check and the file map ---------------------------------------

void CheckProject(benchmark::State& state) {
  CTEVDatabase db;
  OpenOrExit(db, g_files.large);
  for (auto _ : state) benchmark::DoNotOptimize(kinscope::CheckDatabase(db).findings.size());
  db.CloseDatabase();
}

// The map of every page of a file: its page maps read and drawn, one cell
// of 4 pixels a page, as the check window draws it.
void MapProject(benchmark::State& state, const std::string* path) {
  CTEVDatabase db;
  OpenOrExit(db, *path);
  for (auto _ : state) {
    const QImage image = kinscope::TFileMapView::Render(kinscope::ReadFileMap(db), {}, 4);
    benchmark::DoNotOptimize(image.constBits());
  }
  db.CloseDatabase();
}

// The same maps read, and an image of the same size filled.
void MapBare(benchmark::State& state, const std::string* path) {
  const int fd = OpenFd(*path);
  std::array<uint8_t, 8192> map{};
  Pread(fd, map.data(), 1685, 0);
  const int regions = std::min(31, static_cast<int>(map[18] | map[19] << 8));
  for (auto _ : state) {
    for (int r = 0; r < regions; ++r)
      Pread(fd, map.data(), 8192, int64_t{r} * kinscope::kRegionSize + kinscope::kRegionBase);
    QImage image(kinscope::TFileMapView::kLabelWidth + 128 * 4, regions * (64 * 4 + 6),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    benchmark::DoNotOptimize(image.constBits());
  }
  ::close(fd);
}

// The GEDCOM export -----------------------------------------------------------

// Output that goes nowhere: the export's own work, not the disk's.
class NullBuffer : public std::streambuf {
 public:
  NullBuffer() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

 protected:
  int overflow(int c) override {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return c == traits_type::eof() ? 0 : c;
  }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }

 private:
  std::array<char, 8192> buffer_{};
};

kinscope::gedcom::Counts ExportToNowhere(CTEVDatabase& db, bool read_cache) {
  NullBuffer nowhere;
  std::ostream out(&nowhere);
  kinscope::gedcom::Counts counts;
  kinscope::gedcom::Options options;
  options.read_cache = read_cache;
  kinscope::gedcom::Export(db, out, options, counts);
  return counts;
}

void GedcomProject(benchmark::State& state) {
  CTEVDatabase db;
  OpenOrExit(db, g_files.large);
  for (auto _ : state) benchmark::DoNotOptimize(ExportToNowhere(db).people);
  db.CloseDatabase();
}

// The records the export reads, each once: every individual, its names and
// its birth place.
void GedcomBare(benchmark::State& state) {
  static const std::vector<std::pair<int64_t, size_t>> reads = [] {
    std::vector<std::pair<int64_t, size_t>> r;
    CTEVDatabase db;
    OpenOrExit(db, g_files.large);
    kinscope::IndividImage person{};
    kinscope::INameRecImage name{};
    for (int32_t rin = 1; rin <= bench::kIndividuals; ++rin) {
      r.emplace_back(db.LocateRecord(rin, 2, 221, 37), 221);
      db.LoadIndivid(person, rin);
      for (int32_t at = kinscope::DecodeI32(person.data(), 0); at > 0;
           at = kinscope::DecodeI32(name.data(), 0)) {
        r.emplace_back(at, kinscope::kINameRecRead);
        db.LoadINameRec(at, name);
      }
      r.emplace_back(kinscope::DecodeI32(person.data(), 64 + 12), kinscope::kNameRecRead);
    }
    db.CloseDatabase();
    return r;
  }();
  const int fd = OpenFd(g_files.large);
  std::array<uint8_t, 272> buffer{};
  for (auto _ : state) {
    for (const auto& [at, length] : reads) Pread(fd, buffer.data(), length, at);
  }
  ::close(fd);
}

void WholeFileProject(benchmark::State& state, const WholeFileCase& c) {
  CTEVDatabase db;
  OpenOrExit(db, g_family.path);
  for (auto _ : state) c.run(db);
  db.CloseDatabase();
}

// Peak memory and time of one run of `operation`, apart from the benchmark.
struct Peak {
  std::string name;
  double ns;
  size_t peak;  // most bytes held above what was held before, by the operation
};

Peak MeasurePeak(const std::string& name, const std::function<void()>& operation) {
  const size_t base = g_live;
  g_peak = g_live;
  const auto start = std::chrono::steady_clock::now();
  operation();
  const double ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  return {name, ns, g_peak - base};
}

// Notes every write made to the database file at `path` (offset and
// bytes) and counts the syncs, passing every call on: the writes the
// re-ordering makes, to be made again without it. Its room is taken before
// the run, so that the run's peak memory leaves it out.
class WriteRecorder : public kinscope::platform::FileSeam {
 public:
  explicit WriteRecorder(std::string path) : path_(std::move(path)) {
    writes.reserve(size_t{1} << 20);
    bytes.reserve(size_t{32} << 20);
  }
  kinscope::platform::FileHandle OpenExisting(const std::string& path, bool writable) override {
    const kinscope::platform::FileHandle file = FileSeam::OpenExisting(path, writable);
    if (path == path_) file_ = file;
    return file;
  }
  size_t WriteAt(kinscope::platform::FileHandle file, int64_t offset, const void* buffer,
                 size_t count) override {
    if (file == file_) {
      const auto* from = static_cast<const uint8_t*>(buffer);
      writes.push_back({offset, bytes.size(), count});
      bytes.insert(bytes.end(), from, from + count);
    }
    return FileSeam::WriteAt(file, offset, buffer, count);
  }
  bool Sync(kinscope::platform::FileHandle file) override {
    ++syncs;
    return FileSeam::Sync(file);
  }
  struct Write {
    int64_t offset;
    size_t at;  // in `bytes`
    size_t count;
  };
  std::vector<Write> writes;
  std::vector<uint8_t> bytes;
  size_t syncs = 0;

 private:
  std::string path_;
  kinscope::platform::FileHandle file_ = kinscope::platform::kNoFile;
};

struct ReorderFigures {
  Peak run;
  double walk_ns = 0;    // one index walk (CheckIndexTree) of the file before
  double writes_ns = 0;  // its writes made again through the journal, and committed
  double cpu_ns = 0;     // processor time of the run, the system's included
  size_t writes = 0;
  size_t syncs = 0;  // of the file and its journal, during the run
  int64_t trace_bytes = 0;
};

// The re-ordering of the family file's index, on a copy, once; then one
// index walk of another copy and the same writes made on it through the
// journal, committed as the program commits them.
ReorderFigures MeasureReorder() {
  const std::string copy = g_scratch + "/reorder.tev";
  std::filesystem::copy_file(g_family.path, copy);
  qputenv("XDG_STATE_HOME", QByteArray::fromStdString(g_scratch));  // the trace file goes there
  ReorderFigures f;
  WriteRecorder recorder(copy);
  kinscope::platform::SetSeam(&recorder);
  CTEVDatabase db;
  OpenOrExit(db, copy, 0);
  const std::clock_t cpu = std::clock();
  f.run = MeasurePeak("re-ordering of identical names (a copy)", [&] {
    if (!kinscope::ReorderIdenticalNames(db, copy).Done() || db.CommitChange() != 1) {
      std::fprintf(stderr, "the re-ordering failed\n");
    }
  });
  f.cpu_ns = static_cast<double>(std::clock() - cpu) * 1e9 / CLOCKS_PER_SEC;
  f.syncs = recorder.syncs;
  kinscope::platform::SetSeam(nullptr);
  db.CloseDatabase();
  std::filesystem::remove(copy);
  std::error_code error;
  f.trace_bytes =
      static_cast<int64_t>(std::filesystem::file_size(g_scratch + "/kinscope/tev5x.txt", error));

  std::filesystem::copy_file(g_family.path, copy);
  CTEVDatabase again;
  OpenOrExit(again, copy, 0);
  const auto start = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(kinscope::CheckIndexTree(again).order.size());
  const auto walked = std::chrono::steady_clock::now();
  for (const WriteRecorder::Write& w : recorder.writes) {
    again.WriteAt(static_cast<int32_t>(w.offset), recorder.bytes.data() + w.at,
                  static_cast<int32_t>(w.count));
  }
  again.CommitChange();
  const auto written = std::chrono::steady_clock::now();
  f.walk_ns = std::chrono::duration<double, std::nano>(walked - start).count();
  f.writes_ns = std::chrono::duration<double, std::nano>(written - walked).count();
  f.writes = recorder.writes.size();
  again.CloseDatabase();
  std::filesystem::remove(copy);
  return f;
}

// Record windows -----------------------------------------------------------

class BenchHost : public kinscope::TRecordHost {
 public:
  void OpenRecordWindow(int32_t, int32_t) override {}
  CTEVDatabase* Database() const override { return db; }
  CTEVDatabase* db = nullptr;
};

// Constructs the individual window on RIN 1 of the sample database, fills
// it and shows it, its events (painting included) processed.
void ShowIndividualWindow(BenchHost& host) {
  auto window = kinscope::CreateRecordWindow(kinscope::kIndividualCode, nullptr, host);
  window->ShowRecord(host.db, 1);
  window->show();
  QApplication::processEvents();
}

// The toolkit's share: an empty dialog shown the same way.
void ShowEmptyDialog() {
  QDialog dialog;
  dialog.resize(400, 300);
  dialog.show();
  QApplication::processEvents();
}

void WindowProject(benchmark::State& state) {
  CTEVDatabase db;
  OpenOrExit(db, g_sample);
  BenchHost host;
  host.db = &db;
  for (auto _ : state) ShowIndividualWindow(host);
  db.CloseDatabase();
}

void WindowBare(benchmark::State& state) {
  for (auto _ : state) ShowEmptyDialog();
}

// Report -------------------------------------------------------------------

// Collects the time of every repetition by case and side; prints nothing.
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string& name = run.run_name.function_name;
      const size_t slash = name.rfind('/');
      auto& side = times[name.substr(0, slash)];
      (name.substr(slash + 1) == "project" ? side.first : side.second)
          .push_back(run.GetAdjustedRealTime());
    }
  }
  std::map<std::string, std::pair<std::vector<double>, std::vector<double>>> times;
};

double Min(std::vector<double> v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Nanoseconds in a readable unit.
std::string Time(double ns) {
  char text[32];
  if (ns >= 1e6) std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
  else if (ns >= 1e3) std::snprintf(text, sizeof text, "%.2f us", ns / 1e3);
  else std::snprintf(text, sizeof text, "%.0f ns", ns);
  return text;
}

struct OpenMemory {
  std::string file;
  int regions;
  size_t allocated;
  size_t allocations;
  size_t live_after_close;
  size_t live_after_release;
};

OpenMemory MeasureOpen(const std::string& name, const std::string& path, int regions) {
  auto db = std::make_unique<CTEVDatabase>();
  const size_t allocated = g_allocated;
  const size_t allocations = g_allocations;
  const size_t live = g_live;
  OpenOrExit(*db, path);
  OpenMemory m{name, regions, g_allocated - allocated, g_allocations - allocations, 0, 0};
  db->CloseDatabase();
  m.live_after_close = g_live - live;
  db->ReleasePageLists();
  m.live_after_release = g_live - live;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // --reorder adds the re-ordering of the family file's index (minutes: it
  // writes a trace line at every step).
  bool reorder = false;
  for (int i = 1; i < argc; ++i) reorder = reorder || std::string(argv[i]) == "--reorder";
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The offscreen platform warns about every window it sizes; the table is
  // what this program prints.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && !text.contains(QLatin1String("propagateSizeHints")))
      std::fprintf(stderr, "%s\n", qPrintable(text));
  });

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kinscope-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  g_files = bench::WriteBenchFiles(dir.string());
  g_sample = KINSCOPE_SAMPLE_DB;
  g_scratch = dir.string();
  // The family file is written when a whole-file case is to run.
  static const std::vector<WholeFileCase> whole_file = WholeFileCases();
  bool family_cases = false;
  {
    const std::string filter = benchmark::GetBenchmarkFilter();
    const std::regex selected(filter.empty() || filter == "all" ? "." : filter);
    for (const WholeFileCase& c : whole_file)
      family_cases = family_cases || std::regex_search(c.name + ", family file/project", selected);
  }
  double family_ns = 0;
  if (family_cases || reorder) {
    const auto family_start = std::chrono::steady_clock::now();
    g_family = bench::WriteFamilyFile(dir.string() + "/family.tev");
    family_ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - family_start)
            .count();
  }

  // Go is pressed on the main window, so the toolkit's first-time work is
  // done when the first record window comes: it is measured on its own.
  const auto since = [](std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
        .count();
  };
  const auto main_start = std::chrono::steady_clock::now();
  kinscope::TForm1 main_window;
  main_window.show();
  QApplication::processEvents();
  const double main_window_ns = since(main_start);

  // The first record window of the process.
  double first_window_ns = 0;
  {
    CTEVDatabase db;
    OpenOrExit(db, g_sample);
    BenchHost host;
    host.db = &db;
    const auto start = std::chrono::steady_clock::now();
    ShowIndividualWindow(host);
    first_window_ns = since(start);
    db.CloseDatabase();
  }
  const std::vector<OpenMemory> memory = {MeasureOpen("sparse31", g_files.sparse31, 31),
                                          MeasureOpen("full31", g_files.full31, 31),
                                          MeasureOpen("large", g_files.large, 5)};
  {
    CTEVDatabase db;
    OpenOrExit(db, g_files.large);
    if (!CheckIndexTree(db).Sound()) std::fprintf(stderr, "warning: the large index is unsound\n");
    db.CloseDatabase();
  }

  // The most memory a GEDCOM export of the large file holds at once.
  size_t export_peak = 0;
  size_t export_allocations = 0;
  kinscope::gedcom::Counts exported;
  {
    CTEVDatabase db;
    OpenOrExit(db, g_files.large);
    ExportToNowhere(db);  // every page list made first: the second export holds only its own
    const size_t before = g_live;
    g_peak = g_live;
    export_allocations = g_allocations;
    exported = ExportToNowhere(db);
    export_peak = g_peak - before;
    export_allocations = g_allocations - export_allocations;
    db.CloseDatabase();
  }

  const auto pair = [](const std::string& name, auto project, auto bare) {
    benchmark::RegisterBenchmark((name + "/project").c_str(), project);
    benchmark::RegisterBenchmark((name + "/bare").c_str(), bare);
  };
  pair(
      "open+close sparse31", [](benchmark::State& s) { OpenProject(s, &g_files.sparse31); },
      [](benchmark::State& s) { OpenBare(s, &g_files.sparse31); });
  pair(
      "open+close full31", [](benchmark::State& s) { OpenProject(s, &g_files.full31); },
      [](benchmark::State& s) { OpenBare(s, &g_files.full31); });
  pair(
      "open+lookup in 31 regions+close sparse31",
      [](benchmark::State& s) { OpenLookupProject(s, &g_files.sparse31); },
      [](benchmark::State& s) { OpenBare(s, &g_files.sparse31); });
  pair(
      "open+lookup in 31 regions+close full31",
      [](benchmark::State& s) { OpenLookupProject(s, &g_files.full31); },
      [](benchmark::State& s) { OpenBare(s, &g_files.full31); });
  pair(
      "open+lookup in 31 regions+close full31 (vs open and a pass over each map)",
      [](benchmark::State& s) { OpenLookupProject(s, &g_files.full31); },
      [](benchmark::State& s) { OpenMapPassBare(s, &g_files.full31); });
  pair(
      "open+close large", [](benchmark::State& s) { OpenProject(s, &g_files.large); },
      [](benchmark::State& s) { OpenBare(s, &g_files.large); });
  pair("LoadIndivid", LoadIndividProject, LoadIndividBare);
  pair("LocateRecord (vs pread 221)", LocateProject, LocateBare);
  pair(
      "LoadNameRec", [](benchmark::State& s) { NameProject(s, NameRead::kLoadNameRec); },
      [](benchmark::State& s) { NameBare(s, NameRead::kLoadNameRec); });
  pair(
      "NameRecText", [](benchmark::State& s) { NameProject(s, NameRead::kNameRecText); },
      [](benchmark::State& s) { NameBare(s, NameRead::kNameRecText); });
  pair(
      "LoadINameRec", [](benchmark::State& s) { NameProject(s, NameRead::kLoadINameRec); },
      [](benchmark::State& s) { NameBare(s, NameRead::kLoadINameRec); });
  pair("index walk 300000 nodes", TreeWalkProject, TreeWalkBare);
  pair("kinscope-dump index 300000 nodes (vs the walk's reads)", DumpIndexProject, TreeWalkBare);
  pair("window later (vs empty dialog)", WindowProject, WindowBare);
  pair("check large (vs the index walk's reads)", CheckProject, TreeWalkBare);
  pair(
      "file map of full31 read and drawn",
      [](benchmark::State& s) { MapProject(s, &g_files.full31); },
      [](benchmark::State& s) { MapBare(s, &g_files.full31); });
  pair(
      "file map of large read and drawn",
      [](benchmark::State& s) { MapProject(s, &g_files.large); },
      [](benchmark::State& s) { MapBare(s, &g_files.large); });
  pair("GEDCOM export large (vs the reads of its records)", GedcomProject, GedcomBare);
  if (!g_family.path.empty()) {
    pair(
        "file map of the family file read and drawn",
        [](benchmark::State& s) { MapProject(s, &g_family.path); },
        [](benchmark::State& s) { MapBare(s, &g_family.path); });
  }
  // Whole-file work: seconds a run, so three runs of each side.
  for (const WholeFileCase& c : whole_file) {
    const std::string name = c.name + ", family file";
    benchmark::RegisterBenchmark((name + "/project").c_str(),
                                 [&c](benchmark::State& s) { WholeFileProject(s, c); })
        ->Iterations(1)
        ->Repetitions(3);
    benchmark::RegisterBenchmark((name + "/bare").c_str(),
                                 [&c](benchmark::State& s) { BareReads(s, c.reads()); })
        ->Iterations(1)
        ->Repetitions(3);
  }

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();

  std::printf(
      "| case | project min | project median | bare min | bare median | ratio min |"
      " ratio median |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (const auto& [name, sides] : collector.times) {
    const double pm = Min(sides.first), pd = Median(sides.first);
    const double bm = Min(sides.second), bd = Median(sides.second);
    std::printf("| %s | %s | %s | %s | %s | %.2f | %.2f |\n", name.c_str(), Time(pm).c_str(),
                Time(pd).c_str(), Time(bm).c_str(), Time(bd).c_str(), bm > 0 ? pm / bm : 0.0,
                bd > 0 ? pd / bd : 0.0);
  }
  std::printf("| window first (once) | %s | | | | | |\n", Time(first_window_ns).c_str());
  std::printf("| main window shown, toolkit start (once) | %s | | | | | |\n\n",
              Time(main_window_ns).c_str());

  std::printf(
      "| file | regions | raw maps | allocated by open | allocations | live after close |"
      " live after release |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (const OpenMemory& m : memory) {
    std::printf("| %s | %d | %.1f KB | %.1f KB | %zu | %.1f KB | %.1f KB |\n", m.file.c_str(),
                m.regions, m.regions * 8192 / 1024.0, static_cast<double>(m.allocated) / 1024.0,
                m.allocations, static_cast<double>(m.live_after_close) / 1024.0,
                static_cast<double>(m.live_after_release) / 1024.0);
  }
  std::printf(
      "\nGEDCOM export of large: %lld people, %lld left out; most memory held at once"
      " %.1f KB; %zu allocations\n",
      static_cast<long long>(exported.people), static_cast<long long>(exported.left_out),
      static_cast<double>(export_peak) / 1024.0, export_allocations);

  // Peak memory of each whole-file operation, one run each, and the
  // re-ordering, which changes the file, once on a copy.
  std::fflush(stdout);
  if (!family_cases && !reorder) {
    std::filesystem::remove_all(dir);
    return 0;
  }
  std::vector<Peak> peaks;
  if (family_cases) {
    CTEVDatabase db;
    OpenOrExit(db, g_family.path);
    for (const WholeFileCase& c : whole_file)
      peaks.push_back(MeasurePeak(c.name, [&] { c.run(db); }));
    db.CloseDatabase();
  }
  ReorderFigures reordered;
  if (reorder) {
    reordered = MeasureReorder();
    peaks.push_back(reordered.run);
  }
  ListFigures list;
  if (family_cases) list = MeasureList();
  std::printf(
      "\nFamily file: %d individuals, %d names (%d of them in runs of identical names), "
      "%d marriages, %.0f MB, written in %s; find searches \"%s\".\n\n",
      bench::kPeople, g_family.names, g_family.names_in_runs, g_family.marriages,
      static_cast<double>(g_family.size) / 1e6, Time(family_ns).c_str(),
      g_family.common_surname.c_str());
  std::printf("| whole-file operation (one run) | time | peak memory |\n|---|---:|---:|\n");
  for (const Peak& p : peaks) {
    std::printf("| %s | %s | %.1f MB |\n", p.name.c_str(), Time(p.ns).c_str(),
                static_cast<double>(p.peak) / 1e6);
  }
  if (family_cases) {
    std::printf(
        "\n| the main window's list of every name, family file | min | median |\n"
        "|---|---:|---:|\n| first rows shown (asked for, 30 rows read) | %s | %s |\n"
        "| every row gathered | %s | %s |\n",
        Time(Min(list.first_ns)).c_str(), Time(Median(list.first_ns)).c_str(),
        Time(Min(list.all_ns)).c_str(), Time(Median(list.all_ns)).c_str());
    std::printf(
        "\n%d rows; held once gathered %.2f MB (%.2f bytes a name); most held while gathering "
        "%.1f MB\n",
        list.rows, static_cast<double>(list.held) / 1e6,
        static_cast<double>(list.held) / std::max(list.rows, 1),
        static_cast<double>(list.peak) / 1e6);
  }
  if (reorder) {
    const double bare = reordered.walk_ns + reordered.writes_ns;
    std::printf(
        "\nRe-ordering: %s (processor %s, %zu syncs), against one index walk (%s) and its %zu "
        "writes made again through the journal (%s): %.1fx; its trace %.2f MB.\n",
        Time(reordered.run.ns).c_str(), Time(reordered.cpu_ns).c_str(), reordered.syncs,
        Time(reordered.walk_ns).c_str(), reordered.writes, Time(reordered.writes_ns).c_str(),
        reordered.run.ns / bare, static_cast<double>(reordered.trace_bytes) / 1e6);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
