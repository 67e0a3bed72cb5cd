// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: picks the database file, the record type and the record
// number, and opens every record window through OpenRecordWindow.
#pragma once

#include <QFileDialog>
#include <QModelIndex>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "NameList.h"
#include "RecordTypes.h"
#include "RecordWindow.h"
#include "TEVDatabase.h"
#include "ui_Explor1.h"

namespace kinscope {

// Converts text as the C library's atol does: leading white space, an
// optional sign, then decimal digits; 0 when no digit follows. Values beyond
// the signed 32-bit range are clamped to it.
int32_t ParseRecordNumber(const std::string& text);

class TForm1 : public QWidget, public TRecordHost {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // TRecordHost.
  void OpenRecordWindow(int32_t code, int32_t number) override;
  CTEVDatabase* Database() const override { return database_.get(); }

  // Opens `path` (bytes as the file system takes them) exactly as if the
  // file-open dialog had returned it: the rest of the Open sequence.
  void OpenPath(const std::string& path);

  // In read-only mode every file, the dialog's or OpenPath's, is opened with
  // mode 1: nothing is ever written to it, a shared lock lets other readers
  // in, and the re-order button stays disabled. The caption then ends in
  // " (read-only)". Set it before a file is opened.
  void SetReadOnly(bool read_only);
  bool IsReadOnly() const { return read_only_; }

  // The path the file-open dialog returned last; empty at start.
  const std::string& CurrentFileName() const { return current_file_name_; }

  // Index of the chosen record type: the entry whose text the chooser holds,
  // or -1 when it holds no entry's text.
  int32_t SelectedRecordType() const;

  // The list of names under the Find box: every name of the index once a
  // file is open and whenever Find is pressed with the box empty, else what
  // Find found.
  TNameList& Names() { return names_; }

  Ui::TForm1 ui;
  QFileDialog OpenDialog1;

 private:
  void btnOpenClick();
  void btnGoClick();
  void btnOrderNamesClick();
  void btnFindClick();
  // Tells the user what the open found beside the file under the journal's
  // name: an interrupted change undone, one left for a writable open, or a
  // journal that is not applied, with why.
  void ReportJournal();
  // Enables the re-ordering when a change can be written to the open file;
  // otherwise disables it, its tooltip saying why.
  void OfferReorder();
  // Opens the individual of a listed name, as Go would.
  void OpenFound(const QModelIndex& index);
  // Says under the list what it holds, how far its gathering has got, and
  // what went wrong; a damaged index that stopped an exact lookup is also
  // told in a message once the lookup ends.
  void ShowListState(bool ended);
  // Shows `text` under the list, cut to its width (whole in its tooltip).
  void SayUnderList(const QString& text);

 public:
  // The steps before the re-ordering writes anything: checks that a change
  // can be written (no journal in the way), asks the user, checks the index
  // and the log's name, and makes the backup. False, with a message where
  // one is due, when any of them stops it: a failure certain beforehand
  // stops it before the backup or the log is made.
  bool PrepareReorder();

  // The re-order button's work short of ending the program: prepares, runs
  // the re-ordering under a progress dialog (runs done of runs found) whose
  // Cancel undoes it, and shows its message (its text, then the cause and
  // what became of the file). Returns the exit status the program then ends
  // with, or -1 when the program goes on: the re-ordering did not start, or
  // was cancelled and undone (the file is then opened afresh; the backup
  // copy stays).
  int ReorderAndReport();

 private:
  std::unique_ptr<CTEVDatabase> database_;
  TNameList names_;   // after database_: cleared before the database goes
  QString searched_;  // the text of the last search, as typed
  std::string current_file_name_;
  bool read_only_ = false;
  QString caption_;          // the design-time caption
  std::string backup_path_;  // the re-ordering's backup copy, made last
};

}  // namespace kinscope
