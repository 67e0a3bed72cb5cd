// SPDX-License-Identifier: GPL-3.0-or-later
// The byte view of every record kind and embedded value, its copy as text,
// a record read short, and the Copy menu of labels and buttons.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QtTest>

#include "ByteView.h"
#include "IndivRec.h"
#include "RecordWindowTable.h"
#include "ReventRec.h"
#include "WindowHarness.h"
#include "rdateRec.h"

using namespace kinscope;

class ByteViewTest : public QObject {
  Q_OBJECT

  std::vector<TByteModel::Row> rows_;  // of the byte view run last
  QString where_;
  std::vector<TByteModel::Row> event_rows_, date_rows_;

  // Plays every modal window: a byte view is read, an event window has its
  // bytes viewed and then its date opened, a date window its bytes viewed.
  void Play(WindowHarness& h) {
    h.on_modal = [this](QDialog& d) {
      if (auto* view = qobject_cast<TByteView*>(&d)) {
        QVERIFY(view->parentWidget() != nullptr);
        rows_ = qobject_cast<TByteModel*>(view->ui.tvBytes->model())->Rows();
        where_ = view->ui.lblWhere->text();
      } else if (auto* e = qobject_cast<TRevent*>(&d)) {
        Bytes(*e);
        event_rows_ = rows_;
        e->ui.btnEdate->click();
      } else if (auto* date = qobject_cast<TDateForm*>(&d)) {
        Bytes(*date);
        date_rows_ = rows_;
      }
    };
  }
  // Opens the byte view of `window` through its action (Ctrl+B).
  static void Bytes(QWidget& window) {
    auto* bytes = window.findChild<QAction*>("actBytes");
    if (bytes == nullptr) qFatal("no byte view");
    if (bytes->shortcut() != QKeySequence(Qt::CTRL | Qt::Key_B))
      qFatal("Ctrl+B is not the shortcut");
    bytes->trigger();
  }
  std::pair<std::vector<TByteModel::Row>, QString> View(WindowHarness& h, QWidget& window) {
    Play(h);
    rows_.clear();
    Bytes(window);
    return {rows_, where_};
  }

  // Every byte of the layout lies in exactly one row, in offset order, and
  // every field of the layout is a row (embedded values by their fields).
  static void CheckCoverage(const std::vector<TByteModel::Row>& rows, const RecordLayout& layout) {
    size_t end = 0;
    for (const auto& row : rows) {
      QCOMPARE(row.offset, end);
      QVERIFY(row.width > 0);
      end += row.width;
    }
    QCOMPARE(end, layout.size);
    for (size_t i = 0; i < layout.count; ++i) {
      const QString name = QString::fromLatin1(layout.fields[i].name);
      const auto n = std::count_if(rows.begin(), rows.end(), [&](const TByteModel::Row& r) {
        return r.field == name || r.field.startsWith(name + " / ");
      });
      QVERIFY2(n >= 1, qPrintable(name));
    }
  }

 private slots:
  void everyRecordKind_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("number");
    const std::pair<int, int> rows[] = {{0, 1}, {1, 1}, {2, 1}, {3, 20480}, {4, 1}, {5, 20991},
                                        {6, 1}, {8, 1}, {9, 1}, {11, 1},    {12, 3}};
    for (const auto& [code, number] : rows) QTest::addRow("code %d", code) << code << number;
  }
  void everyRecordKind() {
    QFETCH(int, code);
    QFETCH(int, number);
    WindowHarness h;
    QVERIFY(h.OpenSample());
    auto w = CreateRecordWindow(code, nullptr, h.host);
    w->Open(h.db(), number);
    const auto [rows, where] = View(h, *w);
    CheckCoverage(rows, w->Layout());
    QVERIFY2(where.contains(QString::number(number)), qPrintable(where));
    QVERIFY2(!where.contains("could be read"), qPrintable(where));
    QVERIFY(h.messages.empty());
  }

  void embeddedValuesAndTheirCopy() {
    WindowHarness h;
    QVERIFY(h.OpenSample());
    TIndivForm person(nullptr, h.host);
    person.Open(h.db(), 1);
    // The individual's birth: its event window and the date window below it.
    Play(h);
    person.ui.btnBirth->click();
    CheckCoverage(event_rows_, event::kLayout);
    CheckCoverage(date_rows_, date::kLayout);
    QCOMPARE(event_rows_[0].field, QString("edate"));
    QCOMPARE(event_rows_[0].value, QString("14 Mar 1842"));

    TByteView view(nullptr, person.ByteSource());
    view.ui.tvBytes->selectRow(2);
    view.ui.tvBytes->selectionModel()->select(
        view.ui.tvBytes->model()->index(0, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.CopySelection();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("0\t4\tStartnames\tff 51 00 00\t20991\n8\t4\tFamily Link\t00 00 00 00\t0"));
  }

  void aRecordReadShort() {
    tevwriter::TevFile file(1);
    file.AppendRecord(2, tevwriter::Bytes(221, 7));
    const int64_t at = file.RecordOffset(2, 221, 1);
    TempDir dir;
    const std::string path = dir.File("short.tev");
    QVERIFY(file.Write(path));
    QVERIFY(tevwriter::TruncateFile(path, at + 100));  // the file ends inside the record
    WindowHarness h;
    QVERIFY(h.OpenFile(path));
    TIndivForm w(nullptr, h.host);
    w.Open(h.db(), 1);
    QCOMPARE(h.messages.size(), size_t{1});  // the window's own report of the failed read
    const auto [rows, where] = View(h, w);
    QVERIFY2(where.contains("only 100 of its 221 bytes"), qPrintable(where));
    QCOMPARE(rows.front().bytes, QString("07 07 07 07"));
    QCOMPARE(rows.back().value, QString("(not read)"));
  }

  void copyMenuOfLabelsAndButtons() {
    WindowHarness h;
    QVERIFY(h.OpenSample());
    TIndivForm w(nullptr, h.host);
    w.Open(h.db(), 1);
    w.show();
    for (QWidget* control : std::initializer_list<QWidget*>{w.ui.Label2, w.ui.btnMarriage}) {
      QCOMPARE(control->contextMenuPolicy(), Qt::CustomContextMenu);
      std::unique_ptr<QMenu> menu(MakeCopyMenu(control));
      QCOMPARE(menu->actions().size(), 1);
      menu->actions()[0]->trigger();
    }
    QCOMPARE(QApplication::clipboard()->text(), QString("1"));  // the marriage button's caption
    h.Click(w, "btnMarriage");  // a left click still opens the marriage
    QCOMPARE(h.host.opened, (std::vector<Opened>{{1, 1}}));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ByteViewTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ByteViewTest.moc"
