// SPDX-License-Identifier: GPL-3.0-or-later
#include "MarRec.h"

#include "OeventRec.h"
#include "ReventRec.h"

namespace kinscope {

TMarRecForm::TMarRecForm(QWidget* owner, TRecordHost& host)
    : TRecordWindow(owner, host, marr::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnHusband, marr::kHusband);
  AddLink(ui.btnWife, marr::kWife);
  AddLink(ui.btnChild, marr::kChild);
  AddLink(ui.btnHus_next_mar, marr::kHusNextMar);
  AddLink(ui.btnWife_next_mar, marr::kWifeNextMar);
  AddLink(ui.btnNote, marr::kNote);
  AddLink(ui.btnCit, marr::kCit);
  // btnUd_event shows its number and opens nothing.
  connect(ui.btnMar, &QPushButton::clicked, this,
          [this] { ShowEventWindow(this, host_, record_.data() + marr::kRevent); });
  connect(ui.btnSSpouse, &QPushButton::clicked, this,
          [this] { ShowOrdinanceWindow(this, host_, record_.data() + marr::kOevent); });
}

void TMarRecForm::ShowRecord(CTEVDatabase* db, int32_t mrin) {
  if (db == nullptr || db->LoadMarr(record_, mrin) == 0) {
    ReportFailedRead(QString::asprintf("For MRin %d", mrin), QStringLiteral("LoadMarr failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Marriage Record -- MRin %d", mrin));
  ShowLinks();
  ui.btnUd_event->setText(Num(I32(marr::kUdEvent)));
}

}  // namespace kinscope
