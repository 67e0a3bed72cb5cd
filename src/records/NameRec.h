// The name record window: a name record's two tree links and its parent as
// buttons, its type and its text as labels. A name record is addressed by
// its file offset (the NRin).
#pragma once

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_NameRec.h"

namespace kinscope {

class TName : public TRecordWindow {
 public:
  TName(QWidget* owner, TRecordHost& host);
  // Reads the name record at file offset `nrin` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t nrin) override;

  Ui::TName ui;

 private:
  static constexpr size_t kLessPtr = 0;
  static constexpr size_t kGreaterPtr = 4;
  static constexpr size_t kParentRec = 8;
  static constexpr size_t kType = 12;

  int32_t Field(size_t offset) const;
  void btnParent_recClick();

  NameRecImage record_{};
};

}  // namespace kinscope
