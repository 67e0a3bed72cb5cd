// SPDX-License-Identifier: GPL-3.0-or-later
// A walk through the index of the sample database, window by window, the way
// a user clicks through it: each window opens on top of the last, is owned by
// the main window, and is gone once closed.
#include <QApplication>
#include <QPointer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <vector>

#include "INamRec.h"
#include "IndivIX.h"
#include "IndivRec.h"
#include "Explor1.h"
#include "WindowHarness.h"

using namespace kinscope;

class IndexWalkTest : public QObject {
  Q_OBJECT

 private:
  using Step = std::function<void(QDialog&)>;
  std::vector<Step> script_;
  size_t step_ = 0;
  std::vector<QPointer<QDialog>> shown_;
  std::unique_ptr<WindowHarness> h_;
  TForm1* form_ = nullptr;

 private slots:
  void initTestCase() {
    h_ = std::make_unique<WindowHarness>();
    h_->on_modal = [this](QDialog& window) {
      QCOMPARE(window.parentWidget(), form_);
      shown_.emplace_back(&window);
      QVERIFY2(step_ < script_.size(), "a window more than the script expects");
      const Step step = script_[step_++];
      step(window);
    };
  }

  void walkTheSampleIndex() {
    TempDir dir;
    const std::string path = dir.File("family.tev");
    std::filesystem::copy_file(KINSCOPE_SAMPLE_DB, path);
    TForm1 form;
    form_ = &form;
    form.OpenPath(path);
    QVERIFY(h_->messages.empty());
    const int32_t root = form.Database()->HeaderI32(kHdrRootNode2);

    QString lesser, owner;
    script_ = {
        [&](QDialog& w) {  // the root node
          auto& node = As<TIndivIXForm>(w);
          QCOMPARE(node.windowTitle(), QString("Individual Index %1").arg(root));
          QCOMPARE(node.ui.Label5->text(), QString("Eliza /Pembury/"));
          QCOMPARE(node.ui.btnParent->text(), QString("0"));
          lesser = node.ui.btnLess->text();
          node.ui.btnLess->click();
          node.ui.btnName->click();
        },
        [&](QDialog& w) {  // its lesser child, whose parent is the root again
          auto& node = As<TIndivIXForm>(w);
          QCOMPARE(node.windowTitle(), "Individual Index " + lesser);
          QCOMPARE(node.ui.btnParent->text(), QString::number(root));
          QVERIFY(!node.ui.Label5->text().isEmpty());
          node.ui.btnParent->click();
        },
        [&](QDialog& w) {
          QCOMPARE(w.windowTitle(), QString("Individual Index %1").arg(root));
          QCOMPARE(shown_.size(), size_t{3});  // three windows stacked
          for (const auto& open : shown_) QVERIFY(!open.isNull());
        },
        [&](QDialog& w) {  // the root's name
          auto& name = As<TIName>(w);
          QVERIFY(name.windowTitle().startsWith("Individual's Name Record -- "));
          QCOMPARE(name.ui.text->text(), QString("Eliza /Pembury/"));
          QCOMPARE(name.ui.type->text(), QString("1"));
          QVERIFY(shown_[1].isNull() && shown_[2].isNull());  // closed windows are gone
          owner = name.ui.btnOwnerID->text();
          name.ui.btnOwnerID->click();
        },
        [&](QDialog& w) {  // the individual who owns the name
          auto& person = As<TIndivForm>(w);
          QCOMPARE(person.windowTitle(), "Individual Record " + owner);
          QCOMPARE(person.ui.Label2->text(), QString("Eliza /Pembury/"));
        },
    };
    form.ui.cbxRecType->setCurrentText("Indiv_Index");
    form.ui.ebRecNum->clear();
    QTest::mouseClick(form.ui.btnGo, Qt::LeftButton);

    QCOMPARE(step_, script_.size());
    for (const auto& open : shown_) QVERIFY(open.isNull());
    QVERIFY(h_->messages.empty());
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  IndexWalkTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "IndexWalkTest.moc"
