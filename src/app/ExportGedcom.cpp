// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportGedcom.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStringList>

#include "Gedcom.h"
#include "PlatformFile.h"
#include "Seams.h"

namespace kinscope {
namespace {

// Reasons listed in the summary at the most; the rest are counted.
constexpr int kListedReasons = 10;
const char kTitle[] = "Export GEDCOM";

}  // namespace

void ExportGedcom(QWidget* owner, CTEVDatabase& db, const QString& database_path) {
  const QFileInfo database(database_path);
  QFileDialog dialog(owner, QString::fromLatin1(kTitle),
                     database.dir().filePath(database.completeBaseName() + ".ged"),
                     QStringLiteral("GEDCOM files (*.ged)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("ged"));
  const std::optional<QString> chosen = seams::RunFileDialog(dialog);
  if (!chosen || chosen->isEmpty()) return;

  QProgressDialog progress(QStringLiteral("Exporting GEDCOM..."), QStringLiteral("Cancel"), 0, 1000,
                           owner);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  QStringList reasons;
  gedcom::Options options;
  options.file_name = QFileInfo(*chosen).fileName().toStdString();
  options.version = KINSCOPE_VERSION;
  options.now = platform::UtcSeconds();
  options.report = [&reasons](const std::string& place, const std::string& reason) {
    reasons << QString::fromStdString(place + ": " + reason);
  };
  options.progress = [&progress](int64_t done, int64_t total) {
    progress.setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    QCoreApplication::processEvents();  // Cancel works before the dialog shows, too
    return !progress.wasCanceled();
  };
  gedcom::Counts counts;
  const gedcom::Outcome outcome =
      gedcom::ExportFile(db, QFile::encodeName(*chosen).toStdString(), options, counts);
  progress.reset();
  if (outcome == gedcom::Outcome::kCancelled) return;
  if (outcome == gedcom::Outcome::kWriteFailed) {
    seams::ShowMessage(QStringLiteral("Cannot write %1").arg(*chosen), QString::fromLatin1(kTitle));
    return;
  }
  // "1 source", "2 sources": each count with its noun in the right number.
  const auto count = [](int64_t n, const char* one, const char* more) {
    return QString::number(n) + ' ' + QString::fromLatin1(n == 1 ? one : more);
  };
  QString text =
      QStringLiteral("Exported %1, %2, %3, %4 and %5.")
          .arg(count(counts.people, "person", "people"),
               count(counts.families, "family", "families"), count(counts.notes, "note", "notes"),
               count(counts.sources, "source", "sources"),
               count(counts.media, "media object", "media objects"));
  if (counts.left_out > 0) text += QStringLiteral("\n\nLeft out: %1").arg(counts.left_out);
  if (counts.phrases > 0)
    text += QStringLiteral("\nDamaged dates written as text: %1").arg(counts.phrases);
  for (int i = 0; i < reasons.size() && i < kListedReasons; ++i) text += "\n" + reasons[i];
  if (reasons.size() > kListedReasons)
    text += QStringLiteral("\n... and %1 more").arg(reasons.size() - kListedReasons);
  seams::ShowMessage(text, QString::fromLatin1(kTitle));
}

}  // namespace kinscope
