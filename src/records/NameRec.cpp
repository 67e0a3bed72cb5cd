// SPDX-License-Identifier: GPL-3.0-or-later
#include "NameRec.h"

#include <array>

#include "Seams.h"

namespace kinscope {
namespace {

// The window that shows a parent record, by the name record's type.
constexpr std::array<int32_t, 4> kParentWindow = {kMarriageCode, kFamilyCode, kNameCode, kNoteCode};

}  // namespace

TName::TName(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, namerec::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnLess_ptr, namerec::kLessPtr);
  AddLink(ui.btnGreater_ptr, namerec::kGreaterPtr);
  connect(ui.btnParent_rec, &QPushButton::clicked, this, &TName::btnParent_recClick);
}

void TName::ShowRecord(CTEVDatabase* db, int32_t nrin) {
  if (db == nullptr || db->LoadNameRec(nrin, record_) == 0) {
    ReportFailedRead(QString::asprintf("For NRin %d", nrin), QStringLiteral("LoadName failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Name Record -- %d", nrin));
  ShowLinks();
  ui.btnParent_rec->setText(Num(I32(namerec::kParentRec)));
  ui.type->setText(Num(I8(namerec::kType)));
  ui.text->setText(Text(namerec::kText, kNameRecRead - kNameRecHead));
}

void TName::btnParent_recClick() {
  const int32_t parent = I32(namerec::kParentRec);
  if (parent == 0) return;
  const int type = I8(namerec::kType);
  if (type < 0 || static_cast<size_t>(type) >= kParentWindow.size()) {
    seams::ShowMessage(
        QString::asprintf("Parent type %d has no record window (parent_rec %d)", type, parent),
        QStringLiteral("Note"));
    return;
  }
  host_.OpenRecordWindow(kParentWindow[static_cast<size_t>(type)], parent);
}

}  // namespace kinscope
