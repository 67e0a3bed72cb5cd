// SPDX-License-Identifier: GPL-3.0-or-later
#include "Explor1.h"

#include <QFile>
#include <QFont>
#include <QProgressDialog>
#include <QString>
#include <QTreeView>
#include <initializer_list>
#include <cctype>
#include <cstdlib>
#include <limits>

#include "Backup.h"
#include "Causes.h"
#include "CheckWin.h"
#include "Cp1252.h"
#include "ExportGedcom.h"
#include "Journal.h"
#include "Messages.h"
#include "NameFind.h"
#include "PlatformFile.h"
#include "ReorderCheck.h"
#include "SameNameReorder.h"
#include "TraceFile.h"
#include "RecordWindowTable.h"
#include "Seams.h"

namespace kinscope {
namespace {

// A message's text, and after a blank line what follows it.
QString Compose(const QString& text, const std::string& detail) {
  if (detail.empty()) return text;
  return text + QStringLiteral("\n\n") + QString::fromLocal8Bit(detail.c_str());
}

}  // namespace

int32_t ParseRecordNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value < kLimit ? value : kLimit - 1);
}

TForm1::TForm1(QWidget* parent) : QWidget(parent), OpenDialog1(this) {
  ui.setupUi(this);
  // Fonts by pixel size, so the fixed layout holds at any screen resolution;
  // the long notice line takes the narrow cut to fit the window's width.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(11);
  setFont(font);
  QFont narrow(QStringLiteral("Liberation Sans Narrow"));
  narrow.setPixelSize(12);
  ui.Label4->setFont(narrow);
  setFixedSize(size());
  caption_ = windowTitle();
  for (const RecordType& type : kRecordTypes)
    ui.cbxRecType->addItem(QString::fromLatin1(type.name));
  ui.cbxRecType->setMaxVisibleItems(kRecordTypeCount);
  ui.cbxRecType->setCurrentIndex(-1);
  OpenDialog1.setWindowTitle(QStringLiteral("Open"));
  OpenDialog1.setNameFilter(QStringLiteral("TEV 5 files (*.tev)"));
  OpenDialog1.setDefaultSuffix(QStringLiteral("tev"));
  OpenDialog1.setFileMode(QFileDialog::ExistingFile);
  OpenDialog1.setAcceptMode(QFileDialog::AcceptOpen);
  connect(ui.btnOpen, &QPushButton::clicked, this, &TForm1::btnOpenClick);
  connect(ui.btnGo, &QPushButton::clicked, this, &TForm1::btnGoClick);
  connect(ui.ebRecNum, &QLineEdit::returnPressed, this, &TForm1::btnGoClick);
  connect(ui.btnOrderNames, &QPushButton::clicked, this, &TForm1::btnOrderNamesClick);
  connect(ui.btnFind, &QPushButton::clicked, this, &TForm1::btnFindClick);
  connect(ui.btnCheck, &QPushButton::clicked, this, [this] {
    RunCheckWindow(this, *this, current_file_name_,
                   [this](const std::string& copy) { OpenPath(copy); });
  });
  connect(ui.btnExportGedcom, &QPushButton::clicked, this, [this] {
    if (database_)
      ExportGedcom(this, *database_,
                   QFile::decodeName(QByteArray::fromStdString(current_file_name_)));
  });
  connect(ui.ebFind, &QLineEdit::returnPressed, this, &TForm1::btnFindClick);
  connect(ui.cbLike, &QCheckBox::toggled, this, [this] {
    if (!ui.ebFind->text().trimmed().isEmpty()) btnFindClick();  // the search asked for anew
  });
  ui.tvFound->setModel(&names_);
  connect(ui.tvFound, &QTreeView::activated, this, &TForm1::OpenFound);
  connect(&names_, &TNameList::Grown, this, [this] { ShowListState(false); });
  connect(&names_, &TNameList::Ended, this, [this] { ShowListState(true); });
  ui.tvFound->setColumnHidden(TNameList::kMatchColumn, true);
  ui.tvFound->setColumnWidth(TNameList::kNameColumn, 300);
  ui.tvFound->setColumnWidth(TNameList::kRinColumn, 50);
}

