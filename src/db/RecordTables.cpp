// SPDX-License-Identifier: GPL-3.0-or-later
// Reads and writes of the records of the table of tables: each read takes
// its table, record size and records per page from its record type's row.
#include "RecordTables.h"

#include "TEVDatabase.h"

namespace kinscope {
namespace {

template <int32_t Code>
int Load(CTEVDatabase& db, RecordImage<Code>& buffer, int32_t number) {
  constexpr TableSpec t = kRecordTypes[Code].table;
  return db.ReadRecord(buffer.data(), t.size, number, t.table, t.per_page);
}

}  // namespace

int CTEVDatabase::LoadIndivid(IndividImage& b, int32_t n) {
  return Load<kIndividualCode>(*this, b, n);
}
int CTEVDatabase::LoadMarr(MarrImage& b, int32_t n) { return Load<kMarriageCode>(*this, b, n); }
int CTEVDatabase::LoadNote(NoteImage& b, int32_t n) { return Load<kNoteCode>(*this, b, n); }
int CTEVDatabase::LoadFamLink(FamLinkImage& b, int32_t n) { return Load<kFamilyCode>(*this, b, n); }
int CTEVDatabase::LoadCit(CitImage& b, int32_t n) { return Load<kCitationCode>(*this, b, n); }
int CTEVDatabase::LoadIndexNode(IndexNodeImage& b, int32_t n) {
  return Load<kIndivIndexCode>(*this, b, n);
}
int CTEVDatabase::LoadUserEv(UserEvImage& b, int32_t n) {
  return Load<kUserDefinedCode>(*this, b, n);
}
int CTEVDatabase::LoadUserEvType(UserEvTypeImage& b, int32_t n) {
  return Load<kUDEventTypeCode>(*this, b, n);
}
int CTEVDatabase::LoadMedia(MediaImage& b, int32_t n) { return Load<kMediaCode>(*this, b, n); }

int CTEVDatabase::StoreIndexNode(const IndexNodeImage& node, int32_t number) {
  return WriteRecord(node.data(), kIndexNodeTable.size, number, kIndexNodeTable.table,
                     kIndexNodeTable.per_page);
}

}  // namespace kinscope
