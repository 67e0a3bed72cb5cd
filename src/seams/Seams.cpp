// SPDX-License-Identifier: GPL-3.0-or-later
#include "Seams.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <algorithm>
#include <climits>
#include <utility>

namespace kinscope::seams {
namespace {

MessageHook& MessageOverride() {
  static MessageHook hook;
  return hook;
}

FileDialogHook& FileDialogOverride() {
  static FileDialogHook hook;
  return hook;
}

ModalHook& ModalOverride() {
  static ModalHook hook;
  return hook;
}

QuestionHook& QuestionOverride() {
  static QuestionHook hook;
  return hook;
}

ProgressHook& ProgressOverride() {
  static ProgressHook hook;
  return hook;
}

}  // namespace

bool ShowProgress(QProgressDialog& dialog, int64_t done, int64_t total) {
  static QElapsedTimer since_events;
  if (!since_events.isValid() || since_events.elapsed() >= 50) {
    const auto fit = [](int64_t n) { return static_cast<int>(std::clamp<int64_t>(n, 0, INT_MAX)); };
    dialog.setMaximum(std::max(fit(total), fit(done)));
    dialog.setValue(fit(done));
    QCoreApplication::processEvents();
    since_events.start();
  }
  if (ProgressOverride()) ProgressOverride()(dialog, done, total);
  return !dialog.wasCanceled();
}

bool AskYesNo(const QString& text, const QString& title) {
  if (QuestionOverride()) return QuestionOverride()(text, title);
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void ShowMessage(const QString& text, const QString& title) {
  if (MessageOverride()) {
    MessageOverride()(text, title);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
  box.exec();
}

std::optional<QString> RunFileDialog(QFileDialog& dialog) {
  if (FileDialogOverride()) return FileDialogOverride()(dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.first();
}

void RunModal(QDialog& window) {
  if (ModalOverride()) {
    ModalOverride()(window);
    return;
  }
  window.exec();
}

void SetQuestionHook(QuestionHook hook) { QuestionOverride() = std::move(hook); }
void SetMessageHook(MessageHook hook) { MessageOverride() = std::move(hook); }
void SetFileDialogHook(FileDialogHook hook) { FileDialogOverride() = std::move(hook); }
void SetModalHook(ModalHook hook) { ModalOverride() = std::move(hook); }
void SetProgressHook(ProgressHook hook) { ProgressOverride() = std::move(hook); }

}  // namespace kinscope::seams
