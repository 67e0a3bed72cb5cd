// SPDX-License-Identifier: GPL-3.0-or-later
// Record-type codes: the index of an entry of the main window's record-type
// chooser, and the code every link button passes to OpenRecordWindow.
#pragma once

#include <cstdint>

namespace kinscope {

enum RecordTypeCode : int32_t {
  kIndividualCode = 0,
  kMarriageCode = 1,
  kFamilyCode = 2,
  kNameCode = 3,
  kNoteCode = 4,
  kIndivNameCode = 5,
  kCitationCode = 6,
  kSourceCode = 7,
  kUserDefinedCode = 8,
  kUDEventTypeCode = 9,
  kContactCode = 10,
  kMediaCode = 11,
  kIndivIndexCode = 12,
};

// The number of record types the chooser offers: codes 0 to 12.
constexpr int32_t kRecordTypeCount = 13;

// The code an individual's Prim_Marr link passes on; no record type has it.
constexpr int32_t kPrimMarrCode = 13;

// No record type: no record-type code is negative.
constexpr int32_t kNoRecordCode = -1;

// The chooser's entry of each code, its table, layout and window are given
// by the record-type registry (RecordRegistry.h).

}  // namespace kinscope
