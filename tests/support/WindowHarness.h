// SPDX-License-Identifier: GPL-3.0-or-later
// What every window test needs: the message boxes shown and the modal
// windows run (both answered at once instead of waiting for a user), a fake
// main window holding a database file written with our writer, and checks
// shared by all record windows.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QString>
#include <QtTest>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Coding.h"
#include "FakeHost.h"
#include "FamilyWriter.h"
#include "RecordWindow.h"
#include "Seams.h"
#include "TEVDatabase.h"
#include "TempDir.h"
#include "TevWriter.h"

using Message = std::pair<QString, QString>;  // text, title
using Opened = FakeHost::Opened;              // record-type code, number

// A modal window as it was run: its class, its caption and its owner.
struct ModalRun {
  QString class_name;
  QString title;
  QWidget* owner;
};

// Installs the message, modal and progress hooks for its lifetime.
class WindowHarness {
 public:
  WindowHarness() {
    kinscope::seams::SetMessageHook(
        [this](const QString& text, const QString& title) { messages.emplace_back(text, title); });
    kinscope::seams::SetModalHook([this](QDialog& window) {
      modals.push_back(
          {window.metaObject()->className(), window.windowTitle(), window.parentWidget()});
      if (on_modal) on_modal(window);
    });
    kinscope::seams::SetProgressHook([this](QProgressDialog& dialog, int64_t done, int64_t total) {
      progress.emplace_back(done, total);
      if (on_progress) on_progress(dialog);
    });
  }
  ~WindowHarness() {
    kinscope::seams::SetMessageHook({});
    kinscope::seams::SetModalHook({});
    kinscope::seams::SetProgressHook({});
  }
  WindowHarness(const WindowHarness&) = delete;
  WindowHarness& operator=(const WindowHarness&) = delete;

  // Forgets the messages, modal runs and opened windows seen so far.
  void Reset() {
    messages.clear();
    modals.clear();
    progress.clear();
    host.opened.clear();
  }

  // Writes `file` to a fresh folder and opens it read-only; the fake main
  // window then hands it to the windows. False when either step fails.
  bool Open(const tevwriter::TevFile& file) {
    dir_ = std::make_unique<TempDir>();
    const std::string path = dir_->File("db.tev");
    if (!file.Write(path)) return false;
    return OpenPath(path);
  }
  // Copies the sample database to a fresh folder; returns the copy's path,
  // empty when the copy fails.
  std::string CopySample() {
    dir_ = std::make_unique<TempDir>();
    const std::string path = dir_->File("family.tev");
    std::error_code failed;
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path, failed);
    return failed ? std::string() : path;
  }
  // Writes a family of `people` (FamilyWriter.h) to a fresh folder; returns
  // its path, empty when it cannot be written.
  std::string WriteFamily(const std::vector<family::Person>& people) {
    dir_ = std::make_unique<TempDir>();
    const std::string path = dir_->File("family.tev");
    std::vector<int32_t> names;
    return family::WriteFamily(path, people, names) ? path : std::string();
  }
  // Opens a copy of the sample database read-only.
  bool OpenSample() {
    const std::string path = CopySample();
    return !path.empty() && OpenPath(path);
  }
  // Opens the file at `path` read-only.
  bool OpenFile(const std::string& path) { return OpenPath(path); }
  kinscope::CTEVDatabase* db() const { return db_.get(); }

  // Clicks the button named `name` of `window` and returns what the main
  // window was asked to open by that click.
  std::vector<Opened> Click(QWidget& window, const char* name) {
    host.opened.clear();
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
    if (button == nullptr) {
      QTest::qFail(qPrintable(QString("no button %1").arg(name)), __FILE__, __LINE__);
      return {};
    }
    button->click();
    return host.opened;
  }

  FakeHost host;
  std::vector<Message> messages;
  std::vector<ModalRun> modals;
  // Plays a modal window before it is closed; none closes it at once.
  std::function<void(QDialog&)> on_modal;
  // Every report of a progress dialog (done, total), and what a user does
  // at each: nothing, or press Cancel (dialog.cancel()).
  std::vector<std::pair<int64_t, int64_t>> progress;
  std::function<void(QProgressDialog&)> on_progress;

 private:
  bool OpenPath(const std::string& path) {
    db_ = std::make_unique<kinscope::CTEVDatabase>();
    host.db = db_.get();
    return db_->OpenDatabase(path, 1) == kinscope::kOpenOk;
  }

  std::unique_ptr<TempDir> dir_;
  std::unique_ptr<kinscope::CTEVDatabase> db_;
};

// `window` as the window class `W`; ends the test run when it is another
// class, since nothing sensible can follow.
template <typename W>
W& As(QDialog& window) {
  auto* w = qobject_cast<W*>(&window);
  if (w == nullptr)
    qFatal("expected a %s, got a %s", W::staticMetaObject.className(),
           window.metaObject()->className());
  return *w;
}

// A plain link of a record window: clicking `button` opens `code` on the
// signed 32-bit number at byte `offset` of the record, and the button shows
// that number.
struct LinkRow {
  const char* button;
  size_t offset;
  int32_t code;
};

// Checks each row against `window`, filled from the record bytes `record`:
// the caption, and what one click opens (nothing when the field is 0).
inline void CheckLinks(WindowHarness& h, QWidget& window, const uint8_t* record,
                       const std::vector<LinkRow>& rows) {
  for (const LinkRow& row : rows) {
    const int32_t value = kinscope::DecodeI32(record, row.offset);
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(row.button));
    QVERIFY2(button != nullptr, row.button);
    QCOMPARE(button->text(), QString::number(value));
    const std::vector<Opened> expected =
        value == 0 ? std::vector<Opened>{} : std::vector<Opened>{{row.code, value}};
    QCOMPARE(h.Click(window, row.button), expected);
  }
}

// The design-time look every record window keeps until a read succeeds:
// each button captioned with its own name, each value label (captioned with
// its own name) showing plain text, no button a default button.
inline void CheckDesignTimeCaptions(QWidget& window) {
  for (QPushButton* b : window.findChildren<QPushButton*>()) {
    QCOMPARE(b->text(), b->objectName());
    QVERIFY2(!b->autoDefault() && !b->isDefault(), qPrintable(b->objectName()));
  }
  for (QLabel* l : window.findChildren<QLabel*>()) {
    if (l->text() == l->objectName()) {
      QVERIFY2(l->textFormat() == Qt::PlainText, qPrintable(l->objectName()));
    }
  }
}

// Record bytes for a writer: `size` zero bytes with 32-bit values stored.
inline tevwriter::Bytes RecordWith(size_t size,
                                   const std::vector<std::pair<size_t, int32_t>>& values) {
  tevwriter::Bytes record(size, 0);
  for (const auto& [offset, value] : values) tevwriter::PutI32(record, offset, value);
  return record;
}
