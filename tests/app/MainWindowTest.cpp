// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: opening files, the messages, the state of the controls,
// and Go. The file dialog and the message boxes are answered through the
// seams; record windows are caught by overriding OpenRecordWindow.
#include <QApplication>
#include <QFile>
#include <QProgressDialog>
#include <QTimer>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "AppIcon.h"
#include "Coding.h"
#include "CrashSeam.h"
#include "Explor1.h"
#include "IndexTree.h"
#include "Journal.h"
#include "RecordingForm.h"
#include "Seams.h"
#include "WindowHarness.h"

using kinscope::TForm1;
namespace seams = kinscope::seams;

namespace {

// While it lives, files are opened as the unprivileged user when the tests run
// as root, so that permission bits apply; otherwise it does nothing.
class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() : dropped_(::geteuid() == 0 && ::seteuid(65534) == 0) {}
  ~AsUnprivilegedUser() {
    if (dropped_ && ::seteuid(0) != 0) qFatal("cannot get the root user back");
  }
  AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
  AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;
  bool Unprivileged() const { return ::geteuid() != 0; }

 private:
  bool dropped_;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowHarness> h_;
  std::optional<QString> dialog_answer_;
  int dialogs_run_ = 0;
  std::unique_ptr<TempDir> dir_;

  std::string WriteDatabase(const std::string& name, int32_t root2 = 0) {
    tevwriter::TevFile file(1);
    file.SetHeaderI32(30, 5);
    file.SetHeaderI32(50, root2);
    file.SetHeaderBytes(0, {'4', '1', '2', 0});
    const std::string path = dir_->File(name);
    if (!file.Write(path)) qFatal("cannot write %s", path.c_str());
    return path;
  }
  // Presses Open with the dialog answering `answer`.
  void Open(TForm1& form, std::optional<QString> answer) {
    dialog_answer_ = std::move(answer);
    QTest::mouseClick(form.ui.btnOpen, Qt::LeftButton);
  }
  void Go(TForm1& form, const QString& type, const QString& number) {
    form.ui.cbxRecType->setCurrentText(type);
    form.ui.ebRecNum->setText(number);
    QTest::mouseClick(form.ui.btnGo, Qt::LeftButton);
  }
  static bool ControlsEnabled(const TForm1& form) {
    return form.ui.cbxRecType->isEnabled() && form.ui.ebRecNum->isEnabled() &&
           form.ui.btnGo->isEnabled();
  }

