// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-size record tables a database file holds, with the byte image
// type of each kind of record. Each table's number, record size and records
// per page are those of its row in the record-type registry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "RecordRegistry.h"

namespace kinscope {

constexpr TableSpec kIndividTable = kRecordTypes[kIndividualCode].table;      // by RIN
constexpr TableSpec kMarrTable = kRecordTypes[kMarriageCode].table;           // by MRIN
constexpr TableSpec kNoteTable = kRecordTypes[kNoteCode].table;               // note blocks
constexpr TableSpec kFamLinkTable = kRecordTypes[kFamilyCode].table;          // family links
constexpr TableSpec kCitTable = kRecordTypes[kCitationCode].table;            // citations
constexpr TableSpec kIndexNodeTable = kRecordTypes[kIndivIndexCode].table;    // index nodes
constexpr TableSpec kUserEvTable = kRecordTypes[kUserDefinedCode].table;      // user-defined events
constexpr TableSpec kUserEvTypeTable = kRecordTypes[kUDEventTypeCode].table;  // their types
constexpr TableSpec kMediaTable = kRecordTypes[kMediaCode].table;             // multimedia records

// The bytes of one record of record-type `Code`'s table.
template <int32_t Code>
using RecordImage = std::array<uint8_t, static_cast<std::size_t>(kRecordTypes[Code].table.size)>;

using IndividImage = RecordImage<kIndividualCode>;
using MarrImage = RecordImage<kMarriageCode>;
using NoteImage = RecordImage<kNoteCode>;
using FamLinkImage = RecordImage<kFamilyCode>;
using CitImage = RecordImage<kCitationCode>;
using IndexNodeImage = RecordImage<kIndivIndexCode>;
using UserEvImage = RecordImage<kUserDefinedCode>;
using UserEvTypeImage = RecordImage<kUDEventTypeCode>;
using MediaImage = RecordImage<kMediaCode>;

}  // namespace kinscope
