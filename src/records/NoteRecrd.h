// SPDX-License-Identifier: GPL-3.0-or-later
// The note window: one 256-byte block of a chained text, its forward and
// backward links, the number kept with it, its owner type and its text.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_NoteRecrd.h"

namespace kinscope {

class TNoteRec : public TRecordWindow {
  Q_OBJECT

 public:
  TNoteRec(QWidget* owner, TRecordHost& host);
  // Reads note block `number` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t number) override;

  Ui::TNoteRec ui;

 private:
  NoteImage record_{};
};

}  // namespace kinscope