// The open database stays open when the program ends: no header write-back.
TForm1::~TForm1() = default;

void TForm1::btnOpenClick() {
  const std::optional<QString> chosen = seams::RunFileDialog(OpenDialog1);
  if (!chosen) {
    seams::ShowMessage(QStringLiteral("Appears to have cancelled from File Open dialog"),
                       QStringLiteral("Note"));
    return;
  }
  OpenPath(QFile::encodeName(*chosen).toStdString());
}

void TForm1::OpenPath(const std::string& path) {
  current_file_name_ = path;
  if (path.empty()) {
    seams::ShowMessage(QStringLiteral("Filename was empty"), QStringLiteral("Note"));
    return;
  }
  names_.Clear();
  ui.lblFound->clear();
  if (database_) {
    database_->CloseDatabase();
    ReleaseDatabase(database_, true);
  }
  database_ = std::make_unique<CTEVDatabase>();
  const int result = database_->OpenDatabase(path, read_only_ ? 1 : 0);
  if (result != kOpenOk) {
    const int error = platform::LastError();
    if (result == kOpenCorrupt) {
      seams::ShowMessage(QStringLiteral("TEV file is corrupted.  Open failed."),
                         QStringLiteral("Alert!"));
    } else {
      std::string cause;
      if (database_->JournalRecovery() == Recovery::kFailed) {
        cause = "The interrupted change recorded in " + JournalPath(path) +
                " could not be undone (" + WriteFailureCause(error, path) +
                "): the file may hold part of it. The journal stays, and the next open for "
                "writing tries again.";
      } else {
        cause = Sentence(OpenFailureCause(error, !read_only_));
        if (!read_only_ && !ReadOnlyHint(error).empty()) cause += " " + ReadOnlyHint(error);
      }
      seams::ShowMessage(Compose(QString::asprintf("Open failed.  Error code: %d", error), cause),
                         QStringLiteral("Alert!"));
    }
    ReleaseDatabase(database_, true);
    close();
    return;
  }
  ReportJournal();
  ui.cbxRecType->setEnabled(true);
  ui.ebRecNum->setEnabled(true);
  ui.btnGo->setEnabled(true);
  OfferReorder();
  for (QWidget* w : std::initializer_list<QWidget*>{ui.ebFind, ui.cbLike, ui.btnFind, ui.tvFound,
                                                    ui.btnCheck, ui.btnExportGedcom}) {
    w->setEnabled(true);
  }
  names_.ListIndex(*database_);
}

void TForm1::ReportJournal() {
  const std::string path = database_->Path();
  const QString journal = QString::fromLocal8Bit(JournalPath(path).c_str());
  const QString note = QStringLiteral("Note");
  if (database_->Recovered()) {
    seams::ShowMessage(Compose(QStringLiteral("An interrupted change was undone: the file is as it "
                                              "was before the change began."),
                               WriteRefusal(*database_)),
                       note);
  } else if (database_->JournalFound() == JournalState::kValid) {
    seams::ShowMessage(QStringLiteral("This file has an interrupted change (%1). Opening it for "
                                      "writing will undo it; until then it is shown as the "
                                      "interrupted change left it.")
                           .arg(journal),
                       note);
  } else if (database_->JournalFound() == JournalState::kInvalid) {
    seams::ShowMessage(
        Compose(QStringLiteral("%1 beside this file was not applied and is left where it is: %2. "
                               "Nothing can be written to the file while it stands there.")
                    .arg(journal, QString::fromLocal8Bit(
                                      JournalFaultText(database_->JournalReportFound()).c_str())),
                HalfDoneChangeNote(path) + " To write to the file again, move the journal away."),
        note);
  }
}

void TForm1::OfferReorder() {
  const std::string refusal = read_only_ ? std::string() : WriteRefusal(*database_);
  ui.btnOrderNames->setEnabled(!read_only_ && refusal.empty());
  ui.btnOrderNames->setToolTip(QString::fromLocal8Bit(refusal.c_str()));
}

void TForm1::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  setWindowTitle(read_only ? caption_ + QStringLiteral(" (read-only)") : caption_);
}

