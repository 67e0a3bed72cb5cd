// SPDX-License-Identifier: GPL-3.0-or-later
// The date window: the raw detail of one encoded date.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "ui_rdateRec.h"
#include "wtev5date.h"

namespace kinscope {

class TDateForm : public QDialog {
  Q_OBJECT

 public:
  explicit TDateForm(QWidget* owner);
  // Decodes the 12 bytes at `stored` and shows them: the bytes in
  // hexadecimal, the date type, both sub-types, both offsets and both days.
  // An invalid date type is reported and the raw values still shown.
  void ShowDate(const uint8_t* stored);

  Ui::TDateForm ui;

 private:
  std::unique_ptr<wtev5date> date_;
};

// Reports an invalid date type ("Unknown date type", title "Error") and
// returns false; true for a valid date.
bool CheckDateType(const wtev5date& date);

// The display text of the encoded date at `stored` for a window's label,
// an invalid date type reported first as CheckDateType does.
QString CheckedDateText(const uint8_t* stored);

// Opens a date window owned by `owner` on the 12 bytes at `stored`, runs it
// modally and destroys it.
void ShowDateWindow(QWidget* owner, const uint8_t* stored);

}  // namespace kinscope
