#include "IndivIX.h"

#include "Coding.h"
#include "RecordTypes.h"

namespace kinscope {

TIndivIXForm::TIndivIXForm(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host) {
  ui.setupUi(this);
  connect(ui.btnGrtr, &QPushButton::clicked, this, [this] { OpenLink(kIndivIndexCode, Field(kGreater)); });
  connect(ui.btnLess, &QPushButton::clicked, this, [this] { OpenLink(kIndivIndexCode, Field(kLesser)); });
  connect(ui.btnParent, &QPushButton::clicked, this, [this] { OpenLink(kIndivIndexCode, Field(kParent)); });
  connect(ui.btnName, &QPushButton::clicked, this, [this] { OpenLink(kIndivNameCode, Field(kName)); });
}

int32_t TIndivIXForm::Field(size_t offset) const { return DecodeI32(node_.data(), offset); }

void TIndivIXForm::ShowRecord(CTEVDatabase* db, int32_t node) {
  if (db == nullptr || db->LoadIndexNode(node_, node) == 0) {
    ReportFailedRead(QString::asprintf("For Rin %d", node), QStringLiteral("LoadIndivid failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Individual Index %d", node));
  ui.btnGrtr->setText(Num(Field(kGreater)));
  ui.btnLess->setText(Num(Field(kLesser)));
  ui.btnParent->setText(Num(Field(kParent)));
  ui.btnName->setText(Num(Field(kName)));
  // The name is read whatever the result: a failed read leaves the text empty.
  INameRecImage name{};
  db->LoadINameRec(Field(kName), name);
  ui.Label5->setText(RecordText(name.data() + kINameRecHead, kINameTextMax));
}

}  // namespace kinscope
