#include "RecordWindow.h"

#include <cstring>

#include "Seams.h"

namespace kinscope {

void TRecordWindow::ReportFailedRead(const QString& text, const QString& title) {
  seams::ShowMessage(text, title);
}

QString RecordText(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  const size_t length =
      end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
  return QString::fromLatin1(reinterpret_cast<const char*>(text), static_cast<qsizetype>(length));
}

}  // namespace kinscope
