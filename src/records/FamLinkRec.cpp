// SPDX-License-Identifier: GPL-3.0-or-later
#include "FamLinkRec.h"

#include "OeventRec.h"

namespace kinscope {

const char* LinkTypeMeaning(uint8_t letter) {
  switch (letter) {
    case 'b':
      return "Bio";
    case 'a':
      return "Adopt";
    case 'c':
      return "challenged";
    case 'd':
      return "disapproved";
    case 'g':
      return "Guard.";
    case 's':
      return "sealed";
    case 'D':
      return "Deleted";
    default:
      return "unknown type";
  }
}

TFamilyLink::TFamilyLink(QWidget* owner, TRecordHost& host)
    : TRecordWindow(owner, host, famlink::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnMarriage, famlink::kMarriage);
  AddLink(ui.btnNYS, famlink::kNextYoungerSibling);
  AddLink(ui.btnNxtPrnts, famlink::kNextParents);
  AddLink(ui.btnIndi, famlink::kIndi);
  connect(ui.btnStoP, &QPushButton::clicked, this, [this] {
    ShowOrdinanceWindow(this, host_, record_.data() + famlink::kSealingToParents);
  });
}

void TFamilyLink::ShowRecord(CTEVDatabase* db, int32_t number) {
  if (db == nullptr || db->LoadFamLink(record_, number) == 0) return;
  setWindowTitle(QString::asprintf("Family Link Record -- %d", number));
  ShowLinks();
  // "'%c' means " with the letter; a zero byte ends the text right after the
  // opening quote.
  const uint8_t letter = U8(famlink::kLinkType);
  QString text = letter == 0 ? QStringLiteral("'")
                             : QStringLiteral("'") + QChar(letter) + QStringLiteral("' means ");
  ui.link_type->setText(text + QString::fromLatin1(LinkTypeMeaning(letter)));
}

}  // namespace kinscope
