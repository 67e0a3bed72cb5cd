// SPDX-License-Identifier: GPL-3.0-or-later
// The check window and the file map: the window lists what kinscope-dump
// check lists on damaged copies of the sample, a double-click opens the
// record named, the map colours and outlines known pages, and every row of
// the malformed-file table gives a window or a message, never a crash.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QTableWidget>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CheckWin.h"
#include "CrashSeam.h"
#include "DamagedFiles.h"
#include "MalformedFiles.h"
#include "RecordLayouts.h"
#include "Seams.h"
#include "TreeCheck.h"
#include "WindowHarness.h"

using namespace kinscope;

namespace {

nlohmann::json DumpCheck(const std::string& path) {
  FILE* pipe = ::popen((std::string(KINSCOPE_DUMP) + " " + path + " check --json").c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return nlohmann::json::parse(out, nullptr, false);
}

QString Cell(const QTableWidget& table, int row, int column) {
  const QTableWidgetItem* item = table.item(row, column);
  return item == nullptr ? QString() : item->text();
}

// The pixel inside the cell of (region, page), clear of its outline and stripes.
QColor Inside(const TFileMapView& map, int region, int page) {
  return map.Image().pixelColor(map.CellOrigin(region, page) + QPoint(1, 1));
}

}  // namespace

class CheckWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Damage made with the engine's own writes and the writer's overwrite on
  // copies of the sample, one kind a row (the first row none).
  void ListsWhatTheDumpLists() {
    using Harm = std::function<void(CTEVDatabase&, const std::string&)>;
    const Harm rows[] = {
        [](CTEVDatabase&, const std::string&) {},
        [](CTEVDatabase& db, const std::string&) {
          NoteImage n{};
          db.LoadNote(n, 2);
          EncodeI32(n.data(), note::kPrevBlock, 7);
          db.WriteRecord(n.data(), kNoteTable.size, 2, kNoteTable.table, kNoteTable.per_page);
        },
        [](CTEVDatabase& db, const std::string&) {
          db.SetNodeLink(CheckIndexTree(db).order.back(), db.HeaderI32(kHdrRootNode2),
                         kGreaterLink);
        },
        [](CTEVDatabase& db, const std::string&) {
          IndividImage person{};
          db.LoadIndivid(person, 1);
          const uint8_t other[4] = {2, 0, 0, 0};
          db.WriteAt(DecodeI32(person.data(), individ::kStartnames) +
                         static_cast<int32_t>(iname::kOwnerId),
                     other, 4);
        },
        [](CTEVDatabase&, const std::string& path) {
          tevwriter::OverwriteFile(path, kRegionBase + 8000, {40});
          tevwriter::OverwriteFile(path, kPageCountOffset + 2 * (kMarrTable.table - 1), {2, 0});
        },
    };
    for (const Harm& harm : rows) {
      WindowHarness h;
      const std::string path = h.CopySample();
      QVERIFY(!path.empty());
      {
        CTEVDatabase db;
        QCOMPARE(db.OpenDatabase(path, 0), kOpenOk);
        harm(db, path);
        db.CloseDatabase();
      }
      const nlohmann::json dumped = DumpCheck(path);
      QVERIFY(dumped.is_object());
      QVERIFY(h.OpenFile(path));
      h.on_modal = [&](QDialog& window) {
        if (window.metaObject()->className() != QString("kinscope::TCheckWin"))
          return;  // a byte view
        auto& w = As<TCheckWin>(window);
        const QTableWidget& table = *w.ui.twFindings;
        const nlohmann::json& findings = dumped["findings"];
        QCOMPARE(w.ui.lblSummary->text(), QString::fromStdString(dumped["summary"]));
        QCOMPARE(table.rowCount(), static_cast<int>(findings.size()));
        for (int r = 0; r < table.rowCount(); ++r) {
          const nlohmann::json& f = findings[static_cast<size_t>(r)];
          QCOMPARE(Cell(table, r, 0), QString::fromStdString(f["place"]));
          QCOMPARE(Cell(table, r, 1), QString::fromStdString(f["severity"]));
          QCOMPARE(Cell(table, r, 2), QString::fromStdString(f["what"]));
          QCOMPARE(Cell(table, r, 3),
                   f["offset"].is_null() ? QString() : QString::number(f["offset"].get<int64_t>()));
        }
        if (table.rowCount() == 0) return;
        // The last finding: a double-click opens its record, or its bytes.
        const int last = table.rowCount() - 1;
        const nlohmann::json& f = findings[static_cast<size_t>(last)];
        w.show();
        QApplication::processEvents();
        h.host.opened.clear();
        const size_t modals = h.modals.size();
        const QPoint at = table.visualItemRect(table.item(last, 2)).center();
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, at);
        if (f["record"].is_null()) {
          QCOMPARE(h.modals.size(), modals + 1);
          QCOMPARE(h.modals.back().class_name, QString("kinscope::TByteView"));
        } else {
          QCOMPARE(h.host.opened,
                   (std::vector<Opened>{{f["record"]["code"], f["record"]["number"]}}));
        }
        w.ui.twFindings->selectRow(last);
        QTest::keyClick(w.ui.twFindings, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringList({Cell(table, last, 0), Cell(table, last, 1), Cell(table, last, 2),
                              Cell(table, last, 3)})
                         .join('\t') +
                     '\n');
      };
      RunCheckWindow(nullptr, h.host, path);
      QCOMPARE(h.messages.size(), size_t{0});
      QVERIFY(!h.modals.empty());
    }
  }

  // A written file: individuals on counted pages, a page of a table the map
  // gives but the page-count table does not count, a page naming table 40,
  // a note whose previous link is wrong, the file ending before its last page.
  void MapColoursKnownPages() {
    WindowHarness h;
    tevwriter::TevFile file(1);
    for (int i = 0; i < 40; ++i) file.AppendRecord(kIndividTable.table, tevwriter::Bytes(221, 1));
    file.AppendRecord(kNoteTable.table, RecordWith(256, {{note::kNextBlock, 2}}));
    file.AppendRecord(kNoteTable.table, RecordWith(256, {{note::kPrevBlock, 5}}));
    const int note_page =
        static_cast<int>((file.RecordOffset(kNoteTable.table, 256, 1) - kRegionBase) / kPageSize);
    file.SetMapByte(0, 100, static_cast<uint8_t>(kMarrTable.table));  // not counted
    file.SetMapByte(0, 200, 40);
    file.AddPage(0, 300, kMediaTable.table);  // past the end of the file
    TempDir dir;
    const std::string path = dir.File("map.tev");
    QVERIFY(file.Write(path));
    QVERIFY(tevwriter::TruncateFile(path, kRegionBase + 300 * kPageSize));
    QVERIFY(h.OpenFile(path));
    TCheckWin w(nullptr, h.host);
    w.ShowReport(CheckDatabase(*h.db()), ReadFileMap(*h.db()));
    const TFileMapView& map = *w.map;
    QCOMPARE(Inside(map, 0, 0), TFileMapView::TableColor(kPageMapTable));
    QCOMPARE(Inside(map, 0, 1), TFileMapView::TableColor(kIndividTable.table));
    QCOMPARE(Inside(map, 0, 2), TFileMapView::TableColor(kIndividTable.table));
    QCOMPARE(Inside(map, 0, 150), TFileMapView::TableColor(0));
    QCOMPARE(Inside(map, 0, 200), TFileMapView::NoTableColor());
    QVERIFY(Inside(map, 0, 100) != TFileMapView::TableColor(kMarrTable.table));
    QVERIFY(Inside(map, 0, 100) != TFileMapView::TableColor(0));
    // Problem pages are outlined: the note page (damage) and page 200 (unusual).
    for (int page : {note_page, 200}) {
      QCOMPARE(map.Image().pixelColor(map.CellOrigin(0, page)), TFileMapView::ProblemColor());
    }
    QCOMPARE(Inside(map, 0, note_page), TFileMapView::TableColor(kNoteTable.table));
    QVERIFY(map.Image().pixelColor(map.CellOrigin(0, 1)) != TFileMapView::ProblemColor());
    // The page past the end is striped; the one before it is not.
    QCOMPARE(map.Image().pixelColor(map.CellOrigin(0, 300) + QPoint(1, 2)),
             QColor(0x30, 0x30, 0x30));
    QVERIFY(map.Describe(0, 300).contains("past the end of the file"));
    QVERIFY(!map.Describe(0, 299).contains("past the end"));
    QVERIFY(map.Describe(0, 2).contains("records 38 to 74"));
    // A click on a cell opens the page's first record.
    QTest::mouseClick(w.map, Qt::LeftButton, {}, map.CellOrigin(0, 2) + QPoint(1, 1));
    QCOMPARE(h.host.opened, (std::vector<Opened>{{kIndividualCode, 38}}));
    // Drawn up to page 300, the last the map gives: three rows, nothing after,
    // not even the page of offset 0x01010101 that the individuals' name
    // links name, whose problem is in the list.
    const int cell = map.CellSize();
    QCOMPARE(map.Image().height(), 3 * cell + TFileMapView::kGap);
    QCOMPARE(map.CellOrigin(0, 301), QPoint(-1, -1));
    int region = -1;
    int page = -1;
    QVERIFY(!map.PageAt(map.CellOrigin(0, 300) + QPoint(cell + 1, 1), region, page));
    QVERIFY(map.PageAt(map.CellOrigin(0, 300) + QPoint(1, 1), region, page));
    QCOMPARE(page, 300);
    QCOMPARE(w.ui.lblPastEnd->text(), QString("Past the end of the file: region 0, 7892 pages."));
  }

  // Each region is drawn up to the end of the file or up to the last page
  // its map gives, whichever is further; one line says how many pages of
  // each region lie past the end.
  void MapDrawsUpToTheEndOfTheFile() {
    struct Row {
      const char* what;
      int64_t file_size;
      std::vector<std::pair<int, uint8_t>> bytes;  // of the maps: region * 8192 + page
      std::vector<int> drawn;
      QString past;
    };
    const int64_t twelve = kRegionBase + 12 * kPageSize;
    const QString sample = "Past the end of the file: region 0, 8180 pages.";
    const Row rows[] = {
        {"twelve pages", twelve, {{11, 2}}, {12}, sample},
        {"a page begun", twelve + 100, {}, {13}, "Past the end of the file: region 0, 8179 pages."},
        {"a table's page past the end", twelve, {{300, 20}}, {301}, sample},
        {"a page of no table", twelve, {{60, 40}}, {61}, sample},
        {"a whole region",
         kRegionBase + kRegionSize,
         {{8191, 2}},
         {8192},
         "No page lies past the end of the file."},
        {"four regions",
         kRegionBase + kRegionSize + 12 * kPageSize,
         {{kPageSize + 40, 2}},
         {8192, 41, 0, 0},
         "Past the end of the file: region 1, 8180 pages; regions 2 to 3, 8192 pages each."},
    };
    for (const Row& row : rows) {
      FileMap m;
      m.file_size = row.file_size;
      m.regions.resize(row.drawn.size());
      for (size_t r = 0; r < m.regions.size() && r < 2; ++r) m.regions[r].resize(kPageSize);
      for (const auto& [at, byte] : row.bytes) {
        m.regions[static_cast<size_t>(at / kPageSize)][static_cast<size_t>(at % kPageSize)].byte =
            byte;
      }
      QVERIFY2(TFileMapView::DrawnPages(m) == row.drawn, row.what);
      QVERIFY2(TFileMapView::PastTheEnd(m) == row.past,
               qPrintable(row.what + (": " + TFileMapView::PastTheEnd(m))));
    }
  }

  // Every row of the malformed-file table: a file that opens gets its
  // window and map, one that does not a message saying why.
  // "Repair a copy..." on a damaged copy: enabled by the damage, it saves
  // where the dialog says (NAME-repaired.tev beside the file by default),
  // lists the mends, offers to open the copy and never writes the file on
  // screen; the file is then opened. On a sound file it stays disabled.
  void RepairsACopy() {
    for (const bool damage : {true, false}) {
      WindowHarness h;
      const std::string path = h.CopySample();
      std::vector<uint8_t> bytes = *crash::ReadFile(path);
      if (damage) {
        CTEVDatabase sound;
        QCOMPARE(sound.OpenDatabase(path, 1), kOpenOk);
        damaged::Target target{bytes, sound};
        QVERIFY(damaged::Named("an index link zeroed").harm(target));
      }
      crash::PutFile(path, bytes);
      QVERIFY(h.OpenFile(path));
      const QString out = QString::fromStdString(path) + QStringLiteral(".mended.tev");
      QString suggested;
      seams::SetFileDialogHook([&](QFileDialog& dialog) {
        suggested = dialog.selectedFiles().value(0);
        return std::optional<QString>(out);
      });
      QStringList asked;
      seams::SetQuestionHook([&](const QString& text, const QString&) {
        asked << text;
        return true;
      });
      QString listed;
      bool enabled = false;
      h.on_modal = [&](QDialog& window) {
        auto& w = As<TCheckWin>(window);
        enabled = w.ui.btnRepair->isEnabled();
        if (enabled) w.ui.btnRepair->click();
        listed = w.ui.teRepair->toPlainText();
      };
      std::string opened;
      RunCheckWindow(nullptr, h.host, path, [&](const std::string& copy) { opened = copy; });
      seams::SetFileDialogHook({});
      seams::SetQuestionHook({});
      QCOMPARE(enabled, damage);
      QVERIFY(*crash::ReadFile(path) == bytes);
      if (!damage) continue;
      QVERIFY2(suggested.endsWith(QStringLiteral("/family-repaired.tev")), qPrintable(suggested));
      QVERIFY2(listed.startsWith(QStringLiteral("index: mended")), qPrintable(listed));
      QVERIFY(listed.contains(QStringLiteral("1 mended, 0 cut; the copy is ") + out));
      QCOMPARE(asked.size(), 1);
      QCOMPARE(QString::fromStdString(opened), out);
      CTEVDatabase copy;
      QCOMPARE(copy.OpenDatabase(opened, 1), kOpenOk);
      QVERIFY(CheckDatabase(copy, opened).Sound());
    }
  }

  void EveryMalformedFile() {
    for (const malformed::Row& row : malformed::Rows()) {
      WindowHarness h;
      TempDir dir;
      const std::string path = dir.File("damaged.tev");
      malformed::Base base = malformed::MakeBase(row.regions);
      QVERIFY2(malformed::WriteRow(row, base, path), row.damage);
      const bool opened = h.OpenFile(path);
      QCOMPARE(opened, row.open == kOpenOk);
      int regions = -1;
      h.on_modal = [&](QDialog& window) {
        regions = static_cast<int>(As<TCheckWin>(window).map->Map().regions.size());
      };
      RunCheckWindow(nullptr, h.host, path);
      if (opened) {
        QVERIFY2(h.messages.empty(), row.damage);
        QCOMPARE(regions, std::min(h.db()->PageListCount(), kMaxRegions));
      } else {
        QCOMPARE(h.modals.size(), size_t{0});
        QCOMPARE(h.messages.size(), size_t{1});
        QVERIFY2(h.messages[0].first.contains("cannot be checked: the file is corrupt"),
                 row.damage);
      }
    }
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CheckWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "CheckWindowTest.moc"
