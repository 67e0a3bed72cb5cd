// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchFiles.h"

#include <cstdio>
#include <stdexcept>

#include "TevWriter.h"

namespace bench {
namespace {

using tevwriter::PageOffset;
using tevwriter::TevFile;

constexpr int kIndividTable = 2;
constexpr int kIndividSize = 221;
constexpr int kIndividPerPage = 37;
constexpr int kNodeTable = 10;
constexpr int kNodeSize = 16;
constexpr int kNodesPerPage = 512;
constexpr int kLargeRegions = 5;
// Pages 1 to this of each region of the large file hold individuals.
constexpr int kIndividPagesPerRegion =
    (kIndividuals / kIndividPerPage + kLargeRegions) / kLargeRegions + 1;
constexpr int kFirstNodePage = kIndividPagesPerRegion + 1;  // in region 0

void WriteOrThrow(const TevFile& file, const std::string& path) {
  if (!file.Write(path)) throw std::runtime_error("cannot write " + path);
}

// A few pages of tables 2, 3 and 10 in every region; everything else zero.
void WriteSparse(const std::string& path) {
  TevFile f(31);
  for (int r = 0; r < 31; ++r) {
    f.AddPage(r, 1 + r, kIndividTable);
    f.AddPage(r, 100 + 3 * r, kIndividTable);
    f.AddPage(r, 4000, kNodeTable);
    f.AddPage(r, 8000 - r, 3);
  }
  WriteOrThrow(f, path);
}

// Every page 1 to 8191 of every region owned, by tables 1 to 32 in turn.
void WriteFull(const std::string& path) {
  TevFile f(31);
  for (int r = 0; r < 31; ++r) {
    int counts[33] = {};
    counts[11] = 1;  // the map's own page
    for (int p = 1; p < 8192; ++p) {
      const int table = 1 + (7 * p + r) % 32;
      f.SetMapByte(r, p, static_cast<uint8_t>(table));
      ++counts[table];
    }
    for (int t = 1; t <= 32; ++t) f.SetPageCount(r, t, static_cast<int16_t>(counts[t]));
  }
  WriteOrThrow(f, path);
}

int64_t IndividOffset(int32_t rin) {
  const int32_t q = (rin - 1) / kIndividPerPage;
  return PageOffset(q / kIndividPagesPerRegion, 1 + q % kIndividPagesPerRegion) +
         int64_t{(rin - 1) % kIndividPerPage} * kIndividSize;
}

int64_t NodeOffset(int32_t node) {
  return PageOffset(0, kFirstNodePage + (node - 1) / kNodesPerPage) +
         int64_t{(node - 1) % kNodesPerPage} * kNodeSize;
}

// Node numbers are positions in name order plus 1; the node of [lo, hi) is
// its middle one, its children those of the halves.
int32_t LinkTree(TevFile& f, int32_t lo, int32_t hi, int32_t parent) {
  if (lo >= hi) return 0;
  const int32_t mid = lo + (hi - lo) / 2;
  const int32_t node = mid + 1;
  const int64_t at = NodeOffset(node);
  f.PatchI32(at + 0, LinkTree(f, mid + 1, hi, node));  // greater
  f.PatchI32(at + 4, LinkTree(f, lo, mid, node));      // lesser
  f.PatchI32(at + 8, parent);
  return node;
}

void WriteLarge(const std::string& path, BenchFiles& out) {
  TevFile f(kLargeRegions);
  const int individ_pages = (kIndividuals + kIndividPerPage - 1) / kIndividPerPage;
  for (int q = 0; q < individ_pages; ++q)
    f.AddPage(q / kIndividPagesPerRegion, 1 + q % kIndividPagesPerRegion, kIndividTable);
  for (int q = 0; q < (kIndexNodes + kNodesPerPage - 1) / kNodesPerPage; ++q)
    f.AddPage(0, kFirstNodePage + q, kNodeTable);

  // Names in key order, two individuals to each name, one node per name
  // record; the first 100,000 individuals have two names, chained.
  char text[64];
  for (int32_t i = 0; i < kIndexNodes; ++i) {
    std::snprintf(text, sizeof text, "Person /Family%06d/", i / 2);
    const int32_t offset = f.AppendINameRec(0, 0, i % kIndividuals + 1, 1, text);
    out.iname_offsets.push_back(offset);
    f.PatchI32(NodeOffset(i + 1) + 12, offset);
  }
  for (int32_t i = kIndividuals; i < kIndexNodes; ++i) {
    const int32_t first = out.iname_offsets[static_cast<size_t>(i - kIndividuals)];
    const int32_t second = out.iname_offsets[static_cast<size_t>(i)];
    f.PatchI32(first, second);      // nNext
    f.PatchI32(second + 4, first);  // nPrevious
  }
  for (int32_t i = 0; i < kPlaceNames; ++i) {
    std::snprintf(text, sizeof text, "Parish %d, County of Somewhere, Land", i);
    out.name_offsets.push_back(f.AppendNameRec(0, 0, 0, 2, text));
  }
  // Every individual: its first name, a sex and a birth in one of the
  // places (date type 2, the day number of a day in 1850 to 1900).
  for (int32_t rin = 1; rin <= kIndividuals; ++rin) {
    const int64_t at = IndividOffset(rin);
    f.PatchI32(at, out.iname_offsets[static_cast<size_t>(rin - 1)]);
    const uint32_t day = 2396759 + static_cast<uint32_t>(rin % 18000);
    f.Patch(at + 64, {2, 0, 0, 0, uint8_t(day), uint8_t(day >> 8), uint8_t(day >> 16)});
    f.PatchI32(at + 64 + 12, out.name_offsets[static_cast<size_t>(rin % kPlaceNames)]);
    f.Patch(at + 202, {uint8_t(rin % 2 != 0 ? 'M' : 'F')});
  }
  f.SetRootNode(LinkTree(f, 0, kIndexNodes, 0));
  f.SetHeaderI32(22, kIndividuals);  // individual bound
  f.SetHeaderI32(42, kIndexNodes);   // index node bound
  f.SetHeaderI32(70, static_cast<int32_t>(PageOffset(0, 1)));
  f.SetHeaderI32(74, static_cast<int32_t>(PageOffset(1, 0) - 1));
  WriteOrThrow(f, path);
}

}  // namespace

BenchFiles WriteBenchFiles(const std::string& dir) {
  BenchFiles files;
  files.sparse31 = dir + "/sparse31.tev";
  files.full31 = dir + "/full31.tev";
  files.large = dir + "/large.tev";
  WriteSparse(files.sparse31);
  WriteFull(files.full31);
  WriteLarge(files.large, files);
  return files;
}

}  // namespace bench
