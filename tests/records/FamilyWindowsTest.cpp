// SPDX-License-Identifier: GPL-3.0-or-later
// The individual, marriage and family link windows: every link against the
// file format's tables, the buttons with rules of their own, values that
// catch signedness and text faults, and a walk through the sample family.
#include <QApplication>
#include <QtTest>

#include "Explor1.h"
#include "FamLinkRec.h"
#include "IndivRec.h"
#include "MarRec.h"
#include "UtcClock.h"
#include "WindowHarness.h"

using namespace kinscope;

namespace {

struct WindowCase {
  int table, size, code;
  std::vector<LinkRow> links;
};

// Written from the record tables of the file format, offsets and codes.
const WindowCase kCases[] = {
    {2,
     221,
     0,
     {{"btnStartnames", 0, 5},
      {"btnMarriage", 4, 1},
      {"btnFamLink", 8, 2},
      {"btnNote", 12, 4},
      {"btnCit", 16, 6},
      {"btnUDEvent", 28, 8},
      {"btnMedia", 32, 11},
      {"btnContact", 36, 10},
      {"btnRel_Descr", 40, 12},
      {"btnPrim_Marr", 44, 13}}},
    {3,
     106,
     1,
     {{"btnHusband", 4, 0},
      {"btnWife", 8, 0},
      {"btnChild", 12, 2},
      {"btnHus_next_mar", 16, 1},
      {"btnWife_next_mar", 20, 1},
      {"btnNote", 28, 4},
      {"btnCit", 32, 6}}},
    {5,
     46,
     2,
     {{"btnMarriage", 0, 1}, {"btnNYS", 4, 2}, {"btnNxtPrnts", 8, 2}, {"btnIndi", 12, 0}}},
};

std::unique_ptr<TRecordWindow> Make(int32_t code, TRecordHost& host) {
  if (code == 0) return std::make_unique<TIndivForm>(nullptr, host);
  if (code == 1) return std::make_unique<TMarRecForm>(nullptr, host);
  return std::make_unique<TFamilyLink>(nullptr, host);
}

}  // namespace

class FamilyWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UseUtc(); }

  // Each link shows its number and opens its record type; a zero link opens
  // nothing. Values are negative, large and distinct to catch a wrong field.
  void everyLink_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("zeros");
    for (int row = 0; row < 3; ++row) {
      QTest::addRow("code %d", kCases[row].code) << row << false;
      QTest::addRow("code %d all zero", kCases[row].code) << row << true;
    }
  }
  void everyLink() {
    QFETCH(int, row);
    QFETCH(bool, zeros);
    const WindowCase& c = kCases[row];
    std::vector<std::pair<size_t, int32_t>> values;
    int32_t v = -3;
    for (const LinkRow& l : c.links) values.emplace_back(l.offset, zeros ? 0 : (v = v * -7 + 1));
    const tevwriter::Bytes record = RecordWith(static_cast<size_t>(c.size), values);
    tevwriter::TevFile file(1);
    QCOMPARE(file.AppendRecord(c.table, record), 1);
    WindowHarness h;
    QVERIFY(h.Open(file));
    const auto w = Make(c.code, h.host);
    w->ShowRecord(h.db(), 1);
    QVERIFY(h.messages.empty());
    CheckLinks(h, *w, record.data(), c.links);
    if (c.code == 1) QCOMPARE(h.Click(*w, "btnUd_event"), std::vector<Opened>{});
  }

  void failedLoads() {
    WindowHarness h;
    QVERIFY(h.Open(tevwriter::TevFile(1)));
    TIndivForm person(nullptr, h.host);
    person.ShowRecord(h.db(), 5);
    TMarRecForm marriage(nullptr, h.host);
    marriage.ShowRecord(h.db(), 0);
    TFamilyLink link(nullptr, h.host);
    link.ShowRecord(h.db(), -1);
    QCOMPARE(h.messages, (std::vector<Message>{{"For Rin 5", "LoadIndivid failed"},
                                               {"For MRin 0", "LoadMarr failed"}}));
    // The event and ordinance buttons still open, on zero values, owned by
    // their window.
    for (const char* b :
         {"btnBirth", "btnChristening", "btnDeath", "btnBurial", "btnBaptism", "btnEndow"}) {
      h.Click(person, b);
    }
    h.Click(marriage, "btnMar");
    h.Click(marriage, "btnSSpouse");
    h.Click(link, "btnStoP");
    QCOMPARE(h.modals.size(), size_t{9});
    QCOMPARE(h.modals[0].class_name, QString("kinscope::TRevent"));
    QCOMPARE(h.modals[4].class_name, QString("kinscope::TOevent"));
    QCOMPARE(h.modals[8].owner, &link);
    QVERIFY(h.host.opened.empty());
  }

  void individualValues_data() {
    QTest::addColumn<int>("sex");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("stamp");
    QTest::addColumn<QString>("sexText");
    QTest::addColumn<QString>("stampText");
    QTest::newRow("M, 200, epoch") << 77 << 200 << 0 << "M"
                                   << "Thu Jan 01 00:00:00 1970\n";
    QTest::newRow("zero sex") << 0 << 255 << 86399 << ""
                              << "Thu Jan 01 23:59:59 1970\n";
    QTest::newRow("before 1970") << 0xe9 << 1 << -1 << QString::fromLatin1("\xe9")
                                 << "Wed Dec 31 23:59:59 1969\n";
    QTest::newRow("largest") << 70 << 0 << INT32_MAX << "F"
                             << "Tue Jan 19 03:14:07 2038\n";
  }
  void individualValues() {
    QFETCH(int, sex);
    QFETCH(int, count);
    QFETCH(int, stamp);
    QFETCH(QString, sexText);
    QFETCH(QString, stampText);
    tevwriter::TevFile file(1);
    const int32_t name = file.AppendINameRec(0, 0, 1, 1, "Ann /Lee/");
    tevwriter::Bytes r = RecordWith(221, {{0, name}, {20, stamp}, {24, 0}, {40, 99}});
    r[202] = static_cast<uint8_t>(sex);
    r[203] = static_cast<uint8_t>(count);
    r[204] = 7;
    file.AppendRecord(2, r);
    WindowHarness h;
    QVERIFY(h.Open(file));
    TIndivForm w(nullptr, h.host);
    w.ShowRecord(h.db(), 1);
    QCOMPARE(w.windowTitle(), QString("Individual Record 1"));
    QCOMPARE(w.ui.Label2->text(), QString("Ann /Lee/"));
    QCOMPARE(w.ui.Sex->text(), sexText);
    QCOMPARE(w.ui.Source_cnt->text(), QString::number(count));
    QCOMPARE(w.ui.SP_cnt->text(), QString("7"));
    QCOMPARE(w.ui.UID->text(), QString("99"));
    QCOMPARE(w.ui.Label8->text(), stampText);
    QCOMPARE(w.ui.Label10->text(), QString("Thu Jan 01 00:00:00 1970\n"));
    QCOMPARE(w.ui.btnBirth->text(), QString("btnBirth"));  // keeps its design-time caption
  }

  void linkTypes_data() {
    QTest::addColumn<int>("letter");
    QTest::addColumn<QString>("text");
    QTest::newRow("b") << int{'b'} << "'b' means Bio";
    QTest::newRow("a") << int{'a'} << "'a' means Adopt";
    QTest::newRow("D") << int{'D'} << "'D' means Deleted";
    QTest::newRow("B") << int{'B'} << "'B' means unknown type";
    QTest::newRow("zero byte") << 0 << "'unknown type";
    QTest::newRow("high byte") << 0xfc << QString::fromLatin1("'\xfc' means unknown type");
  }
  void linkTypes() {
    QFETCH(int, letter);
    QFETCH(QString, text);
    tevwriter::TevFile file(1);
    tevwriter::Bytes r(46, 0);
    r[37] = static_cast<uint8_t>(letter);
    file.AppendRecord(5, r);
    WindowHarness h;
    QVERIFY(h.Open(file));
    TFamilyLink w(nullptr, h.host);
    w.ShowRecord(h.db(), 1);
    QCOMPARE(w.windowTitle(), QString("Family Link Record -- 1"));
    QCOMPARE(w.ui.link_type->text(), text);
  }

  // Individual 1 -> marriage 1 -> the wife; the first child's family link ->
  // the next sibling -> the parents' marriage again; and the husband's
  // next-marriage chain 1 -> 2 -> 0.
  void walkTheSampleFamily() {
    WindowHarness h;
    TForm1 form;
    std::vector<QString> captions;
    h.on_modal = [&](QDialog& w) {
      QCOMPARE(w.parentWidget(), &form);
      captions.push_back(w.windowTitle());
      const QString title = w.windowTitle();
      if (title == "Individual Record 1") h.Click(w, "btnMarriage");
      if (title == "Marriage Record -- MRin 1" && captions.size() == 2) {
        h.Click(w, "btnWife");
        h.Click(w, "btnChild");
        h.Click(w, "btnHus_next_mar");
      }
      if (title == "Family Link Record -- 1") h.Click(w, "btnNYS");
      if (title == "Family Link Record -- 2") h.Click(w, "btnMarriage");
      if (title == "Marriage Record -- MRin 2") h.Click(w, "btnHus_next_mar");
    };
    const std::string path = h.CopySample();
    QVERIFY(!path.empty());
    form.OpenPath(path);
    form.OpenRecordWindow(0, 1);
    const std::vector<QString> expected = {"Individual Record 1",      "Marriage Record -- MRin 1",
                                           "Individual Record 2",      "Family Link Record -- 1",
                                           "Family Link Record -- 2",  "Marriage Record -- MRin 1",
                                           "Marriage Record -- MRin 2"};
    QCOMPARE(captions, expected);
    QVERIFY(h.messages.empty());
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FamilyWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "FamilyWindowsTest.moc"
