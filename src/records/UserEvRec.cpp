// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserEvRec.h"

#include "ReventRec.h"

namespace kinscope {

TUEvRec::TUEvRec(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, userev::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnNext, userev::kNext);
  AddLink(ui.btnPrev, userev::kPrev);
  connect(ui.btnOwner, &QPushButton::clicked, this, &TUEvRec::btnOwnerClick);
  // The description link is opened as a user-defined event.
  AddLink(ui.btnDescription, userev::kDescription);
  AddLink(ui.btnEvType, userev::kEvType);
  // The embedded event opens whatever it holds, zeros included.
  connect(ui.btnEvent, &QPushButton::clicked, this,
          [this] { ShowEventWindow(this, host_, record_.data() + userev::kEvent); });
}

void TUEvRec::ShowRecord(CTEVDatabase* db, int32_t urin) {
  if (db == nullptr || db->LoadUserEv(record_, urin) == 0) {
    ReportFailedRead(QString::asprintf("For URin %d", urin), QStringLiteral("LoadUserEv failed"));
    return;
  }
  setWindowTitle(QString::asprintf("User Event -- UERin %d", urin));
  ShowLinks();
  ui.btnOwner->setText(Num(I32(userev::kOwner)));
  ui.OwnerType->setText(Num(I8(userev::kOwnerType)));
  ui.Confidential->setText(Num(I8(userev::kConfidential)));
  ui.EventFlags->setText(QString::asprintf("0x%x", unsigned{U8(userev::kEventFlags)}));
}

void TUEvRec::btnOwnerClick() {
  // "I" an individual, "M" a marriage; any other owner type opens code -1,
  // which the main window reports as unknown.
  const int8_t type = I8(userev::kOwnerType);
  const int32_t code = type == 'I'   ? int32_t{kIndividualCode}
                       : type == 'M' ? int32_t{kMarriageCode}
                                     : -1;
  OpenLink(code, I32(userev::kOwner));
}

}  // namespace kinscope
