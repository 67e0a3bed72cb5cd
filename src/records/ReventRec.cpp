#include "ReventRec.h"

#include <algorithm>
#include <numeric>

#include "Coding.h"
#include "RecordTypes.h"
#include "Seams.h"
#include "rdateRec.h"
#include "wtev5date.h"

namespace kinscope {
namespace {

constexpr size_t kPlace = 12;
constexpr size_t kAgeAt = 16;
constexpr size_t kCit = 20;

}  // namespace

int32_t DateByteSum(const uint8_t* date) { return std::accumulate(date, date + kDateSize, 0); }

TRevent::TRevent(QWidget* owner, TRecordHost& host) : TLinkedWindow(owner, host) {
  ui.setupUi(this);
  connect(ui.btnEdate, &QPushButton::clicked, this, [this] { ShowDateWindow(this, event_.data()); });
  connect(ui.btnPlace, &QPushButton::clicked, this, [this] { OpenLink(kNameCode, Field(kPlace)); });
  connect(ui.btnCit, &QPushButton::clicked, this, [this] { OpenLink(kCitationCode, Field(kCit)); });
}

int32_t TRevent::Field(size_t offset) const { return DecodeI32(event_.data(), offset); }

void TRevent::ShowEvent(const uint8_t* event) {
  std::copy(event, event + kEventSize, event_.begin());
  ui.btnEdate->setText(Num(DateByteSum(event_.data())));
  const wtev5date date(event_.data());
  CheckDateType(date);
  ui.datestr->setText(QString::fromLatin1(date.DateText().Text()));
  ui.btnPlace->setText(Num(Field(kPlace)));
  ui.placestr->setText(NameText(Field(kPlace)));
  ui.Age_at->setText(Num(Field(kAgeAt)));
  ui.btnCit->setText(Num(Field(kCit)));
}

void ShowEventWindow(QWidget* owner, TRecordHost& host, const uint8_t* event) {
  TRevent window(owner, host);
  window.ShowEvent(event);
  seams::RunModal(window);
}

}  // namespace kinscope
