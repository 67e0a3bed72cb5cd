// SPDX-License-Identifier: GPL-3.0-or-later
// Reads and writes of the records of the table of tables.
#include "RecordTables.h"

#include "TEVDatabase.h"

namespace kinscope {
namespace {

template <const TableSpec& Spec>
int Load(CTEVDatabase& db, RecordImage<Spec>& buffer, int32_t number) {
  return db.ReadRecord(buffer.data(), Spec.size, number, Spec.table, Spec.per_page);
}

}  // namespace

int CTEVDatabase::LoadIndivid(IndividImage& b, int32_t n) {
  return Load<kIndividTable>(*this, b, n);
}
int CTEVDatabase::LoadMarr(MarrImage& b, int32_t n) { return Load<kMarrTable>(*this, b, n); }
int CTEVDatabase::LoadNote(NoteImage& b, int32_t n) { return Load<kNoteTable>(*this, b, n); }
int CTEVDatabase::LoadFamLink(FamLinkImage& b, int32_t n) {
  return Load<kFamLinkTable>(*this, b, n);
}
int CTEVDatabase::LoadCit(CitImage& b, int32_t n) { return Load<kCitTable>(*this, b, n); }
int CTEVDatabase::LoadIndexNode(IndexNodeImage& b, int32_t n) {
  return Load<kIndexNodeTable>(*this, b, n);
}
int CTEVDatabase::LoadUserEv(UserEvImage& b, int32_t n) { return Load<kUserEvTable>(*this, b, n); }
int CTEVDatabase::LoadUserEvType(UserEvTypeImage& b, int32_t n) {
  return Load<kUserEvTypeTable>(*this, b, n);
}
int CTEVDatabase::LoadMedia(MediaImage& b, int32_t n) { return Load<kMediaTable>(*this, b, n); }

int CTEVDatabase::StoreIndexNode(const IndexNodeImage& node, int32_t number) {
  return WriteRecord(node.data(), kIndexNodeTable.size, number, kIndexNodeTable.table,
                     kIndexNodeTable.per_page);
}

}  // namespace kinscope
