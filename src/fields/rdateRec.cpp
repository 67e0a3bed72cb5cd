// SPDX-License-Identifier: GPL-3.0-or-later
#include "rdateRec.h"

#include "ByteView.h"
#include "FieldText.h"
#include "RecordLayouts.h"
#include "Seams.h"

namespace kinscope {

TDateForm::TDateForm(QWidget* owner) : QDialog(owner) {
  ui.setupUi(this);
  InstallCopyMenus(this);
  InstallByteView(this, [this] {
    ByteViewSource source;
    if (date_) {
      source = {&date::kLayout, date_->stored().data(), date::kSize,
                QStringLiteral("An encoded date, 12 bytes")};
    }
    return source;
  });
}

void TDateForm::ShowDate(const uint8_t* stored) {
  date_ = std::make_unique<wtev5date>(stored);
  CheckDateType(*date_);
  ui.HexValue->setText(' ' + QString::fromStdString(HexBytes(stored, date::kSize)));
  ui.DRDstring->setText(QString::number(date_->date_type()));
  ui.DateType1Str->setText(QString::number(date_->sub_type1()));
  ui.DateType2Str->setText(QString::number(date_->sub_type2()));
  ui.Offset1->setText(QString::number(date_->offset1()));
  ui.Offset2->setText(QString::number(date_->offset2()));
  ui.daystr->setText(QString::number(date_->day1()));
  ui.day2str->setText(QString::number(date_->day2()));
}

bool CheckDateType(const wtev5date& date) {
  if (date.IsValid()) return true;
  seams::ShowMessage(QStringLiteral("Unknown date type"), QStringLiteral("Error"));
  return false;
}

QString CheckedDateText(const uint8_t* stored) {
  CheckDateType(wtev5date(stored));
  return QString::fromStdString(FieldDateText(stored));
}

void ShowDateWindow(QWidget* owner, const uint8_t* stored) {
  TDateForm window(owner);
  window.ShowDate(stored);
  seams::RunModal(window);
}

}  // namespace kinscope
