// SPDX-License-Identifier: GPL-3.0-or-later
// The places where the program hands control to the user and waits: a
// message box, the file-open dialog, the modal run of a window, a question,
// and a progress dialog's Cancel. Each goes through one function here, so
// tests can answer in the user's place.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QDialog;
class QFileDialog;
class QProgressDialog;

namespace kinscope::seams {

// Shows a message box with no owner window, `text`, `title` and one OK
// button, and returns when it is closed.
void ShowMessage(const QString& text, const QString& title);

// Runs the file-open dialog. Returns the chosen path, or nothing when the
// user cancelled or the dialog failed.
std::optional<QString> RunFileDialog(QFileDialog& dialog);

// Shows `window` modally and returns when the user has closed it.
void RunModal(QDialog& window);

// Asks a question with Yes and No buttons (No the default) and returns true
// for Yes.
bool AskYesNo(const QString& text, const QString& title);

// Shows on `dialog` that `done` of `total` are done and lets the user's
// events through (at most every 50 ms). Returns false once its Cancel button
// was pressed.
bool ShowProgress(QProgressDialog& dialog, int64_t done, int64_t total);

// Replacements for tests; an empty function restores the real behaviour.
// The progress hook is called at every ShowProgress, after the events, with
// the dialog: a test presses Cancel there (dialog.cancel()).
using MessageHook = std::function<void(const QString& text, const QString& title)>;
using FileDialogHook = std::function<std::optional<QString>(QFileDialog& dialog)>;
using ModalHook = std::function<void(QDialog& window)>;
using QuestionHook = std::function<bool(const QString& text, const QString& title)>;
using ProgressHook = std::function<void(QProgressDialog& dialog, int64_t done, int64_t total)>;
void SetQuestionHook(QuestionHook hook);
void SetMessageHook(MessageHook hook);
void SetFileDialogHook(FileDialogHook hook);
void SetModalHook(ModalHook hook);
void SetProgressHook(ProgressHook hook);

}  // namespace kinscope::seams
