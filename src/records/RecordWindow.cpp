#include "RecordWindow.h"

#include <cstring>

#include "Seams.h"
#include "TEVDatabase.h"

namespace kinscope {

void TRecordWindow::ReportFailedRead(const QString& text, const QString& title) {
  seams::ShowMessage(text, title);
}

QString TLinkedWindow::NameText(int32_t offset) const {
  CTEVDatabase* db = host_.Database();
  if (db == nullptr) return QString();
  const std::string text = db->NameRecText(offset);
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString RecordText(const uint8_t* text, size_t max) {
  const void* end = std::memchr(text, 0, max);
  const size_t length =
      end == nullptr ? max : static_cast<size_t>(static_cast<const uint8_t*>(end) - text);
  return QString::fromLatin1(reinterpret_cast<const char*>(text), static_cast<qsizetype>(length));
}

}  // namespace kinscope
