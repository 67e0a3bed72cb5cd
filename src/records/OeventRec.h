// SPDX-License-Identifier: GPL-3.0-or-later
// The ordinance window: one 21-byte ordinance embedded in a record (the
// date, a place or temple, a citation and the temple flag).
#pragma once

#include <array>
#include <cstdint>

#include "RecordWindow.h"
#include "ui_OeventRec.h"

namespace kinscope {

class TOevent : public TLinkedWindow {
  Q_OBJECT

 public:
  TOevent(QWidget* owner, TRecordHost& host);
  // Copies the 21 bytes of ordinance data at `ordinance` and shows them.
  void ShowOrdinance(const uint8_t* ordinance);

  Ui::TOevent ui;

 private:
  std::array<uint8_t, ordinance::kSize> ordinance_{};
};

// Opens an ordinance window owned by `owner` on the ordinance at
// `ordinance`, runs it modally and destroys it.
void ShowOrdinanceWindow(QWidget* owner, TRecordHost& host, const uint8_t* ordinance);

}  // namespace kinscope
