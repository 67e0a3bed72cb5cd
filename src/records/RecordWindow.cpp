// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordWindow.h"

#include <QPushButton>
#include <algorithm>
#include <vector>

#include "Coding.h"
#include "Cp1252.h"
#include "Seams.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

// The link code of the field at `offset` of `layout`; kNoLink when the
// layout has no link there.
int32_t LinkAt(const RecordLayout& layout, size_t offset) {
  for (size_t i = 0; i < layout.count; ++i) {
    if (layout.fields[i].offset == offset) return layout.fields[i].link;
  }
  return kNoLink;
}

}  // namespace

TLinkedWindow::TLinkedWindow(QWidget* owner, TRecordHost& host, const RecordLayout& layout)
    : QDialog(owner), host_(host), layout_(layout) {
  InstallByteView(this, [this] { return ByteSource(); });
}

void TLinkedWindow::showEvent(QShowEvent* event) {
  if (!copy_menus_) InstallCopyMenus(this);
  copy_menus_ = true;
  QDialog::showEvent(event);
}

ByteViewSource TLinkedWindow::ByteSource() const {
  return {&layout_, bytes_, layout_.size,
          QString::asprintf("An embedded %s, %zu bytes", layout_.kind, layout_.size)};
}

QString TLinkedWindow::INameText(CTEVDatabase& db, int32_t offset) {
  INameRecImage name;  // LoadINameRec clears it
  db.LoadINameRec(offset, name);
  return RecordText(name.data() + iname::kText, kINameTextMax);
}

void TRecordWindow::Open(CTEVDatabase* db, int32_t number) {
  db_ = db;
  number_ = number;
  opened_ = true;
  ShowRecord(db, number);
}

ByteViewSource TRecordWindow::ByteSource() const {
  const RecordLayout& layout = Layout();
  ByteViewSource source{&layout, Bytes(), layout.size, QString()};
  if (!opened_) {
    source.where = QString::asprintf("A %s record, %zu bytes", layout.kind, layout.size);
    return source;
  }
  const TableSpec* table = TableOf(layout);
  int64_t offset = number_;
  if (table != nullptr) {
    offset =
        db_ != nullptr ? db_->LocateRecord(number_, table->table, table->size, table->per_page) : 0;
    source.where = QString::asprintf("%s %d, table %d, file offset %lld", layout.kind, number_,
                                     table->table, static_cast<long long>(offset));
  } else {
    source.where = QString::asprintf("%s at file offset %d", layout.kind, number_);
  }
  // How much of the record the file holds: what a read there gives now.
  std::vector<uint8_t> probe(layout.size);
  source.read = db_ != nullptr && offset > 0 ? db_->ReadAt(offset, probe.data(), probe.size()) : 0;
  if (source.read < layout.size) {
    source.where +=
        QString::asprintf(" (only %zu of its %zu bytes could be read)", source.read, layout.size);
  }
  return source;
}

int32_t TLinkedWindow::I32(size_t offset) const {
  return offset + 4 <= layout_.size ? DecodeI32(bytes_, offset) : 0;
}
int16_t TLinkedWindow::I16(size_t offset) const {
  return offset + 2 <= layout_.size ? DecodeI16(bytes_, offset) : 0;
}
uint16_t TLinkedWindow::U16(size_t offset) const {
  return offset + 2 <= layout_.size ? DecodeU16(bytes_, offset) : 0;
}
int8_t TLinkedWindow::I8(size_t offset) const {
  return offset < layout_.size ? DecodeI8(bytes_, offset) : 0;
}
uint8_t TLinkedWindow::U8(size_t offset) const {
  return offset < layout_.size ? DecodeU8(bytes_, offset) : 0;
}

QString TLinkedWindow::Text(size_t offset, size_t width) const {
  if (offset >= layout_.size) return QString();
  return RecordText(bytes_ + offset, std::min(width, layout_.size - offset));
}

void TLinkedWindow::AddLink(QPushButton* button, size_t offset) {
  const int32_t code = LinkAt(layout_, offset);
  Q_ASSERT_X(code != kNoLink && code != kLinkByType, "AddLink", "not a plain link field");
  links_.push_back({button, offset});
  connect(button, &QPushButton::clicked, this,
          [this, code, offset] { OpenLink(code, I32(offset)); });
}

void TLinkedWindow::ShowLinks() {
  for (const LinkRow& row : links_) row.button->setText(Num(I32(row.offset)));
}

void TLinkedWindow::OpenLink(int32_t code, int32_t value) {
  if (value != 0) host_.OpenRecordWindow(code, value);
}

QString TLinkedWindow::NameText(int32_t offset) const {
  CTEVDatabase* db = host_.Database();
  if (db == nullptr) return QString();
  return QString::fromStdString(Cp1252ToUtf8(db->NameRecText(offset)));
}

void TRecordWindow::ReportFailedRead(const QString& text, const QString& title) {
  seams::ShowMessage(text, title);
}

QString RecordText(const uint8_t* text, size_t max) {
  return QString::fromStdString(Cp1252ToUtf8(text, max));
}

}  // namespace kinscope
