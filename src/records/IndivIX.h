// The individual index window: one node of the index tree, its three tree
// links and its name link as buttons, and the name the node stands for.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_IndivIX.h"

namespace kinscope {

class TIndivIXForm : public TRecordWindow {
 public:
  TIndivIXForm(QWidget* owner, TRecordHost& host);
  // Reads index node `node` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t node) override;

  Ui::TIndivIXForm ui;

 private:
  // Node fields.
  static constexpr size_t kGreater = 0;
  static constexpr size_t kLesser = 4;
  static constexpr size_t kParent = 8;
  static constexpr size_t kName = 12;

  int32_t Field(size_t offset) const;

  IndexNodeImage node_{};
};

}  // namespace kinscope
