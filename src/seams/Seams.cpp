// SPDX-License-Identifier: GPL-3.0-or-later
#include "Seams.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
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

}  // namespace

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

}  // namespace kinscope::seams
