// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaRec.h"

namespace kinscope {
namespace {

// The record-type code the owner button passes for an owner type other than
// a citation; the main window knows no such type.
constexpr int32_t kUnknownOwnerCode = -45;

}  // namespace

TMedia::TMedia(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, media::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  // The owner is opened whatever its number, 0 included.
  connect(ui.btnRecptr, &QPushButton::clicked, this, [this] {
    const int32_t code =
        U8(media::kOwnerType) == media::kCitationOwner ? kCitationCode : kUnknownOwnerCode;
    host_.OpenRecordWindow(code, I32(media::kRecptr));
  });
  AddLink(ui.btnNext, media::kNext);
  AddLink(ui.btnPrevious, media::kPrevious);
  AddLink(ui.btnPath, media::kPath);
  AddLink(ui.btnCaption, media::kCaption);
  AddLink(ui.btnDesc, media::kDesc);
  AddLink(ui.btnAudio, media::kAudio);
}

void TMedia::ShowRecord(CTEVDatabase* db, int32_t number) {
  if (db == nullptr || db->LoadMedia(record_, number) == 0) {
    ReportFailedRead(QString::asprintf("Multimedia record %d could not be read", number),
                     QStringLiteral("LoadMedia failed"));
    return;
  }
  setWindowTitle(QString::asprintf("MultiMedia Record %d", number));
  ui.btnRecptr->setText(Num(I32(media::kRecptr)));
  ShowLinks();
  ui.pathstr->setText(NameText(I32(media::kPath)));
  ui.mm_type->setText(CharText(U8(media::kMmType)));
  ui.ownerType->setText(Num(U8(media::kOwnerType)));
  const uint8_t flags = U8(media::kFlagBits);
  ui.wDefault->setText(Num(flags & 1));
  ui.wSlideShow->setText(Num((flags >> 1) & 1));
  ui.wScrapBook->setText(Num((flags >> 2) & 1));
  ui.wFlip->setText(Num((flags >> 3) & 3));
  ui.wRotate->setText(Num((flags >> 5) & 3));
  ui.nWidth->setText(Num(I16(media::kWidth)));
  ui.nHeight->setText(Num(I16(media::kHeight)));
  ui.nClipTop->setText(Num(I16(media::kClipTop)));
  ui.nClipBottom->setText(Num(I16(media::kClipBottom)));
  ui.nClipLeft->setText(Num(I16(media::kClipLeft)));
  ui.nClipRight->setText(Num(I16(media::kClipRight)));
  ui.wSlideTime->setText(Num(U16(media::kSlideTime)));
}

}  // namespace kinscope
