// SPDX-License-Identifier: GPL-3.0-or-later
#include "UETypeRec.h"

#include "Seams.h"

namespace kinscope {

TUEType::TUEType(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host, uetype::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  sentence_buttons_ = {ui.btnSen_m, ui.btnSen_d_m, ui.btnSen_p_m, ui.btnSen_dp_m,
                       ui.btnSen_f, ui.btnSen_d_f, ui.btnSen_p_f, ui.btnSen_dp_f,
                       ui.btnSen_u, ui.btnSen_d_u, ui.btnSen_p_u, ui.btnSen_dp_u};
  sentence_texts_ = {ui.s_m,   ui.s_d_m,  ui.s_p_m, ui.s_dp_m, ui.s_f,   ui.s_d_f,
                     ui.s_p_f, ui.s_dp_f, ui.s_u,   ui.s_d_u,  ui.s_p_u, ui.s_dp_u};
  AddLink(ui.btnTitle, uetype::kTitle);
  AddLink(ui.btnLessPtr, uetype::kLessPtr);
  AddLink(ui.btnGrtrPtr, uetype::kGreaterPrt);
  connect(ui.btnParentPtr, &QPushButton::clicked, this, &TUEType::btnParentPtrClick);
  for (size_t i = 0; i < uetype::kSentenceCount; ++i) {
    AddLink(sentence_buttons_[i], uetype::Sentence(i));
  }
}

void TUEType::ShowRecord(CTEVDatabase* db, int32_t number) {
  if (db == nullptr || db->LoadUserEvType(record_, number) == 0) {
    ReportFailedRead(QStringLiteral("Load User Event Type failed"), QStringLiteral("Bang!"));
    return;
  }
  setWindowTitle(QString::asprintf("User Event Type -- UET %d", number));
  ShowLinks();
  ui.btnParentPtr->setText(Num(I32(uetype::kParentPtr)));
  // Title and sentences: the text of the name record at each offset, empty
  // when there is none or it cannot be read.
  ui.titlestr->setText(NameText(I32(uetype::kTitle)));
  for (size_t i = 0; i < uetype::kSentenceCount; ++i) {
    sentence_texts_[i]->setText(NameText(I32(uetype::Sentence(i))));
  }
  ui.short_title->setText(Text(uetype::kShortTitle, uetype::kShortTitleSize));
  ui.type->setText(CharText(U8(uetype::kType)));
  ui.abbr->setText(Text(uetype::kAbbr, uetype::kAbbrSize));
  ui.ged_tag->setText(Text(uetype::kGedTag, uetype::kGedTagSize));
  ui.date_type->setText(Num(I8(uetype::kDateType)));
  ui.user_descr->setText(Num(I8(uetype::kUserDescr)));
  ui.permanent->setText(Num(U8(uetype::kPermanent)));
  ui.hasPlace->setText(Num(U8(uetype::kHasPlace)));
  ui.isLds->setText(Num(I8(uetype::kIsLds)));
  ui.useConfidential->setText(Num(U8(uetype::kUseConfidential)));
}

void TUEType::btnParentPtrClick() {
  const int32_t parent = I32(uetype::kParentPtr);
  if (parent == 0) return;
  switch (I8(uetype::kType)) {
    case 'I':
      host_.OpenRecordWindow(kIndividualCode, parent);
      break;
    case 'M':
      host_.OpenRecordWindow(kMarriageCode, parent);
      break;
    default:
      seams::ShowMessage(QStringLiteral("default in parentClick"), QStringLiteral("Bang!"));
  }
}

}  // namespace kinscope
