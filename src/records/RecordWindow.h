// What the record windows share: the main window that opened them, and the
// small steps each one repeats (a number as a caption, a link button that
// leads nowhere when its field is 0, the message of a failed read).
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace kinscope {

class CTEVDatabase;

// The main window as the record windows see it: the open database and the
// one way to open a further record window.
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
 public:
  TLinkedWindow(QWidget* owner, TRecordHost& host) : QDialog(owner), host_(host) {}

 protected:
  // A number as the "%d" caption of a control.
  static QString Num(int32_t value) { return QString::number(value); }
  // Opens record-type `code` on `value` through the main window, unless the
  // field is 0.
  void OpenLink(int32_t code, int32_t value) {
    if (value != 0) host_.OpenRecordWindow(code, value);
  }
  // The text of the name record at `offset` in the main window's database;
  // empty when it cannot be read.
  QString NameText(int32_t offset) const;

  TRecordHost& host_;
};

// A window that shows one record. Created with the main window as owner,
// filled by ShowRecord, shown modally and destroyed when closed. Until
// ShowRecord succeeds it shows its design-time captions.
class TRecordWindow : public TLinkedWindow {
 public:
  using TLinkedWindow::TLinkedWindow;
  // Reads record `number` through `db` (which may be none: the read then
  // fails) and fills the window.
  virtual void ShowRecord(CTEVDatabase* db, int32_t number) = 0;

 protected:
  // Reports a record that could not be read.
  static void ReportFailedRead(const QString& text, const QString& title);
};

// A text of a record: the 8-bit characters at `text` up to the first zero
// byte or `max` bytes, a byte per character.
QString RecordText(const uint8_t* text, size_t max);

}  // namespace kinscope
