// SPDX-License-Identifier: GPL-3.0-or-later
// The event window: one 24-byte event embedded in a record (the date, the
// place's name record, the age at the event and a citation).
#pragma once

#include <array>
#include <cstdint>

#include "RecordWindow.h"
#include "ui_ReventRec.h"

namespace kinscope {

class TRevent : public TLinkedWindow {
  Q_OBJECT

 public:
  TRevent(QWidget* owner, TRecordHost& host);
  // Copies the 24 bytes of event data at `event` and shows them.
  void ShowEvent(const uint8_t* event);

  Ui::TRevent ui;

 private:
  std::array<uint8_t, event::kSize> event_{};
};

// Opens an event window owned by `owner` on the event at `event`, runs it
// modally and destroys it.
void ShowEventWindow(QWidget* owner, TRecordHost& host, const uint8_t* event);

}  // namespace kinscope
