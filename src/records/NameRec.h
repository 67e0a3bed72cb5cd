// SPDX-License-Identifier: GPL-3.0-or-later
// The name record window: a name record's two tree links and its parent as
// buttons, its type and its text as labels. A name record is addressed by
// its file offset (the NRin).
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_NameRec.h"

namespace kinscope {

class TName : public TRecordWindow {
  Q_OBJECT

 public:
  TName(QWidget* owner, TRecordHost& host);
  // Reads the name record at file offset `nrin` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t nrin) override;

  Ui::TName ui;

 private:
  void btnParent_recClick();

  NameRecImage record_{};
};

}  // namespace kinscope
