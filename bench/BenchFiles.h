// SPDX-License-Identifier: GPL-3.0-or-later
// The database files the benchmarks run on, written with the .tev writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Shape of the large file.
constexpr int32_t kIndividuals = 200000;  // table 2, over regions 0 to 4
constexpr int32_t kIndexNodes = 300000;   // table 10, a balanced tree of them
constexpr int32_t kPlaceNames = 2000;     // name records

struct BenchFiles {
  std::string sparse31;                // 31 regions, each map giving a handful of pages
  std::string full31;                  // 31 regions, every page of every map owned
  std::string large;                   // the large file: individuals with names and a birth each
  std::vector<int32_t> name_offsets;   // name records of the large file
  std::vector<int32_t> iname_offsets;  // individual's name records of the large file
};

// Shape of the family file of the whole-file cases.
constexpr int32_t kPeople = 1000000;  // individuals, one or two names each
constexpr int32_t kMarriages = 400000;

struct FamilyFile {
  std::string path;
  int32_t names = 0;  // individual's name records, one index node each
  int32_t marriages = 0;
  int32_t names_in_runs = 0;   // names whose key equals a neighbour's in the index
  std::string common_surname;  // the surname most individuals have
  int64_t size = 0;            // bytes of the file
};

// Writes the family file at `path` (FamilyFile.cpp): kPeople individuals in
// families of kMarriages marriages with their family links, events with
// dates and places, note chains, and the index over every name. Throws
// std::runtime_error when it cannot be written.
FamilyFile WriteFamilyFile(const std::string& path);

// Writes the three files into the folder `dir` (which must exist). Throws
// std::runtime_error when a file cannot be written.
BenchFiles WriteBenchFiles(const std::string& dir);

}  // namespace bench
