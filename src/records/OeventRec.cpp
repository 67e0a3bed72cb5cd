// SPDX-License-Identifier: GPL-3.0-or-later
#include "OeventRec.h"

#include <algorithm>

#include "Seams.h"
#include "rdateRec.h"

namespace kinscope {

TOevent::TOevent(QWidget* owner, TRecordHost& host)
    : TLinkedWindow(owner, host, ordinance::kLayout) {
  BindBytes(ordinance_.data());
  ui.setupUi(this);
  connect(ui.btnOdate, &QPushButton::clicked, this,
          [this] { ShowDateWindow(this, ordinance_.data() + ordinance::kDate); });
  // The place opens no window yet: it only says so.
  connect(ui.btnPlace, &QPushButton::clicked, this, [this] {
    if (I32(ordinance::kPlace) != 0) {
      seams::ShowMessage(QStringLiteral("TO DO"), QStringLiteral("place"));
    }
  });
  AddLink(ui.btnCit, ordinance::kCit);
}

void TOevent::ShowOrdinance(const uint8_t* ordinance) {
  std::copy(ordinance, ordinance + ordinance::kSize, ordinance_.begin());
  ui.btnOdate->setText(Num(DateByteSum(ordinance_.data() + ordinance::kDate)));
  ui.DateStr->setText(CheckedDateText(ordinance_.data() + ordinance::kDate));
  ui.btnPlace->setText(Num(I32(ordinance::kPlace)));
  ui.templeName->setText(NameText(I32(ordinance::kPlace)));
  ui.isTemple->setText(Num(U8(ordinance::kIsTemple)));
  ShowLinks();
}

void ShowOrdinanceWindow(QWidget* owner, TRecordHost& host, const uint8_t* ordinance) {
  TOevent window(owner, host);
  window.ShowOrdinance(ordinance);
  seams::RunModal(window);
}

}  // namespace kinscope
