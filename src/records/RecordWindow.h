// What every record window has in common with the main window that opens it.
#pragma once

#include <QDialog>
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

// A window that shows one record. Created with the main window as owner,
// filled by ShowRecord, shown modally and destroyed when closed.
class TRecordWindow : public QDialog {
 public:
  using QDialog::QDialog;
  // Reads record `number` through `db` and fills the window.
  virtual void ShowRecord(CTEVDatabase* db, int32_t number) = 0;
};

}  // namespace kinscope
