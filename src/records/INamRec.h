// The individual's name record window: the record's next and previous links
// and its owner as buttons, its type, stored text length and text as labels.
// The record is addressed by its file offset.
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_INamRec.h"

namespace kinscope {

class TIName : public TRecordWindow {
 public:
  TIName(QWidget* owner, TRecordHost& host);
  // Reads the individual's name record at file offset `offset` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t offset) override;

  Ui::TIName ui;

 private:
  static constexpr size_t kNext = 0;
  static constexpr size_t kPrevious = 4;
  static constexpr size_t kOwnerId = 8;
  static constexpr size_t kType = 12;
  static constexpr size_t kTextLen = 13;

  int32_t Field(size_t offset) const;
  void btnOwnerIDClick();

  INameRecImage record_{};
};

}  // namespace kinscope