int32_t TForm1::SelectedRecordType() const {
  return ui.cbxRecType->findText(ui.cbxRecType->currentText(), Qt::MatchExactly);
}

void TForm1::btnGoClick() {
  if (!ui.btnGo->isEnabled()) return;
  int32_t number = ParseRecordNumber(ui.ebRecNum->text().toStdString());
  const int32_t code = SelectedRecordType();
  if (number == 0) {
    if (code != kIndivIndexCode) return;
    number = database_ ? database_->HeaderI32(kHdrRootNode2) : 0;
  }
  OpenRecordWindow(code, number);
}

void TForm1::OpenRecordWindow(int32_t code, int32_t number) {
  const std::unique_ptr<TRecordWindow> window = CreateRecordWindow(code, this, *this);
  if (!window) {
    seams::ShowMessage(QString::asprintf("Unknown record type %d", code), QStringLiteral("Note"));
    return;
  }
  window->Open(database_.get(), number);
  seams::RunModal(*window);
}

void TForm1::btnFindClick() {
  if (!database_) return;
  searched_ = ui.ebFind->text().trimmed();
  if (searched_.isEmpty()) {
    names_.ListIndex(*database_);
  } else {
    // Typed as Unicode, searched as the file's bytes.
    std::string bytes;
    char32_t missing = 0;
    if (!Utf8ToCp1252(searched_.toStdString(), bytes, missing)) {
      names_.Clear();
      const QString what = missing == kNotUtf8
                               ? QStringLiteral("that text")
                               : QStringLiteral("\"%1\" (U+%2)")
                                     .arg(QString::fromUcs4(&missing, 1),
                                          QString::number(static_cast<uint>(missing), 16)
                                              .toUpper()
                                              .rightJustified(4, QLatin1Char('0')));
      SayUnderList(
          QStringLiteral("No name can hold %1: it is not in Windows-1252, the file's code page.")
              .arg(what));
      return;
    }
    names_.Find(*database_, bytes, ui.cbLike->isChecked());
  }
  if (names_.rowCount() > 0) {
    ui.tvFound->setCurrentIndex(names_.index(0, TNameList::kNameColumn));
    ui.tvFound->setFocus();
  }
}

void TForm1::ShowListState(bool ended) {
  using Listing = TNameList::Listing;
  const int rows = names_.rowCount();
  const bool filling = names_.Filling();
  QString text;
  switch (names_.What()) {
    case Listing::kNone:
    case Listing::kExact:
      break;
    case Listing::kIndex:
      text = filling ? QStringLiteral("Listing the index: %1 names so far...").arg(rows)
                     : QStringLiteral("%1 names in the index.").arg(rows);
      break;
    case Listing::kSpelling:
      text = filling ? QStringLiteral(
                           "No exact match for \"%1\"; looking for names spelled "
                           "alike... %2%")
                           .arg(searched_)
                           .arg(names_.Percent())
             : rows > 0 ? QStringLiteral(
                              "No exact match for \"%1\"; spelled alike, case and "
                              "accents ignored:")
                              .arg(searched_)
                        : QStringLiteral("No name found.");
      break;
    case Listing::kLike:
      text = filling ? QStringLiteral("Looking for names spelled or sounding alike... %1%")
                           .arg(names_.Percent())
             : rows > 0
                 ? QStringLiteral("%1 names spelled or sounding alike; Match says how.").arg(rows)
                 : QStringLiteral("No name found.");
      break;
  }
  if (ended && !names_.IndexSound()) {
    text += QStringLiteral(" The index is damaged: Check... tells where.");
  }
  SayUnderList(text.trimmed());
  const bool marked = names_.What() == Listing::kSpelling || names_.What() == Listing::kLike;
  if (ui.tvFound->isColumnHidden(TNameList::kMatchColumn) == marked) {
    ui.tvFound->setColumnHidden(TNameList::kMatchColumn, !marked);
    ui.tvFound->setColumnWidth(TNameList::kNameColumn, marked ? 210 : 300);
    ui.tvFound->setColumnWidth(TNameList::kBornColumn, marked ? 95 : 120);
  }
  if (ended && names_.DamagedAt() != 0) {
    seams::ShowMessage(QString::fromStdString(Sentence(FindStoppedText(names_.DamagedAt()))),
                       QStringLiteral("Find"));
  }
}

