// SPDX-License-Identifier: GPL-3.0-or-later
// The user-defined event window: one event of a kind the user defined, its
// neighbours of the same owner, the owner, the description and event type
// links, the event itself and its flags.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_UserEvRec.h"

namespace kinscope {

class TUEvRec : public TRecordWindow {
  Q_OBJECT

 public:
  TUEvRec(QWidget* owner, TRecordHost& host);
  // Reads user-defined event `urin` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t urin) override;

  Ui::TUEvRec ui;

 private:
  void btnOwnerClick();

  UserEvImage record_{};
};

}  // namespace kinscope
