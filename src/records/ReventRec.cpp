// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReventRec.h"

#include <algorithm>

#include "Seams.h"
#include "rdateRec.h"

namespace kinscope {

TRevent::TRevent(QWidget* owner, TRecordHost& host) : TLinkedWindow(owner, host, event::kLayout) {
  BindBytes(event_.data());
  ui.setupUi(this);
  connect(ui.btnEdate, &QPushButton::clicked, this,
          [this] { ShowDateWindow(this, event_.data() + event::kDate); });
  AddLink(ui.btnPlace, event::kPlace);
  AddLink(ui.btnCit, event::kCit);
}

void TRevent::ShowEvent(const uint8_t* event) {
  std::copy(event, event + event::kSize, event_.begin());
  ui.btnEdate->setText(Num(DateByteSum(event_.data() + event::kDate)));
  ui.datestr->setText(CheckedDateText(event_.data() + event::kDate));
  ShowLinks();
  ui.placestr->setText(NameText(I32(event::kPlace)));
  ui.Age_at->setText(Num(I32(event::kAgeAt)));
}

void ShowEventWindow(QWidget* owner, TRecordHost& host, const uint8_t* event) {
  TRevent window(owner, host);
  window.ShowEvent(event);
  seams::RunModal(window);
}

}  // namespace kinscope
