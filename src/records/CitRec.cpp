// SPDX-License-Identifier: GPL-3.0-or-later
#include "CitRec.h"

#include "rdateRec.h"

namespace kinscope {

TCitation::TCitation(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, cit::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnActualText, cit::kActualText);
  AddLink(ui.btnComments, cit::kComments);
  AddLink(ui.btnMedia, cit::kMedia);
  AddLink(ui.btnSource_ptr, cit::kSourcePtr);
  AddLink(ui.btnNext_cit, cit::kNextCit);
  AddLink(ui.btnPrev_cit, cit::kPrevCit);
  connect(ui.btnRec_ptr, &QPushButton::clicked, this, &TCitation::btnRec_ptrClick);
}

void TCitation::ShowRecord(CTEVDatabase* db, int32_t crin) {
  if (db == nullptr || db->LoadCit(record_, crin) == 0) {
    ReportFailedRead(QString::asprintf("For CRin %d", crin), QStringLiteral("LoadCit failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Citation Record %d", crin));
  ShowLinks();
  ui.Page->setText(Text(cit::kPage, cit::kPageSize));
  const uint8_t* recorded = record_.data() + cit::kRecordedDate;
  ui.btnRecorded_date->setText(Num(DateByteSum(recorded)));
  ui.rdatestr->setText(CheckedDateText(recorded));
  ui.btnRec_ptr->setText(Num(I32(cit::kRecPtr)));
  // The owner type as a character and as a signed number; the text ends at
  // a zero byte, so an owner type of 0 shows nothing.
  const uint8_t owner = U8(cit::kOwnerType);
  ui.owner_type->setText(owner == 0 ? QString() : CharText(owner) + ' ' + Num(I8(cit::kOwnerType)));
}

void TCitation::btnRec_ptrClick() {
  // "A" (the individual) and "B" (one of the individual's events) open the
  // individual; any other byte is passed on as the record-type code, where
  // the main window reports it as unknown.
  const int8_t type = I8(cit::kOwnerType);
  const int32_t code = type == 'A' || type == 'B' ? int32_t{kIndividualCode} : int32_t{type};
  OpenLink(code, I32(cit::kRecPtr));
}

}  // namespace kinscope
