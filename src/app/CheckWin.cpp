// SPDX-License-Identifier: GPL-3.0-or-later
#include "CheckWin.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTableWidgetItem>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

#include "ByteView.h"
#include "Messages.h"
#include "PlatformFile.h"
#include "Seams.h"
#include "TEVDatabase.h"

namespace kinscope {
namespace {

// Bytes of the file outside any record, as the byte view shows them.
inline constexpr FieldSpec kFileBytesFields[] = {
    Of("bytes 0 to 7", 0, 8, FieldKind::kBytes),
    Of("bytes 8 to 15", 8, 8, FieldKind::kBytes),
};
inline constexpr RecordLayout kFileBytes = MakeLayout("file bytes", 16, kFileBytesFields);

enum Column { kWhere, kSeverity, kWhat, kOffset };

// A long whole-file task's dialog: window-modal, shown only when the task
// takes over half a second, its Stop button the task's cancel.
void SetUpProgress(QProgressDialog& progress, const QString& title) {
  progress.setWindowTitle(title);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setValue(0);
}

}  // namespace

TCheckWin::TCheckWin(QWidget* owner, TRecordHost& host) : QDialog(owner), host_(host) {
  ui.setupUi(this);
  map = new TFileMapView;
  ui.saMap->setWidget(map);
  ui.twFindings->horizontalHeader()->setStretchLastSection(false);
  ui.twFindings->horizontalHeader()->setSectionResizeMode(kWhat, QHeaderView::Stretch);
  ui.twFindings->verticalHeader()->hide();
  ui.splitter->setStretchFactor(1, 2);
  auto* copy = new QAction(QStringLiteral("Copy"), ui.twFindings);
  copy->setObjectName(QStringLiteral("actCopy"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  ui.twFindings->addAction(copy);
  ui.twFindings->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copy, &QAction::triggered, this, &TCheckWin::CopySelection);
  connect(ui.twFindings, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { OpenRow(row); });
  connect(map, &TFileMapView::PageClicked, this, &TCheckWin::OpenPage);
  connect(ui.sbZoom, qOverload<int>(&QSpinBox::valueChanged), this, [this](int pixels) {
    map->SetCellSize(pixels);
    FitMapPane();
  });
  connect(ui.btnSavePng, &QPushButton::clicked, this, &TCheckWin::SaveMap);
  connect(ui.btnRepair, &QPushButton::clicked, this, &TCheckWin::RepairCopy);
  ui.teRepair->hide();
}

void TCheckWin::SetFile(const std::string& path) {
  path_ = path;
  ui.btnRepair->setEnabled(!path_.empty() && !report_.Sound());
}

void TCheckWin::RepairCopy() {
  if (path_.empty()) return;
  const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(path_)));
  QFileDialog dialog(this, QStringLiteral("Save the repaired copy"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("Family files (*.tev)"));
  dialog.setDefaultSuffix(QStringLiteral("tev"));
  dialog.setDirectory(file.absolutePath());
  dialog.selectFile(file.completeBaseName() + QStringLiteral("-repaired.tev"));
  const std::optional<QString> chosen = seams::RunFileDialog(dialog);
  if (!chosen) return;
  const std::string out = QFile::encodeName(*chosen).toStdString();

  QProgressDialog progress(QStringLiteral("Repairing a copy of %1...").arg(file.fileName()),
                           QStringLiteral("Stop"), 0, 1000, this);
  SetUpProgress(progress, QStringLiteral("Repair"));
  QElapsedTimer since_events;
  since_events.start();
  RepairOptions options;
  options.force = true;  // the save dialog asked before it chose a file that exists
  options.source = host_.Database();
  options.progress = [&](const std::string& stage, int64_t done, int64_t total) {
    if (since_events.elapsed() >= 50) {
      progress.setLabelText(QStringLiteral("Repairing a copy of %1: %2...")
                                .arg(file.fileName(), QString::fromStdString(stage)));
      progress.setValue(total > 0 ? static_cast<int>(done * 999 / total) : 0);
      QCoreApplication::processEvents();
      since_events.restart();
    }
    return !progress.wasCanceled();
  };
  repaired_ = RepairDatabase(path_, out, options);
  progress.reset();

  if (repaired_.status == kRepairFailed) {
    seams::ShowMessage(
        QStringLiteral("No copy was written: %1.").arg(QString::fromStdString(repaired_.error)),
        QStringLiteral("Repair"));
    return;
  }
  QString text;
  for (const RepairLine& l : repaired_.lines) {
    text += QStringLiteral("%1: %2  %3 -> %4\n")
                .arg(QString::fromStdString(l.place), QLatin1String(RepairActionName(l.action)),
                     QString::fromStdString(l.was), QString::fromStdString(l.now));
  }
  text +=
      QString::fromStdString(RepairSummary(repaired_)) + QStringLiteral("; the copy is ") + *chosen;
  ui.teRepair->setPlainText(text);
  ui.teRepair->show();
  if (seams::AskYesNo(QStringLiteral("%1.\n\nOpen the repaired copy\n%2?")
                          .arg(QString::fromStdString(RepairSummary(repaired_)), *chosen),
                      QStringLiteral("Repair"))) {
    copy_to_open_ = out;
    accept();
  }
}

void TCheckWin::ShowReport(CheckReport report, FileMap file_map) {
  report_ = std::move(report);
  ui.lblSummary->setText(QString::fromStdString(CheckSummary(report_)));
  ui.twFindings->setRowCount(static_cast<int>(report_.findings.size()));
  std::set<std::pair<int, int>> problems;
  int row = 0;
  for (const Finding& f : report_.findings) {
    const bool damage = f.severity == Severity::kDamage;
    const QString cells[] = {
        QString::fromStdString(f.place), QString::fromLatin1(SeverityName(f.severity)),
        QString::fromStdString(f.what), f.offset < 0 ? QString() : QString::number(f.offset)};
    for (int c = 0; c < 4; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c == kSeverity && damage) {
        item->setForeground(QColor(0xc0, 0, 0));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      if (c == kOffset) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      ui.twFindings->setItem(row, c, item);
    }
    if (f.region >= 0 && f.page >= 0) problems.insert({f.region, f.page});
    ++row;
  }
  ui.twFindings->resizeColumnToContents(kWhere);
  ui.twFindings->resizeColumnToContents(kSeverity);
  ui.twFindings->resizeColumnToContents(kOffset);
  map->SetMap(std::move(file_map), std::move(problems));
  ui.sbZoom->setMaximum(map->MaxCellSize());
  map->SetCellSize(ui.sbZoom->value());
  FitMapPane();
  ui.lblPastEnd->setText(TFileMapView::PastTheEnd(map->Map()));
  ui.lblLegend->setText(map->Legend());
  ui.btnRepair->setEnabled(!path_.empty() && !report_.Sound());
}

void TCheckWin::FitMapPane() {
  // No taller than the map and a scroll bar below it, under the map's tools:
  // the splitter gives the rest to the list.
  const int frame = 2 * ui.saMap->frameWidth();
  const int scroll = map->height() + frame + ui.saMap->horizontalScrollBar()->sizeHint().height();
  ui.saMap->setMaximumHeight(scroll);
  const QMargins margins = ui.mapColumn->contentsMargins();
  ui.mapPane->setMaximumHeight(margins.top() + ui.mapTools->sizeHint().height() +
                               ui.mapColumn->spacing() + scroll + margins.bottom());
}

void TCheckWin::OpenRow(int row) {
  if (row < 0 || row >= static_cast<int>(report_.findings.size())) return;
  const Finding& f = report_.findings[static_cast<size_t>(row)];
  if (f.code >= 0 && f.number != 0) {
    host_.OpenRecordWindow(f.code, f.number);
  } else if (f.offset >= 0) {
    OpenBytes(f.offset, QString::fromStdString(f.place));
  }
}

void TCheckWin::OpenPage(int region, int page) {
  const FileMap& m = map->Map();
  if (region < 0 || region >= static_cast<int>(m.regions.size()) ||
      m.regions[static_cast<size_t>(region)].empty() || page < 0 || page >= kPageSize) {
    return;
  }
  const MapPage& p = m.regions[static_cast<size_t>(region)][static_cast<size_t>(page)];
  const int32_t code = RecordCodeOfTable(p.table);
  if (p.first_record > 0 && code != kNoRecordCode) {
    host_.OpenRecordWindow(code, p.first_record);
  } else {
    OpenBytes(kRegionBase + region * kRegionSize + int64_t{page} * kPageSize,
              QStringLiteral("region %1 page %2").arg(region).arg(page));
  }
}

QString TCheckWin::SelectedText() const {
  std::set<int> rows;
  for (const QModelIndex& i : ui.twFindings->selectionModel()->selectedIndexes())
    rows.insert(i.row());
  QString text;
  for (int r : rows) {
    QStringList cells;
    for (int c = 0; c < ui.twFindings->columnCount(); ++c)
      cells << ui.twFindings->item(r, c)->text();
    text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return text;
}

void TCheckWin::CopySelection() const { QApplication::clipboard()->setText(SelectedText()); }

void TCheckWin::OpenBytes(int64_t offset, const QString& where) {
  bytes_.fill(0);
  size_t read = 0;
  if (CTEVDatabase* db = host_.Database(); db != nullptr && db->IsOpen()) {
    read = db->ReadAt(offset, bytes_.data(), bytes_.size());
  }
  TByteView view(this, {&kFileBytes, bytes_.data(), read,
                        QStringLiteral("%1: file offset %2").arg(where).arg(offset)});
  seams::RunModal(view);
}

void TCheckWin::SaveMap() {
  QFileDialog dialog(this, QStringLiteral("Save the map as PNG"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("PNG images (*.png)"));
  dialog.setDefaultSuffix(QStringLiteral("png"));
  const std::optional<QString> path = seams::RunFileDialog(dialog);
  if (!path) return;
  if (!map->Image().save(*path, "PNG")) {
    seams::ShowMessage(QStringLiteral("The map could not be saved as %1.").arg(*path),
                       QStringLiteral("Check"));
  }
}

void RunCheckWindow(QWidget* owner, TRecordHost& host, const std::string& path,
                    const std::function<void(const std::string&)>& open) {
  const QString file = QString::fromLocal8Bit(path.c_str());
  CTEVDatabase* db = host.Database();
  if (db == nullptr || !db->IsOpen()) {
    // Tell why, as an open of the file read-only finds it.
    CTEVDatabase probe;
    const int opened = path.empty() ? kOpenFailed : probe.OpenDatabase(path, 1);
    const int error = platform::LastError();
    QString why = QStringLiteral("no file is open");
    if (opened == kOpenCorrupt) {
      why = QString::fromLatin1(kCorruptFileText);
    } else if (opened == kOpenFailed && !path.empty()) {
      why = QStringLiteral("the file cannot be opened (%1)")
                .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (opened == kOpenOk) probe.CloseDatabase();
    seams::ShowMessage(QStringLiteral("%1 cannot be checked: %2.").arg(file, why),
                       QStringLiteral("Check"));
    return;
  }
  QProgressDialog progress(QStringLiteral("Checking %1...").arg(file), QStringLiteral("Stop"), 0, 1,
                           owner);
  SetUpProgress(progress, QStringLiteral("Check"));
  QElapsedTimer since_events;
  since_events.start();
  CheckReport report = CheckDatabase(*db, path, [&](int done, int total) {
    if (since_events.elapsed() >= 50) {
      progress.setMaximum(total);
      progress.setValue(done);
      QCoreApplication::processEvents();
      since_events.restart();
    }
    return !progress.wasCanceled();
  });
  FileMap file_map = ReadFileMap(*db);
  progress.reset();
  TCheckWin window(owner, host);
  window.setWindowTitle(QStringLiteral("Check -- %1").arg(file));
  window.ShowReport(std::move(report), std::move(file_map));
  window.SetFile(path);
  seams::RunModal(window);
  if (!window.CopyToOpen().empty() && open) open(window.CopyToOpen());
}

}  // namespace kinscope
