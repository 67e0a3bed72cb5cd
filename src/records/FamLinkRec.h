// SPDX-License-Identifier: GPL-3.0-or-later
// The family link window: one child tied to the parents' marriage, with the
// next younger sibling's and the next parents' links, the sealing to parents
// and the kind of the link.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_FamLinkRec.h"

namespace kinscope {

class TFamilyLink : public TRecordWindow {
  Q_OBJECT

 public:
  TFamilyLink(QWidget* owner, TRecordHost& host);
  // Reads family link `number` and shows it; a failed read shows no message.
  void ShowRecord(CTEVDatabase* db, int32_t number) override;

  Ui::TFamilyLink ui;

 private:
  FamLinkImage record_{};
};

// The meaning of a family link's type letter ("unknown type" for any other
// byte).
const char* LinkTypeMeaning(uint8_t letter);

}  // namespace kinscope
