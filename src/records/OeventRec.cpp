#include "OeventRec.h"

#include <algorithm>

#include "Coding.h"
#include "RecordTypes.h"
#include "ReventRec.h"
#include "Seams.h"
#include "rdateRec.h"
#include "wtev5date.h"

namespace kinscope {
namespace {

constexpr size_t kPlace = 12;
constexpr size_t kCit = 16;
constexpr size_t kIsTemple = 20;

}  // namespace

TOevent::TOevent(QWidget* owner, TRecordHost& host) : TLinkedWindow(owner, host) {
  ui.setupUi(this);
  connect(ui.btnOdate, &QPushButton::clicked, this,
          [this] { ShowDateWindow(this, ordinance_.data()); });
  connect(ui.btnPlace, &QPushButton::clicked, this, [this] {
    if (Field(kPlace) != 0) seams::ShowMessage(QStringLiteral("TO DO"), QStringLiteral("place"));
  });
  connect(ui.btnCit, &QPushButton::clicked, this, [this] { OpenLink(kCitationCode, Field(kCit)); });
}

int32_t TOevent::Field(size_t offset) const { return DecodeI32(ordinance_.data(), offset); }

void TOevent::ShowOrdinance(const uint8_t* ordinance) {
  std::copy(ordinance, ordinance + kOrdinanceSize, ordinance_.begin());
  ui.btnOdate->setText(Num(DateByteSum(ordinance_.data())));
  const wtev5date date(ordinance_.data());
  CheckDateType(date);
  ui.DateStr->setText(QString::fromLatin1(date.DateText().Text()));
  ui.btnPlace->setText(Num(Field(kPlace)));
  ui.templeName->setText(NameText(Field(kPlace)));
  ui.isTemple->setText(Num(DecodeU8(ordinance_.data(), kIsTemple)));
  ui.btnCit->setText(Num(Field(kCit)));
}

void ShowOrdinanceWindow(QWidget* owner, TRecordHost& host, const uint8_t* ordinance) {
  TOevent window(owner, host);
  window.ShowOrdinance(ordinance);
  seams::RunModal(window);
}

}  // namespace kinscope