void TForm1::SayUnderList(const QString& text) {
  ui.lblFound->setToolTip(text);
  ui.lblFound->setText(
      ui.lblFound->fontMetrics().elidedText(text, Qt::ElideRight, ui.lblFound->width()));
}

void TForm1::OpenFound(const QModelIndex& index) {
  if (!index.isValid()) return;
  OpenRecordWindow(kIndividualCode, names_.Rin(index.row()));
}

bool TForm1::PrepareReorder() {
  if (!database_ || database_->IsReadOnly()) return false;
  const QString file = QString::fromLocal8Bit(current_file_name_.c_str());
  const QString title = QStringLiteral("Re-order identical names");
  const std::string refusal = WriteRefusal(*database_);
  if (!refusal.empty()) {
    OfferReorder();
    seams::ShowMessage(Compose(QStringLiteral("The index cannot be re-ordered now."),
                               refusal + "\n\nNothing was changed."),
                       title);
    return false;
  }
  if (!seams::AskYesNo(QStringLiteral("Re-order the identical names of the index of\n%1\n\n"
                                      "A backup copy is made first, beside it, as\n"
                                      "%1.<date>-<time>.bak\n\nKinscope ends when it is done.")
                           .arg(file),
                       title)) {
    return false;
  }
  const std::string problem = CheckBeforeReorder(*database_);
  if (!problem.empty()) {
    seams::ShowMessage(QStringLiteral("The index cannot be re-ordered: %1.\n\nNothing was changed.")
                           .arg(QString::fromStdString(problem)),
                       title);
    return false;
  }
  // The log is refused before the backup is made.
  const std::string log_refusal = LogRefusal(ReorderLogName(current_file_name_));
  if (!log_refusal.empty()) {
    seams::ShowMessage(Compose(QStringLiteral("Error 1000"), log_refusal + " Nothing was changed."),
                       QStringLiteral("Abort"));
    return false;
  }
  std::string error;
  const std::string backup = BackupDatabase(*database_, platform::Now(), error);
  backup_path_ = backup;
  if (backup.empty()) {
    seams::ShowMessage(QStringLiteral("No backup could be made (%1).\n\nNothing was changed.")
                           .arg(QString::fromLocal8Bit(error.c_str())),
                       title);
    return false;
  }
  return true;
}

int TForm1::ReorderAndReport() {
  if (!PrepareReorder()) return -1;
  names_.Clear();  // the list reads the index, which the re-ordering rewrites
  WriteTrace("Explor1", 181, "Button Clicked");
  // The re-ordering ends its change itself: committed (the file synced, the
  // journal removed) before Done is shown, or rolled back at once on any
  // failure or Cancel. The header is not written back.
  QProgressDialog progress(QStringLiteral("Re-ordering the identical names of\n%1")
                               .arg(QString::fromLocal8Bit(current_file_name_.c_str())),
                           QStringLiteral("Cancel"), 0, 1, this);
  progress.setWindowTitle(QStringLiteral("Re-order identical names"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  progress.setValue(0);
  const ReorderResult result = ReorderIdenticalNames(
      *database_, current_file_name_,
      [&](int64_t done, int64_t found) { return seams::ShowProgress(progress, done, found); });
  progress.reset();
  std::string detail = result.detail;
  const bool undone = result.outcome == ReorderResult::Outcome::kCancelled &&
                      result.status == kReorderCancelledStatus;
  if (undone) detail += "\nThe backup copy " + backup_path_ + " stays.";
  seams::ShowMessage(Compose(QString::fromLocal8Bit(result.text.c_str()), detail),
                     QString::fromLocal8Bit(result.title.c_str()));
  if (!undone) return result.status;
  // The file is as it was, but this object's header is the re-ordering's:
  // it is dropped without a write and the file opened afresh.
  database_.reset();
  OpenPath(current_file_name_);
  return -1;
}

void TForm1::btnOrderNamesClick() {
  const int status = ReorderAndReport();
  if (status >= 0) std::exit(status);
}

}  // namespace kinscope
