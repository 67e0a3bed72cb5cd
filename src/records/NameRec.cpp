#include "NameRec.h"

#include <array>

#include "Coding.h"
#include "RecordTypes.h"
#include "Seams.h"

namespace kinscope {
namespace {

// The window that shows a parent record, by the name record's type.
constexpr std::array<int32_t, 4> kParentWindow = {kMarriageCode, kFamilyCode, kNameCode,
                                                  kNoteCode};

}  // namespace

TName::TName(QWidget* owner, TRecordHost& host) : TRecordWindow(owner, host) {
  ui.setupUi(this);
  connect(ui.btnLess_ptr, &QPushButton::clicked, this, [this] { OpenLink(kNameCode, Field(kLessPtr)); });
  connect(ui.btnGreater_ptr, &QPushButton::clicked, this,
          [this] { OpenLink(kNameCode, Field(kGreaterPtr)); });
  connect(ui.btnParent_rec, &QPushButton::clicked, this, &TName::btnParent_recClick);
}

int32_t TName::Field(size_t offset) const { return DecodeI32(record_.data(), offset); }

void TName::ShowRecord(CTEVDatabase* db, int32_t nrin) {
  if (db == nullptr || db->LoadNameRec(nrin, record_) == 0) {
    ReportFailedRead(QString::asprintf("For NRin %d", nrin), QStringLiteral("LoadName failed"));
    return;
  }
  setWindowTitle(QString::asprintf("Name Record -- %d", nrin));
  ui.btnLess_ptr->setText(Num(Field(kLessPtr)));
  ui.btnGreater_ptr->setText(Num(Field(kGreaterPtr)));
  ui.btnParent_rec->setText(Num(Field(kParentRec)));
  ui.type->setText(Num(DecodeI8(record_.data(), kType)));
  ui.text->setText(RecordText(record_.data() + kNameRecHead, kNameRecRead - kNameRecHead));
}

void TName::btnParent_recClick() {
  const int32_t parent = Field(kParentRec);
  if (parent == 0) return;
  const int type = DecodeI8(record_.data(), kType);
  if (type < 0 || static_cast<size_t>(type) >= kParentWindow.size()) {
    seams::ShowMessage(
        QString::asprintf("Parent type %d has no record window (parent_rec %d)", type, parent),
        QStringLiteral("Note"));
    return;
  }
  host_.OpenRecordWindow(kParentWindow[static_cast<size_t>(type)], parent);
}

}  // namespace kinscope
