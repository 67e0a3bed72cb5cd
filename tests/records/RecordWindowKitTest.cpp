// SPDX-License-Identifier: GPL-3.0-or-later
// What every record window shares, checked over every record-type code:
// which codes have a window (as the registry says), and what a window keeps
// after a failed read.
#include <QApplication>
#include <QtTest>
#include <climits>

#include "RecordRegistry.h"
#include "RecordWindowTable.h"
#include "WindowHarness.h"

using namespace kinscope;

namespace {

// Record-type code, window class, design-time caption, and whether a failed
// read shows a message.
struct WindowRow {
  int32_t code;
  const char* class_name;
  const char* caption;
  bool reports_failure;
};

const WindowRow kWindows[] = {
    {0, "kinscope::TIndivForm", "IndivForm", true},
    {1, "kinscope::TMarRecForm", "Marriage Record", true},
    {2, "kinscope::TFamilyLink", "FamilyLink", false},
    {3, "kinscope::TName", "Name", true},
    {4, "kinscope::TNoteRec", "NoteRec", true},
    {5, "kinscope::TIName", "Name", true},
    {6, "kinscope::TCitation", "Citation", true},
    {8, "kinscope::TUEvRec", "UEvRec", true},
    {9, "kinscope::TUEType", "UEType", true},
    {11, "kinscope::TMedia", "Media", true},
    {12, "kinscope::TIndivIXForm", "Indiv IX", true},
};

}  // namespace

class RecordWindowKitTest : public QObject {
  Q_OBJECT

 private slots:
  void codesWithoutAWindow() {
    WindowHarness h;
    for (int32_t code : {-1, 7, 10, kRecordTypeCount, kPrimMarrCode, INT32_MIN, INT32_MAX}) {
      QVERIFY2(!CreateRecordWindow(code, nullptr, h.host), qPrintable(QString::number(code)));
    }
  }

  // The registry's rows and the windows' factory agree: a window for each
  // row that says it has one, on the row's layout, and none for the rest.
  void registryRowsHaveTheirWindows() {
    WindowHarness h;
    for (const RecordType& row : kRecordTypes) {
      const std::unique_ptr<TRecordWindow> w = CreateRecordWindow(row.code, nullptr, h.host);
      QVERIFY2((w != nullptr) == row.window, row.name);
      if (w) QVERIFY2(&w->Layout() == row.layout, row.name);
    }
  }

  void failedReadKeepsTheDesignTimeLook_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("number");
    for (int row = 0; row < static_cast<int>(std::size(kWindows)); ++row) {
      for (int number : {0, -1, INT32_MAX}) {
        QTest::addRow("%s %d", kWindows[row].class_name, number) << row << number;
      }
    }
  }
  void failedReadKeepsTheDesignTimeLook() {
    QFETCH(int, row);
    QFETCH(int, number);
    const WindowRow& expected = kWindows[row];
    WindowHarness h;
    QVERIFY(h.Open(tevwriter::TevFile(1)));
    const std::unique_ptr<TRecordWindow> w = CreateRecordWindow(expected.code, nullptr, h.host);
    QVERIFY(w);
    QCOMPARE(w->metaObject()->className(), expected.class_name);
    QCOMPARE(w->windowTitle(), QString(expected.caption));
    w->ShowRecord(h.db(), number);
    QCOMPARE(h.messages.size(), size_t{expected.reports_failure ? 1u : 0u});
    QCOMPARE(w->windowTitle(), QString(expected.caption));
    CheckDesignTimeCaptions(*w);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  RecordWindowKitTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "RecordWindowKitTest.moc"
