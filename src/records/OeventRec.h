// The ordinance window: one 21-byte ordinance embedded in a record.
//   0   12 bytes  encoded date
//   12  i32       place or temple: file offset of a name record
//   16  i32       citation number
//   20  u8        temple flag
#pragma once

#include <array>
#include <cstdint>

#include "RecordWindow.h"
#include "ui_OeventRec.h"

namespace kinscope {

constexpr size_t kOrdinanceSize = 21;

class TOevent : public TLinkedWindow {
 public:
  TOevent(QWidget* owner, TRecordHost& host);
  // Copies the 21 bytes of ordinance data at `ordinance` and shows them.
  void ShowOrdinance(const uint8_t* ordinance);

  Ui::TOevent ui;

 private:
  int32_t Field(size_t offset) const;

  std::array<uint8_t, kOrdinanceSize> ordinance_{};
};

// Opens an ordinance window owned by `owner` on the ordinance at
// `ordinance`, runs it modally and destroys it.
void ShowOrdinanceWindow(QWidget* owner, TRecordHost& host, const uint8_t* ordinance);

}  // namespace kinscope
