// SPDX-License-Identifier: GPL-3.0-or-later
// The user-defined event type window: a type's title and twelve sentences
// (name records reached by file offset) with their texts, its links in the
// tree of types and to its parent, and its short fields and settings.
#pragma once

#include <array>

#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_UETypeRec.h"

class QLabel;

namespace kinscope {

class TUEType : public TRecordWindow {
  Q_OBJECT

 public:
  TUEType(QWidget* owner, TRecordHost& host);
  // Reads user-defined event type `number` and shows it.
  void ShowRecord(CTEVDatabase* db, int32_t number) override;

  Ui::TUEType ui;

 private:
  void btnParentPtrClick();

  // The button and text label of each sentence, in record order.
  std::array<QPushButton*, uetype::kSentenceCount> sentence_buttons_{};
  std::array<QLabel*, uetype::kSentenceCount> sentence_texts_{};
  UserEvTypeImage record_{};
};

}  // namespace kinscope
