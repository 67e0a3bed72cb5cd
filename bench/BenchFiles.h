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
  std::string sparse31;  // 31 regions, each map giving a handful of pages
  std::string full31;    // 31 regions, every page of every map owned
  std::string large;     // the large file: individuals with names and a birth each
  std::vector<int32_t> name_offsets;   // name records of the large file
  std::vector<int32_t> iname_offsets;  // individual's name records of the large file
};

// Writes the three files into the folder `dir` (which must exist). Throws
// std::runtime_error when a file cannot be written.
BenchFiles WriteBenchFiles(const std::string& dir);

}  // namespace bench
