// SPDX-License-Identifier: GPL-3.0-or-later
#include "IndivRec.h"

#include "OeventRec.h"
#include "ReventRec.h"
#include "TimeStamp.h"

namespace kinscope {
namespace {

QString TimeText(int32_t seconds) { return QString::fromStdString(TimeStampText(seconds)); }

}  // namespace

TIndivForm::TIndivForm(QWidget* owner, TRecordHost& host)
    : TRecordWindow(owner, host, individ::kLayout) {
  BindBytes(record_.data());
  ui.setupUi(this);
  AddLink(ui.btnStartnames, individ::kStartnames);
  AddLink(ui.btnMarriage, individ::kMarriage);
  AddLink(ui.btnFamLink, individ::kFamLink);
  AddLink(ui.btnNote, individ::kNote);
  AddLink(ui.btnCit, individ::kCit);
  AddLink(ui.btnUDEvent, individ::kUDEvent);
  AddLink(ui.btnMedia, individ::kMedia);
  AddLink(ui.btnContact, individ::kContact);
  AddLink(ui.btnRel_Descr, individ::kRelDescr);
  AddLink(ui.btnPrim_Marr, individ::kPrimMarr);
  const std::pair<QPushButton*, size_t> events[] = {{ui.btnBirth, individ::kBirth},
                                                    {ui.btnChristening, individ::kChristening},
                                                    {ui.btnDeath, individ::kDeath},
                                                    {ui.btnBurial, individ::kBurial}};
  for (const auto& [button, offset] : events) {
    connect(button, &QPushButton::clicked, this,
            [this, at = offset] { ShowEventWindow(this, host_, record_.data() + at); });
  }
  const std::pair<QPushButton*, size_t> ordinances[] = {{ui.btnBaptism, individ::kBaptism},
                                                        {ui.btnEndow, individ::kEndow}};
  for (const auto& [button, offset] : ordinances) {
    connect(button, &QPushButton::clicked, this,
            [this, at = offset] { ShowOrdinanceWindow(this, host_, record_.data() + at); });
  }
}

void TIndivForm::ShowRecord(CTEVDatabase* db, int32_t rin) {
  if (db == nullptr || db->LoadIndivid(record_, rin) == 0) {
    ReportFailedRead(QString::asprintf("For Rin %d", rin), QStringLiteral("LoadIndivid failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Individual Record %d", rin));
  ShowLinks();
  // The first name; empty when there is none or it cannot be read.
  ui.Label2->setText(INameText(*db, I32(individ::kStartnames)));
  ui.UID->setText(Num(I32(individ::kRelDescr)));
  ui.Source_cnt->setText(Num(U8(individ::kSourceCnt)));
  ui.SP_cnt->setText(Num(U8(individ::kSPCnt)));
  ui.Sex->setText(Text(individ::kSex, 1));
  ui.Label8->setText(TimeText(I32(individ::kModify)));
  ui.Label10->setText(TimeText(I32(individ::kAFSubmitted)));
}

}  // namespace kinscope
