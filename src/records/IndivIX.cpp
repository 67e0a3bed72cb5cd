// SPDX-License-Identifier: GPL-3.0-or-later
#include "IndivIX.h"

namespace kinscope {

TIndivIXForm::TIndivIXForm(QWidget* owner, TRecordHost& host)
    : TRecordWindow(owner, host, indexnode::kLayout) {
  BindBytes(node_.data());
  ui.setupUi(this);
  AddLink(ui.btnGrtr, indexnode::kGreater);
  AddLink(ui.btnLess, indexnode::kLesser);
  AddLink(ui.btnParent, indexnode::kParent);
  AddLink(ui.btnName, indexnode::kName);
}

void TIndivIXForm::ShowRecord(CTEVDatabase* db, int32_t node) {
  if (db == nullptr || db->LoadIndexNode(node_, node) == 0) {
    ReportFailedRead(QString::asprintf("For Rin %d", node), QStringLiteral("LoadIndivid failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Individual Index %d", node));
  ShowLinks();
  // The name is read whatever the result: a failed read leaves the text empty.
  ui.Label5->setText(INameText(*db, I32(indexnode::kName)));
}

}  // namespace kinscope
