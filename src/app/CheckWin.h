// SPDX-License-Identifier: GPL-3.0-or-later
// The check window: the whole-file check's findings of the open file in a
// table (where, severity, what, offset) above the map of the file's pages.
// Double-clicking a finding opens the record it concerns through the main
// window, or the byte view where it lies outside any record; clicking a
// page of the map opens the page's first record the same way. Ctrl+C copies
// the selected findings as text.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "FileCheck.h"
#include "FileMapView.h"
#include "RecordWindow.h"
#include "Repair.h"
#include "ui_CheckWin.h"

namespace kinscope {

class TCheckWin : public QDialog {
  Q_OBJECT

 public:
  // Reads its file and opens records through `host`, which must outlive it.
  TCheckWin(QWidget* owner, TRecordHost& host);

  // Lists `report`'s findings, or "clean: no problems found", and draws
  // `map` with the pages of the findings outlined.
  void ShowReport(CheckReport report, FileMap map);
  const CheckReport& Report() const { return report_; }

  // Opens what finding `row` concerns: its record through the host's
  // OpenRecordWindow, else a byte view at its offset; nothing when it names
  // neither.
  void OpenRow(int row);
  // Opens the first record of page `page` of `region` through the host, or
  // a byte view of the page when it holds no numbered record.
  void OpenPage(int region, int page);

  // The file the window shows, as the file system takes its path: "Repair
  // a copy..." mends it onto a copy, enabled when the report holds damage.
  void SetFile(const std::string& path);

  // "Repair a copy...": asks where to save (NAME-repaired.tev beside the
  // file), repairs the file onto that copy (Repair.h) with a progress dialog
  // whose Stop leaves no copy, lists the mends and cuts below the findings
  // and offers to open the copy. The file itself is only read, through the
  // host's database.
  void RepairCopy();
  const RepairReport& Repaired() const { return repaired_; }
  // The copy the user chose to open when the window closed, or empty.
  const std::string& CopyToOpen() const { return copy_to_open_; }

  // The selected rows as tab-separated lines (where, severity, what,
  // offset), and the same put on the clipboard.
  QString SelectedText() const;
  void CopySelection() const;

  Ui::TCheckWin ui;
  TFileMapView* map = nullptr;

 private:
  // A modal byte view of the 16 file bytes at `offset`.
  void OpenBytes(int64_t offset, const QString& where);
  void SaveMap();
  // Makes the map's pane no taller than the map, so that a small file's
  // map leaves the room to the list.
  void FitMapPane();

  TRecordHost& host_;
  CheckReport report_;
  std::string path_;
  RepairReport repaired_;
  std::string copy_to_open_;
  std::array<uint8_t, 16> bytes_{};
};

// The Check command of the main window: checks the host's open file
// (opened from `path`) with a progress dialog that appears when the check
// takes longer than half a second and whose Stop button stops it, then runs
// the check window modally, owned by `owner`. When no file is open it tells
// in a message why `path` cannot be checked. When the user repaired a copy
// and chose to open it, `open` is called with its path once the window is
// closed.
void RunCheckWindow(QWidget* owner, TRecordHost& host, const std::string& path,
                    const std::function<void(const std::string&)>& open = {});

}  // namespace kinscope
