// SPDX-License-Identifier: GPL-3.0-or-later
// The individual window: an individual record, its ten links as buttons,
// its four events and two ordinances as buttons that open them, the first
// name, the two time stamps, the sex and the two counts.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_IndivRec.h"

namespace kinscope {

class TIndivForm : public TRecordWindow {
  Q_OBJECT

 public:
  TIndivForm(QWidget* owner, TRecordHost& host);
  // Reads individual `rin` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t rin) override;

  Ui::TIndivForm ui;

 private:
  IndividImage record_{};
};

}  // namespace kinscope
