// SPDX-License-Identifier: GPL-3.0-or-later
// The individual's name record window: the record's next and previous links
// and its owner as buttons, its type, stored text length and text as labels.
// The record is addressed by its file offset.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_INamRec.h"

namespace kinscope {

class TIName : public TRecordWindow {
  Q_OBJECT

 public:
  TIName(QWidget* owner, TRecordHost& host);
  // Reads the individual's name record at file offset `offset` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t offset) override;

  Ui::TIName ui;

 private:
  void btnOwnerIDClick();

  INameRecImage record_{};
};

}  // namespace kinscope
