// SPDX-License-Identifier: GPL-3.0-or-later
// The marriage window: a marriage record, its spouses, first child's family
// link, next marriages, note and citation as buttons, and its marriage event
// and sealing to spouse as buttons that open them.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_MarRec.h"

namespace kinscope {

class TMarRecForm : public TRecordWindow {
  Q_OBJECT

 public:
  TMarRecForm(QWidget* owner, TRecordHost& host);
  // Reads marriage `mrin` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t mrin) override;

  Ui::TMarRecForm ui;

 private:
  MarrImage record_{};
};

}  // namespace kinscope
