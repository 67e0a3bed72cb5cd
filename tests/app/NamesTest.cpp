// SPDX-License-Identifier: GPL-3.0-or-later
// Names as the file means them: the same Unicode text for the same bytes on
// every path that shows a name, Find in the main window as typed, by
// spelling and by sound, the folding against Unicode's decomposition, and
// the whole index of a large file as one long list.
#include <QApplication>
#include <QLabel>
#include <QtTest>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Coding.h"
#include "Cp1252.h"
#include "Dump.h"
#include "Gedcom.h"
#include "NamesFile.h"
#include "RecordLayouts.h"
#include "RecordTypes.h"
#include "RecordWindowTable.h"
#include "RecordingForm.h"
#include "WindowHarness.h"

using kinscope::TNameList;
using Rows = QList<QPair<int, QString>>;  // rin, how it matched ("" when not marked)

class NamesTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowHarness> h_;
  TempDir dir_;
  std::string accented_ = dir_.File("accented.tev");

  static Rows Listed(TNameList& list) {
    Rows rows;
    for (int i = 0; i < list.rowCount(); ++i) {
      rows.append({list.Rin(i), list.index(i, TNameList::kMatchColumn).data().toString()});
    }
    return rows;
  }

 private slots:
  void initTestCase() { QVERIFY(namesfile::Write(accented_, namesfile::AccentedPeople())); }
  void init() { h_ = std::make_unique<WindowHarness>(); }
  void cleanup() { h_.reset(); }

  void sameTextOnEveryPath_data() {
    QTest::addColumn<int>("rin");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("gedcom");  // GEDCOM 5.5.1 holds no control characters
    QTest::newRow("Ž ž") << 1 << "Slavoj /Žižek/"
                         << "Slavoj /Žižek/";
    QTest::newRow("ü") << 2 << "Hans /Müller/"
                       << "Hans /Müller/";
    QTest::newRow("á ’") << 4 << "Seán /O’Brien/"
                         << "Seán /O’Brien/";
    QTest::newRow("ç Œ €") << 5 << "Françoise /Œuvray/ €"
                           << "Françoise /Œuvray/ €";
    QTest::newRow("É") << 11 << "Émile /Étienne/"
                       << "Émile /Étienne/";
    QTest::newRow("undefined bytes")
        << 6 << QString::fromUtf8("Ann /Cx\u0081\u008D/") << "Ann /Cx/";
  }
  // The individual's name window, the main window's list, index and find as
  // text and JSON, record and the GEDCOM export show one name alike.
  void sameTextOnEveryPath() {
    QFETCH(int, rin);
    QFETCH(QString, shown);
    QFETCH(QString, gedcom);
    const std::string utf8 = shown.toStdString();
    RecordingForm form;
    form.OpenPath(accented_);
    kinscope::CTEVDatabase& db = *form.Database();
    kinscope::IndividImage person{};
    QVERIFY(db.LoadIndivid(person, rin) != 0);
    const int32_t offset = kinscope::DecodeI32(person.data(), kinscope::individ::kStartnames);

    FakeHost host;
    host.db = &db;
    const auto window = kinscope::CreateRecordWindow(kinscope::kIndivNameCode, nullptr, host);
    window->Open(&db, offset);
    QCOMPARE(window->findChild<QLabel*>("text")->text(), shown);

    TNameList& list = form.Names();
    int row = 0;
    while (row < list.rowCount() && list.Rin(row) != rin) ++row;
    QVERIFY(row < list.rowCount());
    QCOMPARE(list.index(row, TNameList::kNameColumn).data().toString(), shown);

    namespace dump = kinscope::dump;
    const std::string surname = shown.section('/', 1, 1).toStdString();
    for (const bool json : {false, true}) {
      std::ostringstream index, found;
      QCOMPARE(dump::WriteIndex(db, index, json).status, dump::kOk);
      QCOMPARE(dump::WriteFind(db, surname, found, json).status, dump::kOk);
      if (!json) {  // a cell: the name followed by its padding
        QVERIFY2(index.str().find(utf8 + "  ") != std::string::npos, index.str().c_str());
        QVERIFY2(found.str().find(utf8 + "  ") != std::string::npos, found.str().c_str());
        continue;
      }
      bool listed = false;
      const dump::json doc = dump::json::parse(index.str());
      for (const auto& node : doc["nodes"]) {
        if (node["rin"] == rin) listed = node["name"] == utf8;
      }
      QVERIFY(listed);
      QCOMPARE(QString::fromStdString(dump::json::parse(found.str())["found"][0]["name"]), shown);
    }
    bool recorded = false;
    const dump::Result record = dump::Record(db, kinscope::kIndivNameCode, offset, false);
    for (const auto& field : record.doc["fields"]) {
      if (field["name"] == "text") recorded = field["value"] == utf8;
    }
    QVERIFY(recorded);

    std::ostringstream ged;
    kinscope::gedcom::Counts counts;
    kinscope::gedcom::Export(db, ged, {}, counts);
    QVERIFY2(ged.str().find("1 NAME " + gedcom.toStdString() + "\n") != std::string::npos,
             ged.str().c_str());
  }

  void findInTheMainWindow_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("like");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("said");  // under the list
    QTest::newRow("as stored") << "Žižek" << false << Rows{{1, ""}} << "";
    QTest::newRow("without accents")
        << "zizek" << false << Rows{{1, "spelling"}} << "No exact match for \"zizek\"";
    QTest::newRow("sounds like") << "Smyth" << true
                                 << Rows{{9, "sound"}, {7, "sound"}, {8, "exact"}}
                                 << "3 names spelled or sounding alike";
    QTest::newRow("with and without the accent")
        << "muller" << true << Rows{{3, "exact"}, {2, "spelling"}} << "2 names";
    QTest::newRow("not in the code page")
        << "Łukasz" << false << Rows{} << "No name can hold \"Ł\" (U+0141)";
    QTest::newRow("nothing alike") << "Quirke" << true << Rows{} << "No name found.";
  }
  // Find takes the letters Windows-1252 holds; what it finds by spelling or
  // sound it marks in the Match column.
  void findInTheMainWindow() {
    QFETCH(QString, typed);
    QFETCH(bool, like);
    QFETCH(Rows, rows);
    QFETCH(QString, said);
    RecordingForm form;
    form.OpenPath(accented_);
    form.ui.ebFind->setText(typed);
    form.ui.cbLike->setChecked(like);
    QTest::keyClick(form.ui.ebFind, Qt::Key_Return);
    QVERIFY(!form.Names().Filling());
    QCOMPARE(Listed(form.Names()), rows);
    const QString label = form.ui.lblFound->text();
    QVERIFY2(said.isEmpty() ? label.isEmpty() : label.startsWith(said), qPrintable(label));
    if (!rows.isEmpty()) {
      QCOMPARE(form.ui.tvFound->isColumnHidden(TNameList::kMatchColumn), rows[0].second.isEmpty());
    }
    QVERIFY(h_->messages.empty());
  }

  // The engine's folding of every byte is Unicode's: the character decomposed,
  // its marks left out, in small letters; the letters that do not decompose
  // are spelled as written without them.
  void foldingAgreesWithUnicode() {
    const QHash<QChar, QString> spelled = {{u'Æ', "ae"}, {u'æ', "ae"}, {u'Œ', "oe"}, {u'œ', "oe"},
                                           {u'ß', "ss"}, {u'Ø', "o"},  {u'ø', "o"},  {u'Ð', "d"},
                                           {u'ð', "d"},  {u'Þ', "th"}, {u'þ', "th"}};
    for (int b = 1; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      std::string folded;
      kinscope::AppendCp1252Folded(folded, std::string_view(&byte, 1));
      const QChar c(static_cast<char16_t>(kinscope::Cp1252CodePoint(static_cast<uint8_t>(b))));
      QString unicode = spelled.value(c);
      if (unicode.isEmpty()) {
        for (const QChar d : QString(c).normalized(QString::NormalizationForm_D)) {
          if (d.category() != QChar::Mark_NonSpacing) unicode += d;
        }
        unicode = unicode.toLower();
      }
      QCOMPARE(QString::fromStdString(kinscope::Cp1252ToUtf8(folded)), unicode);
    }
  }

  // A file of 100,000 names: its first rows show as it opens, the list grows
  // to every name while the program is idle, End shows the last and Enter
  // opens its individual, and a typed letter goes to the first surname
  // starting with it.
  void wholeIndexOfALargeFile() {
    std::vector<namesfile::Person> people;
    for (int i = 0; i < 100000; ++i) {
      people.push_back(
          {"Given" + std::to_string(i) + " /" + static_cast<char>('A' + i % 26) + "urname/"});
    }
    const std::string path = dir_.File("large.tev");
    QVERIFY(namesfile::Write(path, people));
    const std::vector<size_t> order = namesfile::KeyOrder(people);
    RecordingForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.OpenPath(path);
    TNameList& list = form.Names();
    QVERIFY(list.rowCount() > 0);
    QCOMPARE(list.Rin(0), static_cast<int>(order.front()) + 1);
    QTRY_VERIFY_WITH_TIMEOUT(!list.Filling(), 30000);
    QCOMPARE(list.rowCount(), 100000);
    QCOMPARE(form.ui.lblFound->text(), QString("100000 names in the index."));

    QTreeView& view = *form.ui.tvFound;
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End);
    QCOMPARE(view.currentIndex().row(), 99999);
    QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(form.opened, (std::vector<std::pair<int32_t, int32_t>>{
                              {kinscope::kIndividualCode, static_cast<int>(order.back()) + 1}}));

    QApplication::setKeyboardInputInterval(1);  // each letter a search of its own
    for (const char* letter : {"m", "Z", "b"}) {
      QTest::qWait(5);
      QTest::keyClicks(&view, letter);
      const int row = view.currentIndex().row();
      const QString surname = QString("/%1urname/").arg(QString(letter).toUpper());
      QVERIFY2(list.index(row, 0).data().toString().endsWith(surname), letter);
      QVERIFY2(!list.index(row - 1, 0).data().toString().endsWith(surname), letter);
      QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
    }
  }
};

QTEST_MAIN(NamesTest)
#include "NamesTest.moc"
