// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteRecrd.h"

namespace kinscope {

TNoteRec::TNoteRec(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, note::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  // The chain buttons open their block whatever it holds: the next button
  // of the last block opens block 0, whose window then reports the failed
  // read. frec_num is shown only.
  connect(ui.btnNext, &QPushButton::clicked, this,
          [this] { host_.OpenRecordWindow(kNoteCode, I32(note::kNextBlock)); });
  connect(ui.btnPrev, &QPushButton::clicked, this,
          [this] { host_.OpenRecordWindow(kNoteCode, I32(note::kPrevBlock)); });
}

void TNoteRec::ShowRecord(CTEVDatabase* db, int32_t number) {
  if (db == nullptr || db->LoadNote(record_, number) == 0) {
    ReportFailedRead(QString::asprintf("Note record %d could not be read", number),
                     QStringLiteral("LoadNote failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Note Record %d", number));
  ui.btnNext->setText(Num(I32(note::kNextBlock)));
  ui.btnPrev->setText(Num(I32(note::kPrevBlock)));
  ui.btnFrecnum->setText(Num(I32(note::kFrecNum)));
  // The owner type as a signed number and as a character.
  ui.sowner_type->setText(Num(I8(note::kOwnerType)) + ' ' + CharText(U8(note::kOwnerType)));
  // A block's text fills all 243 bytes when it has no zero byte.
  ui.sText->setText(Text(note::kText, note::kTextSize));
}

}  // namespace kinscope
