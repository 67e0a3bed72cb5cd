#include "INamRec.h"

#include <array>

#include "Coding.h"
#include "RecordTypes.h"
#include "Seams.h"

namespace kinscope {
namespace {

// The window that shows the owner, by the record's type.
constexpr std::array<int32_t, 4> kOwnerWindow = {kMarriageCode, kIndividualCode, kNameCode,
                                                 kNoteCode};

}  // namespace

TIName::TIName(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host) {
  ui.setupUi(this);
  connect(ui.btnNextLnk, &QPushButton::clicked, this, [this] { OpenLink(kIndivNameCode, Field(kNext)); });
  connect(ui.btnPreviousLnk, &QPushButton::clicked, this,
          [this] { OpenLink(kIndivNameCode, Field(kPrevious)); });
  connect(ui.btnOwnerID, &QPushButton::clicked, this, &TIName::btnOwnerIDClick);
}

int32_t TIName::Field(size_t offset) const { return DecodeI32(record_.data(), offset); }

void TIName::ShowRecord(CTEVDatabase* db, int32_t offset) {
  if (db == nullptr || db->LoadINameRec(offset, record_) == 0) {
    ReportFailedRead(QString::asprintf("For NRin %d", offset), QStringLiteral("LoadName failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Individual's Name Record -- %d", offset));
  ui.btnNextLnk->setText(Num(Field(kNext)));
  ui.btnPreviousLnk->setText(Num(Field(kPrevious)));
  ui.btnOwnerID->setText(Num(Field(kOwnerId)));
  ui.type->setText(Num(DecodeU8(record_.data(), kType)));
  ui.TextLen->setText(Num(DecodeI16(record_.data(), kTextLen)));
  ui.text->setText(RecordText(record_.data() + kINameRecHead, kINameTextMax));
}

void TIName::btnOwnerIDClick() {
  const int32_t owner = Field(kOwnerId);
  if (owner == 0) return;
  const unsigned type = DecodeU8(record_.data(), kType);
  if (type >= kOwnerWindow.size()) {
    seams::ShowMessage(
        QString::asprintf("Owner type %u has no record window (nOwnerId %d)", type, owner),
        QStringLiteral("Note"));
    return;
  }
  host_.OpenRecordWindow(kOwnerWindow[type], owner);
}

}  // namespace kinscope
