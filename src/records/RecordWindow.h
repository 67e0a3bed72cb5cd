// SPDX-License-Identifier: GPL-3.0-or-later
// What the record windows share: the main window that opened them, the
// bytes of the record or value they show, and a link table that binds a
// button to a field of those bytes.
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ByteView.h"
#include "RecordLayouts.h"

class QPushButton;

namespace kinscope {

class CTEVDatabase;

// The main window as the record windows see it: the open database and the
// one way to open a further record window.
// A text of a record: the 8-bit characters at `text` up to the first zero
// byte or `max` bytes, decoded as Windows-1252 (Cp1252.h).
QString RecordText(const uint8_t* text, size_t max);

class TRecordHost {
 public:
  virtual ~TRecordHost() = default;
  // Opens the window for record-type `code` on `number` (a record number, a
  // node number or a file offset, as the record type has it), shows it
  // modally and returns when it is closed.
  virtual void OpenRecordWindow(int32_t code, int32_t number) = 0;
  // The open database, or none.
  virtual CTEVDatabase* Database() const = 0;
};

// A window with buttons that lead to further records through the main
// window: record windows and the event and ordinance windows.
class TLinkedWindow : public QDialog {
  Q_OBJECT

 public:
  // A window showing bytes laid out as `layout`: the derived window's
  // constructor binds them (BindBytes) before anything else.
  TLinkedWindow(QWidget* owner, TRecordHost& host, const RecordLayout& layout);

  // The layout of the bytes the window shows, and those bytes.
  const RecordLayout& Layout() const { return layout_; }
  const uint8_t* Bytes() const { return bytes_; }

  // What the byte view (Ctrl+B, or "Bytes..." on the background) shows.
  virtual ByteViewSource ByteSource() const;

 protected:
  // A number as the "%d" caption of a control.
  static QString Num(int32_t value) { return QString::number(value); }
  // A byte as a one-character text (its Windows-1252 character); empty for
  // the zero byte, which ends a text.
  static QString CharText(uint8_t byte) { return RecordText(&byte, 1); }

  // Fields of the window's bytes; 0 for a field that does not fit inside
  // the layout's size.
  int32_t I32(size_t offset) const;
  int16_t I16(size_t offset) const;
  uint16_t U16(size_t offset) const;
  int8_t I8(size_t offset) const;
  uint8_t U8(size_t offset) const;
  // The text field at `offset`, `width` bytes at most, up to its zero byte.
  QString Text(size_t offset, size_t width) const;

  // Binds `button` to the 32-bit link field at `offset` of the layout: its
  // click opens the field's record type on the field's value, unless the
  // value is 0; ShowLinks() sets its caption to the value.
  void AddLink(QPushButton* button, size_t offset);
  // Sets the caption of every bound button to "%d" of its field.
  void ShowLinks();

  // Opens record-type `code` on `value` through the main window, unless the
  // value is 0.
  void OpenLink(int32_t code, int32_t value);
  // The text of the name record at `offset` in the main window's database;
  // empty when it cannot be read.
  QString NameText(int32_t offset) const;
  // The text of the individual's name record at `offset` in `db`, at most
  // 256 characters; empty when there is none or it cannot be read.
  static QString INameText(CTEVDatabase& db, int32_t offset);

  // Binds the window's own copy of what it shows: a member of the derived
  // window, living as long as the window, bound in its constructor's body
  // since the member is made only after this base.
  void BindBytes(const uint8_t* bytes) { bytes_ = bytes; }

  // Gives labels and buttons their Copy menu once the form is set up.
  void showEvent(QShowEvent* event) override;

  TRecordHost& host_;

 private:
  bool copy_menus_ = false;
  struct LinkRow {
    QPushButton* button;
    size_t offset;
  };

  const RecordLayout& layout_;
  const uint8_t* bytes_ = nullptr;
  std::vector<LinkRow> links_;
};

// A window that shows one record. Created with the main window as owner,
// filled by ShowRecord, shown modally and destroyed when closed. Until
// ShowRecord succeeds it shows its design-time captions.
class TRecordWindow : public TLinkedWindow {
  Q_OBJECT

 public:
  using TLinkedWindow::TLinkedWindow;
  // Reads record `number` through `db` (which may be none: the read then
  // fails) and fills the window.
  virtual void ShowRecord(CTEVDatabase* db, int32_t number) = 0;

  // ShowRecord, remembering the database and the number for the byte view.
  void Open(CTEVDatabase* db, int32_t number);

  // The record's table or file offset, its number and how many of its bytes
  // the file holds.
  ByteViewSource ByteSource() const override;

 protected:
  // Reports a record that could not be read.
  static void ReportFailedRead(const QString& text, const QString& title);

 private:
  CTEVDatabase* db_ = nullptr;
  int32_t number_ = 0;
  bool opened_ = false;
};

}  // namespace kinscope
