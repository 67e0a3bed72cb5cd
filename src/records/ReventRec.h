// The event window: one 24-byte event embedded in a record.
//   0   12 bytes  encoded date
//   12  i32       place: file offset of the place's name record
//   16  i32       age at the event
//   20  i32       citation number
#pragma once

#include <array>
#include <cstdint>

#include "RecordWindow.h"
#include "ui_ReventRec.h"

namespace kinscope {

constexpr size_t kEventSize = 24;

class TRevent : public TLinkedWindow {
 public:
  TRevent(QWidget* owner, TRecordHost& host);
  // Copies the 24 bytes of event data at `event` and shows them.
  void ShowEvent(const uint8_t* event);

  Ui::TRevent ui;

 private:
  int32_t Field(size_t offset) const;

  std::array<uint8_t, kEventSize> event_{};
};

// Opens an event window owned by `owner` on the event at `event`, runs it
// modally and destroys it.
void ShowEventWindow(QWidget* owner, TRecordHost& host, const uint8_t* event);

// The 12 date bytes at `date` added up as unsigned values.
int32_t DateByteSum(const uint8_t* date);

}  // namespace kinscope
