// SPDX-License-Identifier: GPL-3.0-or-later
#include "INamRec.h"

#include <array>

#include "Seams.h"

namespace kinscope {
namespace {

// The window that shows the owner, by the record's type.
constexpr std::array<int32_t, 4> kOwnerWindow = {kMarriageCode, kIndividualCode, kNameCode,
                                                 kNoteCode};

}  // namespace

TIName::TIName(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, iname::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnNextLnk, iname::kNext);
  AddLink(ui.btnPreviousLnk, iname::kPrevious);
  connect(ui.btnOwnerID, &QPushButton::clicked, this, &TIName::btnOwnerIDClick);
}

void TIName::ShowRecord(CTEVDatabase* db, int32_t offset) {
  if (db == nullptr || db->LoadINameRec(offset, record_) == 0) {
    ReportFailedRead(QString::asprintf("For NRin %d", offset), QStringLiteral("LoadName failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Individual's Name Record -- %d", offset));
  ShowLinks();
  ui.btnOwnerID->setText(Num(I32(iname::kOwnerId)));
  ui.type->setText(Num(U8(iname::kType)));
  ui.TextLen->setText(Num(I16(iname::kTextLen)));
  ui.text->setText(Text(iname::kText, kINameTextMax));
}

void TIName::btnOwnerIDClick() {
  const int32_t owner = I32(iname::kOwnerId);
  if (owner == 0) return;
  const unsigned type = U8(iname::kType);
  if (type >= kOwnerWindow.size()) {
    seams::ShowMessage(
        QString::asprintf("Owner type %u has no record window (nOwnerId %d)", type, owner),
        QStringLiteral("Note"));
    return;
  }
  host_.OpenRecordWindow(kOwnerWindow[type], owner);
}

}  // namespace kinscope
