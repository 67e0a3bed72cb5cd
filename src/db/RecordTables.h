// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-size record tables a database file holds, with the byte image
// type of each kind of record.
//
// A table owns 8192-byte pages; each page holds as many whole records of the
// table as fit (8192 / record size, rounded down).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kinscope {

// Where a kind of record lives: its table number, record size and the number
// of records on one page.
struct TableSpec {
  int table;
  int size;
  int per_page;
};

constexpr TableSpec kIndividTable{2, 221, 8192 / 221};      // individuals, by RIN
constexpr TableSpec kMarrTable{3, 106, 8192 / 106};         // marriages, by MRIN
constexpr TableSpec kNoteTable{4, 256, 8192 / 256};         // note blocks
constexpr TableSpec kFamLinkTable{5, 46, 8192 / 46};        // family links
constexpr TableSpec kCitTable{6, 145, 8192 / 145};          // citations
constexpr TableSpec kIndexNodeTable{10, 16, 8192 / 16};     // individual index nodes
constexpr TableSpec kUserEvTable{12, 59, 8192 / 59};        // user-defined events
constexpr TableSpec kUserEvTypeTable{13, 143, 8192 / 143};  // user-defined event types
constexpr TableSpec kMediaTable{20, 62, 8192 / 62};         // multimedia records

// Table number of the page maps themselves: the first byte of every map.
constexpr int kPageMapTable = 11;

template <const TableSpec& Spec>
using RecordImage = std::array<uint8_t, static_cast<std::size_t>(Spec.size)>;

using IndividImage = RecordImage<kIndividTable>;
using MarrImage = RecordImage<kMarrTable>;
using NoteImage = RecordImage<kNoteTable>;
using FamLinkImage = RecordImage<kFamLinkTable>;
using CitImage = RecordImage<kCitTable>;
using IndexNodeImage = RecordImage<kIndexNodeTable>;
using UserEvImage = RecordImage<kUserEvTable>;
using UserEvTypeImage = RecordImage<kUserEvTypeTable>;
using MediaImage = RecordImage<kMediaTable>;

}  // namespace kinscope
