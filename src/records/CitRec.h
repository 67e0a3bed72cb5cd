// SPDX-License-Identifier: GPL-3.0-or-later
// The citation window: a citation's page, the date the source was recorded,
// and its links to the note chains of its text and comments, a multimedia
// record, the source, the neighbouring citations and the owner.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_CitRec.h"

namespace kinscope {

class TCitation : public TRecordWindow {
  Q_OBJECT

 public:
  TCitation(QWidget* owner, TRecordHost& host);
  // Reads citation `crin` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t crin) override;

  Ui::TCitation ui;

 private:
  void btnRec_ptrClick();

  CitImage record_{};
};

}  // namespace kinscope
