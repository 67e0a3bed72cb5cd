// SPDX-License-Identifier: GPL-3.0-or-later
// The damage table of the repair: damage done to the bytes of a sound file,
// one a row, with what the repair of the damaged copy must give. Each row
// finds the records it damages in the sound file (open read-only); a row
// whose records the file does not hold is skipped. Shared by the engine's
// repair test and the check window's.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Coding.h"
#include "FileCheck.h"
#include "Gedcom.h"
#include "RecordLayouts.h"
#include "RecordTables.h"
#include "TEVDatabase.h"

namespace damaged {

using namespace kinscope;
using Bytes = std::vector<uint8_t>;

// The sound file's bytes, to damage, and the sound file open read-only.
struct Target {
  Bytes& bytes;
  CTEVDatabase& db;

  void PutI32(int64_t at, int32_t value) {
    EncodeI32(bytes.data(), static_cast<size_t>(at), value);
  }
  int64_t Offset(const TableSpec& t, int32_t n) const {
    return db.LocateRecord(n, t.table, t.size, t.per_page);
  }
  // The first record of `t` (after `after`) for which `pick` holds, or 0.
  int32_t First(const TableSpec& t, const std::function<bool(const uint8_t*)>& pick,
                int32_t after = 0) {
    int32_t found = 0;
    ForEachRecord(
        db, t,
        [&](int32_t n, const uint8_t* r) {
          if (found == 0 && n > after && pick(r)) found = n;
        },
        [&] { return found == 0; });
    return found;
  }
  int32_t Root() const { return db.HeaderI32(kHdrRootNode); }
  int32_t NodeLink(int32_t node, size_t field) {
    IndexNodeImage image{};
    db.LoadIndexNode(image, node);
    return DecodeI32(image.data(), field);
  }
  // The first name of the first individual (from `after` on) that holds one.
  int32_t FirstName(int32_t& rin, int32_t after = 1) {
    rin = First(
        kIndividTable, [](const uint8_t* r) { return DecodeI32(r, individ::kStartnames) > 0; },
        after - 1);
    return rin == 0 ? 0 : DecodeI32(Record(kIndividTable, rin).data(), individ::kStartnames);
  }
  Bytes Record(const TableSpec& t, int32_t n) {
    Bytes r(static_cast<size_t>(t.size));
    db.ReadRecord(r.data(), t.size, n, t.table, t.per_page);
    return r;
  }
};

struct Row {
  const char* damage;
  std::function<bool(Target&)> harm;  // false: the file holds nothing to damage so
  int status;                         // the repair's status (0 or 1)
  bool same_family;                   // the copy's GEDCOM is the sound file's
};

// The link at `field` of the first record of `t` where it is above 0, set to
// `value`.
inline std::function<bool(Target&)> ChainLink(const TableSpec& t, size_t field, int32_t value) {
  return [&t, field, value](Target& d) {
    const int32_t n = d.First(t, [field](const uint8_t* r) { return DecodeI32(r, field) > 0; });
    if (n == 0) return false;
    d.PutI32(d.Offset(t, n) + static_cast<int64_t>(field), value);
    return true;
  };
}

inline std::function<bool(Target&)> Header(size_t field, int32_t value) {
  return [field, value](Target& d) {
    d.PutI32(static_cast<int64_t>(field), value);
    return true;
  };
}

inline const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"an index link zeroed, as a lost write leaves it",
       [](Target& d) {
         d.PutI32(d.Offset(kIndexNodeTable, d.Root()) + int64_t{indexnode::kLesser}, 0);
         return true;
       },
       0, true},
      {"every index node's links zeroed",
       [](Target& d) {
         ForEachRecord(d.db, kIndexNodeTable, [&](int32_t n, const uint8_t*) {
           for (size_t f : {indexnode::kGreater, indexnode::kLesser, indexnode::kParent}) {
             d.PutI32(d.Offset(kIndexNodeTable, n) + static_cast<int64_t>(f), 0);
           }
         });
         return true;
       },
       0, true},
      {"the root and its greater node's names swapped",
       [](Target& d) {
         const int32_t root = d.Root(), greater = d.NodeLink(root, indexnode::kGreater);
         if (greater <= 0) return false;
         const int64_t a = d.Offset(kIndexNodeTable, root) + int64_t{indexnode::kName};
         const int64_t b = d.Offset(kIndexNodeTable, greater) + int64_t{indexnode::kName};
         d.PutI32(a, d.NodeLink(greater, indexnode::kName));
         d.PutI32(b, d.NodeLink(root, indexnode::kName));
         return true;
       },
       0, true},
      {"the root's copy names its lesser node",
       [](Target& d) { return Header(kHdrRootNode2, d.NodeLink(d.Root(), indexnode::kLesser))(d); },
       0, true},
      {"both roots 0",
       [](Target& d) { return Header(kHdrRootNode, 0)(d) && Header(kHdrRootNode2, 0)(d); }, 0,
       true},
      {"the individual bound lowered to 5", Header(kHdrIndividBound, 5), 0, true},
      {"the page-count table counts 30 pages of individuals",
       [](Target& d) {
         EncodeU16(d.bytes.data(),
                   static_cast<size_t>(kPageCountOffset + (kIndividTable.table - 1) * 2), 30);
         return true;
       },
       0, true},
      {"the magic TEVX",
       [](Target& d) {
         std::memcpy(d.bytes.data() + kHdrMagic, "TEVX", 4);
         return true;
       },
       0, true},
      {"the region count 3", Header(kHdrRegionCount, 3), 0, true},
      {"region 0's page map begins with 0",
       [](Target& d) {
         d.bytes[static_cast<size_t>(kRegionBase)] = 0;
         return true;
       },
       0, true},
      {"a name's owner another individual",
       [](Target& d) {
         int32_t rin = 0;
         const int32_t name = d.FirstName(rin, 2);
         if (name == 0) return false;
         d.PutI32(name + int64_t{iname::kOwnerId}, rin + 1);
         return true;
       },
       0, true},
      {"a first name's previous link its own offset",
       [](Target& d) {
         int32_t rin = 0;
         const int32_t name = d.FirstName(rin, 3);
         if (name == 0) return false;
         d.PutI32(name + int64_t{iname::kPrevious}, name);
         return true;
       },
       0, true},
      {"a note's previous link zeroed", ChainLink(kNoteTable, note::kPrevBlock, 0), 0, true},
      {"a note's previous link 1000", ChainLink(kNoteTable, note::kPrevBlock, 1000), 0, true},
      {"a citation's previous link zeroed", ChainLink(kCitTable, cit::kPrevCit, 0), 0, true},
      {"a marriage's husband outside its table", ChainLink(kMarrTable, marr::kHusband, 1 << 24), 1,
       false},
      {"a chain of names that loops",
       [](Target& d) {
         int32_t rin = 0;
         const int32_t name = d.FirstName(rin, 4);
         if (name == 0) return false;
         INameRecImage image{};
         int32_t last = name;
         for (int steps = 0; steps < 100 && d.db.LoadINameRec(last, image) != 0 &&
                             DecodeI32(image.data(), iname::kNext) > 0;
              ++steps) {
           last = DecodeI32(image.data(), iname::kNext);
         }
         d.PutI32(last + int64_t{iname::kNext}, name);
         return true;
       },
       1, true},
  };
  return rows;
}

// The row whose damage starts with `damage`.
inline const Row& Named(const std::string& damage) {
  for (const Row& row : Rows()) {
    if (std::string(row.damage).rfind(damage, 0) == 0) return row;
  }
  return Rows().front();
}

// The GEDCOM of the file at `path` as the export writes it at one fixed
// time, or nothing when the file does not open.
inline std::optional<std::string> Gedcom(const std::string& path) {
  CTEVDatabase db;
  if (db.OpenDatabase(path, 1) != kOpenOk) return std::nullopt;
  gedcom::Options options;
  options.file_name = "family.ged";
  options.version = "test";
  std::ostringstream out;
  gedcom::Counts counts;
  gedcom::Export(db, out, options, counts);
  return out.str();
}

}  // namespace damaged
