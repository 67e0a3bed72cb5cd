// SPDX-License-Identifier: GPL-3.0-or-later
// The multimedia window: one picture, sound or other media file of an owner,
// its path, caption, description and audio links, its display flags, the
// picture's size and clipping rectangle and its slide-show time.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_MediaRec.h"

namespace kinscope {

class TMedia : public TRecordWindow {
  Q_OBJECT

 public:
  TMedia(QWidget* owner, TRecordHost& host);
  // Reads multimedia record `number` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t number) override;

  Ui::TMedia ui;

 private:
  MediaImage record_{};
};

}  // namespace kinscope
