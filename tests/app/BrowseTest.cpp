// SPDX-License-Identifier: GPL-3.0-or-later
// Browsing leaves the file alone: the main window opens the sample
// database, every record type is opened through Go, every button of each
// record window is clicked once, the window goes away as it does when the
// program ends, and the file holds the same bytes as before.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>

#include "Explor1.h"
#include "WindowHarness.h"

using kinscope::TForm1;

class BrowseTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowHarness> h_;
  std::unique_ptr<TempDir> dir_;
  int depth_ = 0;

  // Every record window, and the event, ordinance and date windows.
  const QStringList kEveryWindow = {
      "kinscope::TCitation",   "kinscope::TDateForm",  "kinscope::TFamilyLink",
      "kinscope::TIName",      "kinscope::TIndivForm", "kinscope::TIndivIXForm",
      "kinscope::TMarRecForm", "kinscope::TMedia",     "kinscope::TName",
      "kinscope::TNoteRec",    "kinscope::TOevent",    "kinscope::TRevent",
      "kinscope::TUEType",     "kinscope::TUEvRec"};

  // The classes of the windows run so far, sorted, each once.
  QStringList WindowClasses() const {
    QStringList classes;
    for (const ModalRun& run : h_->modals) classes.append(run.class_name);
    classes.removeDuplicates();
    classes.sort();
    return classes;
  }

  std::string Copy(const std::string& name) {
    const std::string path = dir_->File(name);
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
    return path;
  }

  // Go on every record type: number 1, and the root of the index for
  // "Indiv_Index". Each record window clicks all its buttons, and so does
  // each window those open; the windows opened from there close at once.
  void WalkEveryRecordType(TForm1& form) {
    h_->on_modal = [this](QDialog& window) {
      if (depth_ > 1) return;
      ++depth_;
      for (QPushButton* button : window.findChildren<QPushButton*>()) button->click();
      --depth_;
    };
    for (int code = 0; code < form.ui.cbxRecType->count(); ++code) {
      form.ui.cbxRecType->setCurrentIndex(code);
      form.ui.ebRecNum->setText(code == kinscope::kIndivIndexCode ? QString() : QString("1"));
      QTest::mouseClick(form.ui.btnGo, Qt::LeftButton);
    }
    h_->on_modal = nullptr;
  }

 private slots:
  void initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    h_ = std::make_unique<WindowHarness>();
  }
  void init() {
    h_->Reset();
    dir_ = std::make_unique<TempDir>();
  }

  void browsingReadWriteChangesNothing() {
    const std::string path = Copy("family.tev");
    const tevwriter::Bytes before = tevwriter::ReadWholeFile(path);
    {
      auto form = std::make_unique<TForm1>();
      form->show();
      form->OpenPath(path);
      QVERIFY(h_->messages.empty());
      QVERIFY(form->Database() != nullptr && !form->Database()->IsReadOnly());
      WalkEveryRecordType(*form);
      QCOMPARE(WindowClasses(), kEveryWindow);
    }
    QCOMPARE(tevwriter::ReadWholeFile(path), before);
  }

  // In read-only mode even the first file, closed when the second is
  // opened, keeps its header as it was: its version text, which a header
  // write-back would set to "500", stays another one.
  void browsingReadOnlyChangesNothing() {
    const std::string first = Copy("first.tev");
    QVERIFY(tevwriter::OverwriteFile(first, 0, {'4', '1', '2', 0}));
    const std::string second = Copy("second.tev");
    const tevwriter::Bytes first_before = tevwriter::ReadWholeFile(first);
    const tevwriter::Bytes before = tevwriter::ReadWholeFile(second);
    {
      auto form = std::make_unique<TForm1>();
      form->SetReadOnly(true);
      form->show();
      form->OpenPath(first);
      form->OpenPath(second);
      QVERIFY(h_->messages.empty());
      QCOMPARE(form->CurrentFileName(), second);
      QVERIFY(form->Database() != nullptr && form->Database()->IsReadOnly());
      WalkEveryRecordType(*form);
      QCOMPARE(WindowClasses(), kEveryWindow);
    }
    QCOMPARE(tevwriter::ReadWholeFile(first), first_before);
    QCOMPARE(tevwriter::ReadWholeFile(second), before);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BrowseTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "BrowseTest.moc"
