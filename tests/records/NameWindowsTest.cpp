// SPDX-License-Identifier: GPL-3.0-or-later
// The index node, name record and individual's name record windows: what
// they show after a read, what they keep after a failed one, and where each
// button leads.
#include <QApplication>
#include <QtTest>
#include <memory>
#include <utility>
#include <vector>

#include "INamRec.h"
#include "IndivIX.h"
#include "NameRec.h"
#include "WindowHarness.h"

using namespace kinscope;

class NameWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowHarness> h_;

  void Open(const tevwriter::TevFile& file) { QVERIFY(h_->Open(file)); }

 private slots:
  void init() { h_ = std::make_unique<WindowHarness>(); }
  void cleanup() { h_.reset(); }

  void indexNodeShowsItsName() {
    tevwriter::TevFile file(1);
    const int32_t name = file.AppendINameRec(0, 0, 1, 1, "Eliza /Pembury/");
    file.AppendIndexNode(0, 0, 0, 0);
    file.AppendIndexNode(7, -1, 4, name);
    Open(file);
    TIndivIXForm w(nullptr, h_->host);
    w.ShowRecord(h_->db(), 2);
    QVERIFY(h_->messages.empty());
    QCOMPARE(w.windowTitle(), QString("Individual Index 2"));
    QCOMPARE(w.ui.btnGrtr->text(), QString("7"));
    QCOMPARE(w.ui.btnLess->text(), QString("-1"));
    QCOMPARE(w.ui.btnParent->text(), QString("4"));
    QCOMPARE(w.ui.btnName->text(), QString::number(name));
    QCOMPARE(w.ui.Label5->text(), QString("Eliza /Pembury/"));
    for (QPushButton* b : {w.ui.btnGrtr, w.ui.btnLess, w.ui.btnParent, w.ui.btnName}) b->click();
    const std::vector<Opened> expected = {{12, 7}, {12, -1}, {12, 4}, {5, name}};
    QCOMPARE(h_->host.opened, expected);
  }

  void indexNodeWithoutAName() {
    tevwriter::TevFile file(1);
    file.AppendIndexNode(0, 3, 0, 0);
    file.AppendIndexNode(0, 0, 1, 0x7ffffff0);  // a name far beyond the end of the file
    Open(file);
    for (int32_t node : {1, 2}) {
      TIndivIXForm w(nullptr, h_->host);
      w.ShowRecord(h_->db(), node);
      QCOMPARE(w.ui.Label5->text(), QString());
      w.ui.btnGrtr->click();  // 0: nothing
      if (node == 1) w.ui.btnName->click();
    }
    QVERIFY(h_->messages.empty());
    QCOMPARE(h_->host.opened, std::vector<Opened>{});
  }

  void failedReadsKeepDesignCaptions_data() {
    QTest::addColumn<int>("window");  // 0 index node, 1 name, 2 individual's name
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addRow("node past the table") << 0 << 513 << "For Rin 513"
                                         << "LoadIndivid failed";
    for (int n : {0, -1, INT32_MIN}) {
      QTest::addRow("node %d", n) << 0 << n << QString::asprintf("For Rin %d", n)
                                  << "LoadIndivid failed";
      QTest::addRow("name %d", n) << 1 << n << QString::asprintf("For NRin %d", n)
                                  << "LoadName failed";
      QTest::addRow("iname %d", n)
          << 2 << n << QString::asprintf("For NRin %d", n) << "LoadName failed";
    }
    QTest::addRow("name past the end") << 1 << 0x7fffffff << "For NRin 2147483647"
                                       << "LoadName failed";
    QTest::addRow("iname past the end") << 2 << 0x7fffffff << "For NRin 2147483647"
                                        << "LoadName failed";
  }
  void failedReadsKeepDesignCaptions() {
    QFETCH(int, window);
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QString, title);
    tevwriter::TevFile file(1);
    file.AppendIndexNode(1, 1, 1, 1);
    Open(file);
    std::unique_ptr<TRecordWindow> w;
    if (window == 0) w = std::make_unique<TIndivIXForm>(nullptr, h_->host);
    if (window == 1) w = std::make_unique<TName>(nullptr, h_->host);
    if (window == 2) w = std::make_unique<TIName>(nullptr, h_->host);
    const QString title_before = w->windowTitle();
    w->ShowRecord(h_->db(), number);
    QCOMPARE(h_->messages, std::vector<Message>{Message(text, title)});
    QCOMPARE(w->windowTitle(), title_before);
    QCOMPARE(title_before, QString(window == 0 ? "Indiv IX" : "Name"));
    // Every value control still shows its own name, and no button acts.
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
      QCOMPARE(b->text(), b->objectName());
      b->click();
    }
    QCOMPARE(h_->host.opened, std::vector<Opened>{});
    QCOMPARE(h_->messages.size(), size_t{1});
  }

  void failedReadWithoutADatabase() {
    TName w(nullptr, h_->host);
    w.ShowRecord(nullptr, 100);
    QCOMPARE(h_->messages, std::vector<Message>{Message("For NRin 100", "LoadName failed")});
  }

  void nameRecordFields() {
    tevwriter::TevFile file(1);
    const int32_t at = file.AppendNameRec(-20, 30, 40, static_cast<int8_t>(-128), "Bath, Somerset");
    tevwriter::Bytes full(13, 0);
    full[12] = 127;
    full.insert(full.end(), 260, 'w');
    const int32_t longest = file.AppendRaw(full);
    Open(file);
    TName w(nullptr, h_->host);
    w.ShowRecord(h_->db(), at);
    QCOMPARE(w.windowTitle(), QString::asprintf("Name Record -- %d", at));
    QCOMPARE(w.ui.btnLess_ptr->text(), QString("-20"));
    QCOMPARE(w.ui.btnGreater_ptr->text(), QString("30"));
    QCOMPARE(w.ui.btnParent_rec->text(), QString("40"));
    QCOMPARE(w.ui.type->text(), QString("-128"));
    QCOMPARE(w.ui.text->text(), QString("Bath, Somerset"));
    w.ui.btnLess_ptr->click();
    w.ui.btnGreater_ptr->click();
    QCOMPARE(h_->host.opened, (std::vector<Opened>{{3, -20}, {3, 30}}));
    TName w2(nullptr, h_->host);
    w2.ShowRecord(h_->db(), longest);
    QCOMPARE(w2.ui.type->text(), QString("127"));
    QCOMPARE(w2.ui.text->text(), QString(255, 'w'));
  }

  void parentAndOwnerTables_data() {
    QTest::addColumn<bool>("individual");  // individual's name record, else name record
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");  // -1: a message instead
    QTest::newRow("name 0 marriage") << false << 0 << 1;
    QTest::newRow("name 1 family link") << false << 1 << 2;
    QTest::newRow("name 2 name record") << false << 2 << 3;
    QTest::newRow("name 3 note") << false << 3 << 4;
    QTest::newRow("name 4") << false << 4 << -1;
    QTest::newRow("name -1") << false << 0xff << -1;
    QTest::newRow("name -128") << false << 0x80 << -1;
    QTest::newRow("iname 0 marriage") << true << 0 << 1;
    QTest::newRow("iname 1 individual") << true << 1 << 0;
    QTest::newRow("iname 2 name record") << true << 2 << 3;
    QTest::newRow("iname 3 note") << true << 3 << 4;
    QTest::newRow("iname 4") << true << 4 << -1;
    QTest::newRow("iname 255") << true << 255 << -1;
  }
  void parentAndOwnerTables() {
    QFETCH(bool, individual);
    QFETCH(int, type);
    QFETCH(int, code);
    tevwriter::TevFile file(1);
    const auto byte = static_cast<uint8_t>(type);
    const int32_t linked = individual
                               ? file.AppendINameRec(0, 0, 99, byte, "A /B/")
                               : file.AppendNameRec(0, 0, 99, static_cast<int8_t>(byte), "A");
    const int32_t unlinked = individual
                                 ? file.AppendINameRec(0, 0, 0, byte, "C /D/")
                                 : file.AppendNameRec(0, 0, 0, static_cast<int8_t>(byte), "C");
    Open(file);
    std::unique_ptr<TRecordWindow> w, w0;
    if (individual) {
      w = std::make_unique<TIName>(nullptr, h_->host);
      w0 = std::make_unique<TIName>(nullptr, h_->host);
    } else {
      w = std::make_unique<TName>(nullptr, h_->host);
      w0 = std::make_unique<TName>(nullptr, h_->host);
    }
    const char* button = individual ? "btnOwnerID" : "btnParent_rec";
    w->ShowRecord(h_->db(), linked);
    w->findChild<QPushButton*>(button)->click();
    w0->ShowRecord(h_->db(), unlinked);
    w0->findChild<QPushButton*>(button)->click();  // a zero link does nothing, message or not
    if (code >= 0) {
      QCOMPARE(h_->host.opened, (std::vector<Opened>{{code, 99}}));
      QVERIFY(h_->messages.empty());
    } else {
      QVERIFY(h_->host.opened.empty());
      QCOMPARE(h_->messages.size(), size_t{1});
      QCOMPARE(h_->messages[0].second, QString("Note"));
      const int shown = individual ? type : static_cast<int8_t>(byte);
      QVERIFY2(h_->messages[0].first.contains(QString(" %1 ").arg(shown)),
               qPrintable(h_->messages[0].first));
      QVERIFY(h_->messages[0].first.contains("99"));
    }
  }

  void individualsNameFields() {
    tevwriter::TevFile file(1);
    const int32_t at = file.AppendINameRec(-8, 1234, 17, 200, "John Q. /Smith/");
    file.Patch(at + 13, {0xfb, 0xff});  // nTextLen -5, whatever the text
    tevwriter::Bytes full(15, 0);
    full[12] = 1;
    full.insert(full.end(), 300, 'z');
    const int32_t longest = file.AppendRaw(full);
    Open(file);
    TIName w(nullptr, h_->host);
    w.ShowRecord(h_->db(), at);
    QCOMPARE(w.windowTitle(), QString::asprintf("Individual's Name Record -- %d", at));
    QCOMPARE(w.ui.btnNextLnk->text(), QString("-8"));
    QCOMPARE(w.ui.btnPreviousLnk->text(), QString("1234"));
    QCOMPARE(w.ui.btnOwnerID->text(), QString("17"));
    QCOMPARE(w.ui.type->text(), QString("200"));
    QCOMPARE(w.ui.TextLen->text(), QString("-5"));
    QCOMPARE(w.ui.text->text(), QString("John Q. /Smith/"));
    w.ui.btnNextLnk->click();
    w.ui.btnPreviousLnk->click();
    QCOMPARE(h_->host.opened, (std::vector<Opened>{{5, -8}, {5, 1234}}));
    TIName w2(nullptr, h_->host);
    w2.ShowRecord(h_->db(), longest);
    QCOMPARE(w2.ui.text->text(), QString(256, 'z'));
  }

  // Texts are shown as stored, decoded as Windows-1252 like kinscope-dump
  // and the GEDCOM export: markup stays text, high bytes are kept.
  void textsAreShownAsStored() {
    tevwriter::TevFile file(1);
    const int32_t at = file.AppendNameRec(0, 0, 0, 0, "<b>M\xfcller</b> & Co \x80\x9d");
    Open(file);
    TName w(nullptr, h_->host);
    w.ShowRecord(h_->db(), at);
    QCOMPARE(w.ui.text->text(), QString::fromUtf8("<b>M\u00fcller</b> & Co \u20ac\u009d"));
    QCOMPARE(w.ui.text->textFormat(), Qt::PlainText);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  NameWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "NameWindowsTest.moc"