 private slots:
  void initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    h_ = std::make_unique<WindowHarness>();
    h_->on_modal = [](QDialog&) { QFAIL("no record window exists yet"); };
    seams::SetFileDialogHook([this](QFileDialog&) {
      ++dialogs_run_;
      return dialog_answer_;
    });
  }
  void init() {
    h_->Reset();
    dialogs_run_ = 0;
    dir_ = std::make_unique<TempDir>();
  }

  // Before the re-ordering writes anything it asks, checks the index and
  // makes a backup; when any step stops it, the file is left as it was.
  void reorderStopsBeforeWriting_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("damage");  // 0 none, 1 a loop in the index, 2 the file gone
    QTest::addColumn<QString>("message");
    QTest::newRow("answered No") << false << 0 << "";
    QTest::newRow("damaged index")
        << true << 1 << "The index cannot be re-ordered: an index node is reached twice";
    QTest::newRow("no backup") << true << 2 << "No backup could be made";
    QTest::newRow("ready") << true << 0 << "";
  }
  void reorderStopsBeforeWriting() {
    QFETCH(bool, yes);
    QFETCH(int, damage);
    QFETCH(QString, message);
    tevwriter::TevFile file(1);
    file.SetHeaderI32(22, 9);
    file.SetHeaderI32(42, 9);
    file.SetHeaderI32(74, INT32_MAX);
    const int32_t name = file.AppendINameRec(0, 0, 1, 1, "Ann /Lee/");
    file.AppendIndexNode(0, 0, 0, name);
    file.AppendIndexNode(0, 0, 1, name);  // node 2, the lesser child of node 1
    file.PatchI32(tevwriter::PageOffset(0, 2) + 4, 2);
    file.SetRootNode(1);
    if (damage == 1) file.PatchI32(tevwriter::PageOffset(0, 2) + 16 + 4, 1);  // 2 leads back to 1
    const std::string path = dir_->File("tree.tev");
    QVERIFY(file.Write(path));
    const tevwriter::Bytes before = tevwriter::ReadWholeFile(path);
    int asked = 0;
    kinscope::seams::SetQuestionHook([&](const QString& text, const QString&) {
      ++asked;
      return text.contains(QString::fromStdString(path)) && yes;
    });
    TForm1 form;
    form.OpenPath(path);
    QVERIFY(form.ui.btnOrderNames->isEnabled());
    if (damage == 2) QVERIFY(std::filesystem::remove(path));
    const bool ready = form.PrepareReorder();
    kinscope::seams::SetQuestionHook({});
    QCOMPARE(asked, 1);
    QCOMPARE(ready, yes && damage == 0);
    QCOMPARE(h_->messages.size(), size_t{message.isEmpty() ? 0u : 1u});
    if (!message.isEmpty())
      QVERIFY2(h_->messages[0].first.startsWith(message), qPrintable(h_->messages[0].first));
    if (damage != 2) QCOMPARE(tevwriter::ReadWholeFile(path), before);
    size_t backups = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_->File(""))) {
      if (entry.path().extension() == ".bak") {
        ++backups;
        QCOMPARE(tevwriter::ReadWholeFile(entry.path().string()), before);
      }
    }
    QCOMPARE(backups, size_t{ready ? 1u : 0u});
  }

  // What an open finds beside the file under the journal's name: read-only,
  // it says so and writes nothing; for writing, the change is undone first.
  void interruptedChangeBesideTheFile() {
    const std::string path = WriteDatabase("journal.tev");
    crash::LeaveInterruptedWriteBack(path);
    const std::string journal = kinscope::JournalPath(path);
    const tevwriter::Bytes interrupted = tevwriter::ReadWholeFile(path);
    QCOMPARE(interrupted[0], uint8_t{'5'});
    {
      TForm1 form;
      form.SetReadOnly(true);
      form.OpenPath(path);
      QCOMPARE(h_->messages.size(), size_t{1});
      QVERIFY(h_->messages[0].first.startsWith("This file has an interrupted change"));
      QVERIFY(h_->messages[0].first.contains("Opening it for writing will undo it"));
      QVERIFY(ControlsEnabled(form));
    }
    QCOMPARE(tevwriter::ReadWholeFile(path), interrupted);
    QVERIFY(std::filesystem::exists(journal));
    h_->Reset();
    {
      TForm1 form;
      form.OpenPath(path);
      QCOMPARE(h_->messages.size(), size_t{1});
      QCOMPARE(h_->messages[0].first,
               QString("An interrupted change was undone: the file is as it was before the "
                       "change began."));
      QCOMPARE(h_->messages[0].second, QString("Note"));
      QVERIFY(ControlsEnabled(form));
      QVERIFY(!std::filesystem::exists(journal));
      QCOMPARE(tevwriter::ReadWholeFile(path)[0], uint8_t{'4'});  // "499" as it began
    }
    h_->Reset();
    std::ofstream(journal) << "not a journal of ours, but not empty either";
    {
      TForm1 form;
      form.OpenPath(path);
      QCOMPARE(h_->messages.size(), size_t{1});
      QVERIFY(h_->messages[0].first.contains("was not applied and is left where it is"));
    }
    QVERIFY(std::filesystem::exists(journal));
  }

  // A journal that is refused, or that could not be removed, stands in the
  // way of every change: the open says why, the re-ordering is disabled
  // with a tooltip saying why, and nothing is made before that certain
  // failure.
  void journalInTheWay() {
    const std::string path = WriteDatabase("journal.tev");
    const std::string journal = kinscope::JournalPath(path);
    crash::LeaveInterruptedWriteBack(path);
    const tevwriter::Bytes interrupted = tevwriter::ReadWholeFile(path);
    const tevwriter::Bytes valid = tevwriter::ReadWholeFile(journal);
    tevwriter::Bytes damaged = valid;
    damaged[damaged.size() - 3] ^= 0x40;
    // The write-back's journal of a larger file.
    const std::string other = WriteDatabase("other.tev");
    QVERIFY(tevwriter::TruncateFile(other, static_cast<int64_t>(interrupted.size()) + 4096));
    crash::LeaveInterruptedWriteBack(other);
    const tevwriter::Bytes foreign = tevwriter::ReadWholeFile(kinscope::JournalPath(other));
    struct NoRemoval : kinscope::platform::FileSeam {
      bool RemoveFile(const std::string&) override {
        kinscope::platform::RememberError(EACCES);
        return false;
      }
    } no_removal;
    const struct {
      const char* what;
      std::function<void()> make;
      const char* why;
      bool undone;
    } rows[] = {
        {"a link", [&] { QCOMPARE(::symlink("elsewhere", journal.c_str()), 0); },
         "it is a symbolic link", false},
        {"a folder", [&] { QVERIFY(std::filesystem::create_directory(journal)); },
         "it is not a regular file (a folder, a device or a pipe)", false},
        {"a damaged page", [&] { crash::PutFile(journal, damaged); },
         "a page saved in it is damaged (it fails its checksum)", false},
        {"another file's", [&] { crash::PutFile(journal, foreign); }, "it was made for a file of",
         false},
        {"not removable",
         [&] {
           crash::PutFile(journal, valid);
           kinscope::platform::SetSeam(&no_removal);
         },
         "it could not be removed (the folder is read-only for you)", true},
    };
    int asked = 0;
    kinscope::seams::SetQuestionHook([&](const QString&, const QString&) { return ++asked > 0; });
    for (const auto& row : rows) {
      h_->Reset();
      std::filesystem::remove_all(journal);
      crash::PutFile(path, interrupted);
      row.make();
      TForm1 form;
      form.OpenPath(path);
      kinscope::platform::SetSeam(nullptr);
      QVERIFY2(h_->messages.size() == 1, row.what);
      const QString& text = h_->messages[0].first;
      QVERIFY2(text.contains(row.why), qPrintable(text));
      QVERIFY2(text.contains(QString::fromStdString(journal)), qPrintable(text));
      if (row.undone) {
        QVERIFY2(text.startsWith("An interrupted change was undone"), qPrintable(text));
      } else {
        QVERIFY2(text.contains("was not applied and is left where it is"), qPrintable(text));
        QVERIFY2(text.contains("may hold part of it"), qPrintable(text));
        QVERIFY2(text.contains(QString::fromStdString(path) + ".<date>-<time>.bak"),
                 qPrintable(text));
        QCOMPARE(tevwriter::ReadWholeFile(path), interrupted);
      }
      QVERIFY2(!form.ui.btnOrderNames->isEnabled(), row.what);
      const QString tip = form.ui.btnOrderNames->toolTip();
      QVERIFY2(tip.startsWith("Nothing can be written to this file while " +
                              QString::fromStdString(journal) + " stands beside it"),
               qPrintable(tip));
      QVERIFY2(tip.contains(row.why), qPrintable(tip));
      h_->Reset();
      QCOMPARE(form.ReorderAndReport(), -1);
      QCOMPARE(asked, 0);
      QCOMPARE(h_->messages.size(), size_t{1});
      QVERIFY2(h_->messages[0].first.contains(row.why), qPrintable(h_->messages[0].first));
      for (const auto& entry : std::filesystem::directory_iterator(dir_->File(""))) {
        QVERIFY2(entry.path().extension() != ".bak" && entry.path().extension() != ".log",
                 qPrintable(QString::fromStdString(entry.path().string())));
      }
    }
    kinscope::seams::SetQuestionHook({});
    std::filesystem::remove_all(journal);
  }

  // The re-ordering's messages, each with its cause after it, and the exit
  // status the program then ends with.
  void reorderMessages() {
    ::setenv("XDG_STATE_HOME", dir_->File("state").c_str(), 1);
    kinscope::seams::SetQuestionHook([](const QString&, const QString&) { return true; });
    crash::FullDiskSeam full_disk(5);
    crash::FullDiskSeam log_room(0, 10);
    const struct {
      const char* what;
      std::function<void(const std::string& path)> make;  // before the open
      kinscope::platform::FileSeam* seam;                 // during the re-ordering
      int status;
      QString text;  // "PATH" stands for the file's path
      QString title;
    } rows[] = {
        {"done", [](const std::string&) {}, nullptr, 0, "Done", "-*-"},
        {"the log cut short", [](const std::string&) {}, &log_room, 0,
         "Done\n\nThe log PATH.log could not be written whole (the disk is full): it lacks some "
         "of the runs.",
         "-*-"},
        {"a full disk", [](const std::string&) {}, &full_disk, 103,
         "The re-ordering could not be written (the disk is full).\n\nIt was undone: the file is "
         "as it was before it began.",
         "Abort"},
        {"a date of no type",
         [](const std::string& path) {
           int64_t at = 0;
           {
             kinscope::CTEVDatabase db;
             QCOMPARE(db.OpenDatabase(path, 1), kinscope::kOpenOk);
             at = db.LocateRecord(1, 2, 221, 37);
           }
           QVERIFY(tevwriter::OverwriteFile(path, at + 64, {7}));
         },
         nullptr, 9,
         "Unknown date type\n\nA date of individual 1 has date type 7, which no date has.\n"
         "Nothing was changed: the file is as it was before the re-ordering began.",
         "Error"},
        {"a link at the log's name",
         [](const std::string& path) {
           QCOMPARE(::symlink("elsewhere", (path.substr(0, path.size() - 3) + "log").c_str()), 0);
         },
         nullptr, -1,
         "Error 1000\n\nThe log PATH.log is a link, not a regular file or not yours: it was left "
         "alone. Nothing was changed.",
         "Abort"},
    };
    for (const auto& row : rows) {
      h_->Reset();
      const std::string path = h_->CopySample();
      const std::string stem = path.substr(0, path.size() - 4);
      row.make(path);
      const tevwriter::Bytes before = tevwriter::ReadWholeFile(path);
      TForm1 form;
      form.OpenPath(path);
      QVERIFY2(form.ui.btnOrderNames->isEnabled(), row.what);
      kinscope::platform::SetSeam(row.seam);
      const int status = form.ReorderAndReport();
      kinscope::platform::SetSeam(nullptr);
      QCOMPARE(status, row.status);
      QCOMPARE(h_->messages.size(), size_t{1});
      QCOMPARE(h_->messages[0],
               Message(QString(row.text).replace("PATH", QString::fromStdString(stem)), row.title));
      QVERIFY(!std::filesystem::exists(kinscope::JournalPath(path)));
      if (status != 0) QCOMPARE(tevwriter::ReadWholeFile(path), before);
    }
    kinscope::seams::SetQuestionHook({});
  }

  // Cancel at any report of the progress dialog, before the first run, in
  // the middle, after the last: the file byte for byte as before, the backup
  // copy kept, the file opened afresh. Without Cancel the runs are written.
  void reorderCancelled() {
    ::setenv("XDG_STATE_HOME", dir_->File("state").c_str(), 1);
    kinscope::seams::SetQuestionHook([](const QString&, const QString&) { return true; });
    constexpr int kRuns = 120;
    for (const int cancel_at : {0, 1, kRuns / 2, kRuns, -1}) {  // -1: never
      h_->Reset();
      const std::string path = h_->WriteFamily(family::ManyRuns(kRuns, 3));
      QVERIFY(!path.empty());
      const tevwriter::Bytes before = tevwriter::ReadWholeFile(path);
      TForm1 form;
      form.OpenPath(path);
      const int32_t root = form.Database()->HeaderI32(kinscope::kHdrRootNode2);
      h_->on_progress = [&](QProgressDialog& dialog) {
        if (static_cast<int>(h_->progress.size()) - 1 == cancel_at) dialog.cancel();
      };
      const int status = form.ReorderAndReport();
      h_->on_progress = nullptr;
      const QString where = QString::number(cancel_at);
      // Runs done of the runs found, one report before the first run and
      // one after each, until Cancel.
      QCOMPARE(h_->progress.size(), size_t(cancel_at < 0 ? kRuns + 1 : cancel_at + 1));
      for (size_t i = 0; i < h_->progress.size(); ++i) {
        QCOMPARE(h_->progress[i], std::make_pair(int64_t(i), int64_t{kRuns}));
      }
      QVERIFY(!std::filesystem::exists(kinscope::JournalPath(path)));
      QCOMPARE(h_->messages.size(), size_t{1});
      if (cancel_at < 0) {
        QCOMPARE(status, 0);
        QVERIFY(tevwriter::ReadWholeFile(path) != before);
        continue;
      }
      QCOMPARE(status, -1);
      QVERIFY2(tevwriter::ReadWholeFile(path) == before, qPrintable(where));
      std::string backup;
      for (const auto& entry :
           std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
        if (entry.path().extension() == ".bak") backup = entry.path().string();
      }
      QVERIFY2(!backup.empty() && tevwriter::ReadWholeFile(backup) == before, qPrintable(where));
      QCOMPARE(h_->messages[0],
               Message(QString::fromStdString(
                           "The re-ordering was cancelled.\n\nWhat it had written was undone: the "
                           "file is as it was before it began.\nThe backup copy " +
                           backup + " stays."),
                       "Re-order identical names"));
      QCOMPARE(form.Database()->HeaderI32(kinscope::kHdrRootNode2), root);
      QVERIFY(form.ui.btnOrderNames->isEnabled());
    }
    kinscope::seams::SetQuestionHook({});
  }

  // Find lists the index entries under a key and opens the chosen one.
  void findByName_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("rins");
    QTest::newRow("surname") << "Aldridge" << QList<int>{33, 4, 13, 14, 15, 34};
    QTest::newRow("surname and given name") << "Whitcombe, Thomas" << QList<int>{7, 22, 1};
    QTest::newRow("case folded") << "WHITCOMBE, thomas" << QList<int>{7, 22, 1};
    QTest::newRow("as stored") << "Thomas /Whitcombe/" << QList<int>{7, 22, 1};
    QTest::newRow("not there") << "Zebedee" << QList<int>{};
  }
  void findByName() {
    QFETCH(QString, text);
    QFETCH(QList<int>, rins);
    RecordingForm form;
    QVERIFY(!form.ui.ebFind->isEnabled() && !form.ui.btnFind->isEnabled());
    const std::string path = h_->CopySample();
    form.OpenPath(path);
    form.ui.ebFind->setText(text);
    QTest::keyClick(form.ui.ebFind, Qt::Key_Return);
    kinscope::TNameList& list = form.Names();
    QVERIFY(!list.Filling());
    QList<int> listed;
    for (int i = 0; i < list.rowCount(); ++i) listed.push_back(list.Rin(i));
    QCOMPARE(listed, rins);
    QCOMPARE(form.ui.lblFound->text().isEmpty(), !rins.isEmpty());
    if (!rins.isEmpty()) {
      emit form.ui.tvFound->activated(list.index(list.rowCount() - 1, 0));
      QCOMPARE(form.opened, (std::vector<std::pair<int32_t, int32_t>>{{0, rins.back()}}));
      QCOMPARE(list.index(0, kinscope::TNameList::kBornColumn).data().toString().isEmpty(),
               false);  // the birth date
    }
    QVERIFY(h_->messages.empty());
  }

  // Every match is listed, however many; a damaged index stops the lookup
  // with a message, and the whole index, listed by an empty Find, says it is
  // damaged under the list.
  void findOnALargeOrDamagedIndex() {
    tevwriter::TevFile file(1);
    file.SetHeaderI32(22, 300);
    file.SetHeaderI32(42, 300);
    for (int32_t n = 1; n <= 250; ++n) {  // a chain of greater links, in name order
      const int32_t name =
          file.AppendINameRec(0, 0, n, 1, QString::asprintf("Ann %03d /Lee/", n).toStdString());
      file.AppendIndexNode(n < 250 ? n + 1 : 0, 0, n - 1, name);
    }
    file.SetRootNode(1);
    const std::string path = dir_->File("lee.tev");
    QVERIFY(file.Write(path));
    TForm1 form;
    form.OpenPath(path);
    form.ui.ebFind->setText("Lee");
    QTest::mouseClick(form.ui.btnFind, Qt::LeftButton);
    QCOMPARE(form.Names().rowCount(), 250);
    QVERIFY(form.ui.lblFound->text().isEmpty());
    form.Database()->SetNodeLink(120, 40, kinscope::kGreaterLink);  // a loop back to node 40
    QTest::mouseClick(form.ui.btnFind, Qt::LeftButton);
    QCOMPARE(form.Names().rowCount(), 119);
    QCOMPARE(h_->messages.size(), size_t{1});
    QVERIFY2(h_->messages[0].first.contains("index node 40"), qPrintable(h_->messages[0].first));
    form.ui.ebFind->clear();  // an empty search lists the whole index, as far as it can
    QTest::mouseClick(form.ui.btnFind, Qt::LeftButton);
    QCOMPARE(form.Names().rowCount(), 120);
    QVERIFY2(form.ui.lblFound->text().contains("damaged"), qPrintable(form.ui.lblFound->text()));
    QCOMPARE(h_->messages.size(), size_t{1});
  }

  // The icon is drawn from the program's SVG: the teal ground with rounded
  // corners left clear.
  void iconIsDrawn() {
    const QIcon icon = kinscope::KinscopeIcon();
    QVERIFY(!icon.isNull());
    const QImage image = icon.pixmap(64, 64).toImage();
    QCOMPARE(image.size(), QSize(64, 64));
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(image.pixelColor(32, 4), QColor("#2f6f73"));
  }

  void startsWithNoFile() {
    TForm1 form;
    QCOMPARE(form.windowTitle(), QString("Kinscope    version. debug 0.7"));
    QVERIFY(!form.ui.cbxRecType->isEnabled());
    QVERIFY(!form.ui.ebRecNum->isEnabled());
    QVERIFY(!form.ui.btnGo->isEnabled());
    QVERIFY(!form.ui.btnOrderNames->isEnabled());
    QVERIFY(!form.ui.btnCheck->isEnabled());
    QVERIFY(form.ui.btnOpen->isEnabled());
    QCOMPARE(form.ui.cbxRecType->currentIndex(), -1);
    QCOMPARE(form.Database(), nullptr);
    QVERIFY(form.CurrentFileName().empty());
    const QStringList expected = {
        "Individual", "Marriage",     "Family",        "Name",    "Note",  "IndivName",  "Citation",
        "Source",     "User Defined", "UD Event Type", "Contact", "Media", "Indiv_Index"};
    QCOMPARE(form.ui.cbxRecType->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
      QCOMPARE(form.ui.cbxRecType->itemText(i), expected[i]);
    QCOMPARE(form.ui.btnOrderNames->text(), QString("Re-order identical names"));
    QCOMPARE(form.ui.Label4->text(),
             QString("Not all record types have display windows yet.  Contact me if you have a "
                     "need for stuff that isn't finished yet."));
    QCOMPARE(form.OpenDialog1.nameFilters(), QStringList{"TEV 5 files (*.tev)"});
    QCOMPARE(form.OpenDialog1.defaultSuffix(), QString("tev"));
  }

  // Every control sits where the layout puts it, inside the window, without
  // overlapping another, and wide enough for its text.
  void layoutIsClean() {
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QList<QWidget*> controls;
    for (QWidget* w : form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!w->isWindow()) controls.append(w);  // the file dialog is a window of its own
    }
    QCOMPARE(controls.size(),
             17);  // the ten of the layout, the five of Find, Check... and Export GEDCOM...
    for (QWidget* a : controls) {
      QVERIFY2(form.rect().contains(a->geometry()), qPrintable(a->objectName()));
      for (QWidget* b : controls) {
        if (a != b)
          QVERIFY2(!a->geometry().intersects(b->geometry()),
                   qPrintable(a->objectName() + " overlaps " + b->objectName()));
      }
      if (auto* label = qobject_cast<QLabel*>(a)) {
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(a->objectName()));
      }
      if (auto* box = qobject_cast<QCheckBox*>(a)) {
        QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(a->objectName()));
      }
      if (auto* button = qobject_cast<QPushButton*>(a)) {
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                 qPrintable(a->objectName()));
      }
    }
    const std::pair<const char*, QPoint> positions[] = {
        {"Label2", {144, 16}},        {"Label1", {312, 16}},          {"btnOpen", {40, 32}},
        {"cbxRecType", {128, 32}},    {"ebRecNum", {296, 32}},        {"btnGo", {440, 32}},
        {"btnOrderNames", {24, 312}}, {"Label4", {8, 360}},           {"Label5", {104, 376}},
        {"Label3", {88, 392}},        {"btnExportGedcom", {370, 312}}};
    for (const auto& [name, at] : positions) {
      QWidget* w = form.findChild<QWidget*>(name);
      QVERIFY2(w != nullptr, name);
      QCOMPARE(w->pos(), at);
    }
    QCOMPARE(form.ui.btnOpen->width(), 75);
    QCOMPARE(form.ui.cbxRecType->width(), 145);
    QCOMPARE(form.ui.ebRecNum->width(), 121);
    QCOMPARE(form.ui.btnOrderNames->width(), 145);
  }

  // Export GEDCOM... asks for the file through the dialog, writes it and sums
  // up; an export cancelled in its progress dialog leaves no file.
  void exportGedcom() {
    TForm1 form;
    QVERIFY(!form.ui.btnExportGedcom->isEnabled());
    form.SetReadOnly(true);
    form.OpenPath(KINSCOPE_SAMPLE_DB);
    QVERIFY(form.ui.btnExportGedcom->isEnabled());
    const QString out = QString::fromStdString(dir_->File("family.ged"));
    dialog_answer_ = out;
    QTest::mouseClick(form.ui.btnExportGedcom, Qt::LeftButton);
    QCOMPARE(dialogs_run_, 1);
    QCOMPARE(h_->messages.size(), size_t{1});
    QCOMPARE(h_->messages[0].first,
             QString("Exported 38 people, 10 families, 6 notes, 1 source and 4 media objects."));
    QFile written(out);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray ged = written.readAll();
    QVERIFY(ged.endsWith("0 TRLR\n"));
    QVERIFY(ged.contains("1 SOUR KINSCOPE\n2 VERS " KINSCOPE_VERSION "\n"));
    written.close();
    QVERIFY(QFile::remove(out));

    h_->Reset();
    QTimer cancel;
    connect(&cancel, &QTimer::timeout, [&form] {
      for (auto* progress : form.findChildren<QProgressDialog*>()) progress->cancel();
    });
    cancel.start(0);
    QTest::mouseClick(form.ui.btnExportGedcom, Qt::LeftButton);
    QCOMPARE(dialogs_run_, 2);
    QVERIFY(h_->messages.empty());
    QVERIFY(!QFile::exists(out));
    QVERIFY(!QFile::exists(out + ".part"));
  }

  void cancelKeepsAnOpenFile() {
    TForm1 form;
    const std::string path = WriteDatabase("a.tev");
    form.OpenPath(path);
    QVERIFY(ControlsEnabled(form));
    Open(form, std::nullopt);
    QCOMPARE(dialogs_run_, 1);
    QCOMPARE(h_->messages.size(), size_t{1});
    QCOMPARE(h_->messages[0], Message("Appears to have cancelled from File Open dialog", "Note"));
    QVERIFY(form.Database() != nullptr && form.Database()->IsOpen());
    QVERIFY(ControlsEnabled(form));
    QCOMPARE(form.CurrentFileName(), path);
  }

  void emptyPathKeepsTheDatabase() {
    TForm1 form;
    form.OpenPath(WriteDatabase("a.tev"));
    kinscope::CTEVDatabase* before = form.Database();
    Open(form, QString());
    QCOMPARE(h_->messages.size(), size_t{1});
    QCOMPARE(h_->messages[0], Message("Filename was empty", "Note"));
    QVERIFY(form.CurrentFileName().empty());
    QCOMPARE(form.Database(), before);
    QVERIFY(before->IsOpen());
  }

  void openThroughTheDialog() {
    TForm1 form;
    const std::string path = WriteDatabase("Stammb\xc3\xa4ume.tev");
    Open(form, QFile::decodeName(QByteArray::fromStdString(path)));
    QVERIFY(h_->messages.empty());
    QCOMPARE(form.CurrentFileName(), path);
    QVERIFY(form.Database() != nullptr && form.Database()->IsOpen());
    QVERIFY(!form.Database()->IsReadOnly());
    QVERIFY(ControlsEnabled(form));
    QVERIFY(form.ui.btnOrderNames->isEnabled());  // the re-ordering is offered once a file is open
    // Check... checks the open file through the main window's own object.
    h_->modals.clear();
    const auto on_modal = std::exchange(h_->on_modal, nullptr);
    QTest::mouseClick(form.ui.btnCheck, Qt::LeftButton);
    h_->on_modal = on_modal;
    QCOMPARE(h_->modals.size(), size_t{1});
    QCOMPARE(h_->modals[0].class_name, QString("kinscope::TCheckWin"));
    QCOMPARE(h_->modals[0].owner, &form);
    QVERIFY(h_->messages.empty());
  }

  // Read-only mode: the caption says so, the dialog's file is opened with
  // mode 1 and a shared lock, and the re-ordering is not offered.
  void readOnlyOpensForReadingOnly() {
    TForm1 form;
    form.SetReadOnly(true);
    QCOMPARE(form.windowTitle(), QString("Kinscope    version. debug 0.7 (read-only)"));
    const std::string path = WriteDatabase("a.tev");
    Open(form, QFile::decodeName(QByteArray::fromStdString(path)));
    QVERIFY(h_->messages.empty());
    QVERIFY(form.Database() != nullptr && form.Database()->IsReadOnly());
    QVERIFY(ControlsEnabled(form));
    QVERIFY(!form.ui.btnOrderNames->isEnabled());
    QVERIFY(!form.PrepareReorder());
    QVERIFY(h_->messages.empty());
    kinscope::CTEVDatabase reader;
    QCOMPARE(reader.OpenDatabase(path, 1), kinscope::kOpenOk);
    kinscope::CTEVDatabase writer;
    QCOMPARE(writer.OpenDatabase(path, 0), kinscope::kOpenFailed);
    form.SetReadOnly(false);
    QCOMPARE(form.windowTitle(), QString("Kinscope    version. debug 0.7"));
  }

  // A file that may not be written opens read-only and can be browsed; for
  // reading and writing it gives the usual message.
  void unwritableFileOpensReadOnly() {
    const std::string path = WriteDatabase("locked-down.tev");
    QCOMPARE(::chmod(path.c_str(), 0444), 0);
    QCOMPARE(::chmod(dir_->File("").c_str(), 0755), 0);
    const tevwriter::Bytes before = tevwriter::ReadWholeFile(path);
    {
      TForm1 form;
      form.SetReadOnly(true);
      RecordingForm recording;
      recording.show();
      AsUnprivilegedUser user;
      QVERIFY(user.Unprivileged());
      form.OpenPath(path);
      QVERIFY(h_->messages.empty());
      QVERIFY(form.Database() != nullptr && form.Database()->IsOpen());
      QCOMPARE(form.Database()->HeaderI32(kinscope::kHdrRootNode), 5);
      recording.OpenPath(path);
      QCOMPARE(h_->messages.size(), size_t{1});
      QCOMPARE(h_->messages[0],
               Message(QString::asprintf("Open failed.  Error code: %d\n\nYou may not write to "
                                         "this file (it, or its folder, is read-only). Open it "
                                         "with kinscope --read-only to look at it.",
                                         EACCES),
                       "Alert!"));
      QVERIFY(!recording.isVisible());
    }
    QCOMPARE(tevwriter::ReadWholeFile(path), before);
  }

  // Each failed open with its message and its cause after it.
  void failedOpensEndTheProgram_data() {
    QTest::addColumn<int>("damage");
    QTest::addColumn<QString>("text");
    QTest::newRow("corrupt") << 0 << "TEV file is corrupted.  Open failed.";
    QTest::newRow("missing") << 1
                             << QString::asprintf(
                                    "Open failed.  Error code: %d\n\nThere is no "
                                    "such file.",
                                    ENOENT);
    QTest::newRow("locked") << 2
                            << QString::asprintf(
                                   "Open failed.  Error code: %d\n\nAnother program has the file "
                                   "open (Kinscope, kinscope-dump or the genealogy program): it "
                                   "is locked. Close it there first; if the other program only "
                                   "reads it, open it with kinscope --read-only.",
                                   EWOULDBLOCK);
    QTest::newRow("read-only mount")
        << 3
        << QString::asprintf(
               "Open failed.  Error code: %d\n\nThe file is on a read-only disk. "
               "Open it with kinscope --read-only to look at it.",
               EROFS);
    QTest::newRow("journal that cannot be applied")
        << 4
        << QString::asprintf(
               "Open failed.  Error code: %d\n\nThe interrupted change recorded "
               "in %s could not be undone (Input/output error): the file may "
               "hold part of it. The journal stays, and the next open for writing "
               "tries again.",
               EIO, "JOURNAL");
  }
  void failedOpensEndTheProgram() {
    QFETCH(int, damage);
    QFETCH(QString, text);
    std::string path = WriteDatabase("bad.tev");
    kinscope::CTEVDatabase other;
    // A read-only mount, and a disk that fails the journal's write-back.
    struct Refusing : kinscope::platform::FileSeam {
      int error = 0;
      kinscope::platform::FileHandle OpenExisting(const std::string& p, bool writable) override {
        if (error != EROFS || !writable) return FileSeam::OpenExisting(p, writable);
        kinscope::platform::RememberError(EROFS);
        return kinscope::platform::kNoFile;
      }
      size_t WriteAt(kinscope::platform::FileHandle, int64_t, const void*, size_t) override {
        kinscope::platform::RememberError(EIO);
        return 0;
      }
    } refusing;
    if (damage == 0) QVERIFY(tevwriter::OverwriteFile(path, 10, {'W'}));
    if (damage == 1) path = dir_->File("absent.tev");
    if (damage == 2) QCOMPARE(other.OpenDatabase(path, 0), 1);
    if (damage == 3) refusing.error = EROFS;
    if (damage == 4) {
      crash::LeaveInterruptedWriteBack(path);
      text.replace("JOURNAL", QString::fromStdString(kinscope::JournalPath(path)));
    }
    if (damage >= 3) kinscope::platform::SetSeam(&refusing);
    TForm1 form;
    form.show();
    form.OpenPath(path);
    kinscope::platform::SetSeam(nullptr);
    QCOMPARE(h_->messages.size(), size_t{1});
    QCOMPARE(h_->messages[0], Message(text, "Alert!"));
    QCOMPARE(form.Database(), nullptr);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.CurrentFileName(), path);
  }

  void secondOpenClosesTheFirstEvenWhenItFails() {
    TForm1 form;
    form.show();
    const std::string first = WriteDatabase("first.tev");
    form.OpenPath(first);
    QVERIFY(h_->messages.empty());
    const std::string second = WriteDatabase("second.tev");
    QVERIFY(tevwriter::TruncateFile(second, 100));
    form.OpenPath(second);
    QCOMPARE(h_->messages.size(), size_t{1});
    QCOMPARE(h_->messages[0].first, QString("TEV file is corrupted.  Open failed."));
    // The first file was closed: its header carries the version text again
    // and it can be opened for writing by someone else.
    const tevwriter::Bytes bytes = tevwriter::ReadWholeFile(first);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 3), QByteArray("500"));
    kinscope::CTEVDatabase again;
    QCOMPARE(again.OpenDatabase(first, 0), 1);
  }

  void secondOpenSucceeds() {
    TForm1 form;
    form.OpenPath(WriteDatabase("first.tev"));
    const std::string second = WriteDatabase("second.tev", 9);
    form.OpenPath(second);
    QVERIFY(h_->messages.empty());
    QCOMPARE(form.Database()->HeaderI32(kinscope::kHdrRootNode2), 9);
    QCOMPARE(form.CurrentFileName(), second);
  }

  void goPassesTypeAndNumber_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("code");  // -2: nothing opened
    QTest::addColumn<int>("passed");
    QTest::newRow("zero") << "Name"
                          << "0" << -2 << 0;
    QTest::newRow("empty") << "Marriage"
                           << "" << -2 << 0;
    QTest::newRow("non-numeric") << "Note"
                                 << "abc" << -2 << 0;
    QTest::newRow("digits then letters") << "Individual"
                                         << "12abc" << 0 << 12;
    QTest::newRow("blanks and sign") << "Family"
                                     << "  +8" << 2 << 8;
    QTest::newRow("negative") << "Name"
                              << "-45" << 3 << -45;
    QTest::newRow("no type") << ""
                             << "7" << -1 << 7;
    QTest::newRow("typed text of no entry") << "Individuals"
                                            << "7" << -1 << 7;
    QTest::newRow("source") << "Source"
                            << "3" << 7 << 3;
    QTest::newRow("contact") << "Contact"
                             << "3" << 10 << 3;
    QTest::newRow("index, empty number") << "Indiv_Index"
                                         << "" << 12 << 77;
    QTest::newRow("index, zero") << "Indiv_Index"
                                 << "0" << 12 << 77;
    QTest::newRow("index, number") << "Indiv_Index"
                                   << "4" << 12 << 4;
    QTest::newRow("no type, empty number") << ""
                                           << "" << -2 << 0;
  }
  void goPassesTypeAndNumber() {
    QFETCH(QString, type);
    QFETCH(QString, number);
    QFETCH(int, code);
    QFETCH(int, passed);
    RecordingForm form;
    form.OpenPath(WriteDatabase("db.tev", 77));
    Go(form, type, number);
    if (code == -2) {
      QVERIFY(form.opened.empty());
    } else {
      QCOMPARE(form.opened.size(), size_t{1});
      QCOMPARE(form.opened[0], std::make_pair(int32_t{code}, int32_t{passed}));
    }
    QVERIFY(h_->messages.empty());
  }

  void indexWithEmptyTreeOpensNodeZero() {
    RecordingForm form;
    form.OpenPath(WriteDatabase("db.tev", 0));
    Go(form, "Indiv_Index", "");
    QCOMPARE(form.opened.size(), size_t{1});
    QCOMPARE(form.opened[0], std::make_pair(int32_t{12}, int32_t{0}));
  }

  void codesWithoutAWindowSayso_data() {
    QTest::addColumn<int>("code");
    for (int code : {-1, 7, 10, 13, -45, 77})
      QTest::newRow(qPrintable(QString::number(code))) << code;
  }
  void codesWithoutAWindowSayso() {
    QFETCH(int, code);
    RecordingForm form;
    form.RealOpenRecordWindow(code, 1);
    QCOMPARE(h_->messages.size(), size_t{1});
    QCOMPARE(h_->messages[0], Message(QString::asprintf("Unknown record type %d", code), "Note"));
  }
};

class ParseRecordNumberTest : public QObject {
  Q_OBJECT
 private slots:
  void parsesLikeAtol() {
    const std::pair<const char*, int32_t> cases[] = {{"", 0},
                                                     {"42", 42},
                                                     {"  42", 42},
                                                     {"\t\n 5", 5},
                                                     {"+7", 7},
                                                     {"-13", -13},
                                                     {"12abc", 12},
                                                     {"abc", 0},
                                                     {"- 5", 0},
                                                     {"--5", 0},
                                                     {"007", 7},
                                                     {"2147483647", INT32_MAX},
                                                     {"-2147483648", INT32_MIN},
                                                     {"99999999999", INT32_MAX},
                                                     {"-99999999999", INT32_MIN},
                                                     {"1 2", 1}};
    for (const auto& [text, value] : cases) {
      QVERIFY2(kinscope::ParseRecordNumber(text) == value, text);
    }
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  MainWindowTest window_test;
  ParseRecordNumberTest parse_test;
  return QTest::qExec(&window_test, argc, argv) | QTest::qExec(&parse_test, argc, argv);
}

#include "MainWindowTest.moc"
