// SPDX-License-Identifier: GPL-3.0-or-later
// The individual index window: one node of the index tree, its three tree
// links and its name link as buttons, and the name the node stands for.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_IndivIX.h"

namespace kinscope {

class TIndivIXForm : public TRecordWindow {
  Q_OBJECT

 public:
  TIndivIXForm(QWidget* owner, TRecordHost& host);
  // Reads index node `node` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t node) override;

  Ui::TIndivIXForm ui;

 private:
  IndexNodeImage node_{};
};

}  // namespace kinscope
