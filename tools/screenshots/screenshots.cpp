// SPDX-License-Identifier: GPL-3.0-or-later
// screenshots DATABASE FOLDER: renders the main window and record windows on
// records of DATABASE and stores them as PNG files in FOLDER, so the
// pictures in the documentation stay current with the program.
#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <memory>

#include <QFile>
#include <QTemporaryDir>

#include "CheckWin.h"
#include "CitRec.h"
#include "Coding.h"
#include "Explor1.h"
#include "ByteView.h"
#include "FamLinkRec.h"
#include "INamRec.h"
#include "IndivRec.h"
#include "IndivIX.h"
#include "MarRec.h"
#include "MediaRec.h"
#include "NameRec.h"
#include "NoteRecrd.h"
#include "OeventRec.h"
#include "ReventRec.h"
#include "RecordLayouts.h"
#include "TreeCheck.h"
#include "UETypeRec.h"
#include "UserEvRec.h"
#include "rdateRec.h"

using namespace kinscope;

namespace {

bool Save(QWidget& window, const QString& folder, const char* name) {
  window.show();
  QApplication::processEvents();
  const bool saved = window.grab().save(folder + "/" + name);
  if (!saved) std::fprintf(stderr, "screenshots: cannot write %s\n", name);
  window.hide();
  return saved;
}

// Damages a copy of the database the way files break: a note whose
// previous link is wrong, an index node whose link leads back to the root,
// an individual's name owned by another individual and a page map naming a
// table that does not exist; then renders the check window and its map.
bool SaveCheck(const char* database, const QString& folder) {
  QTemporaryDir dir;
  const QString copy = dir.filePath(QStringLiteral("damaged.tev"));
  if (!dir.isValid() || !QFile::copy(QString::fromLocal8Bit(database), copy)) return false;
  const std::string path = QFile::encodeName(copy).toStdString();
  {
    CTEVDatabase db;
    if (db.OpenDatabase(path, 0) != kOpenOk) return false;
    NoteImage note{};
    db.LoadNote(note, 2);
    EncodeI32(note.data(), note::kPrevBlock, 7);
    db.WriteRecord(note.data(), kNoteTable.size, 2, kNoteTable.table, kNoteTable.per_page);
    db.SetNodeLink(CheckIndexTree(db).order.back(), db.HeaderI32(kHdrRootNode2), kGreaterLink);
    IndividImage person{};
    db.LoadIndivid(person, 1);
    const uint8_t other[4] = {2, 0, 0, 0};
    db.WriteAt(
        DecodeI32(person.data(), individ::kStartnames) + static_cast<int32_t>(iname::kOwnerId),
        other, 4);
    const uint8_t foreign = 40;
    db.WriteAt(static_cast<int32_t>(kRegionBase + 60), &foreign, 1);
    db.CloseDatabase();
  }
  TForm1 form;
  form.OpenPath(path);
  if (form.Database() == nullptr) return false;
  TCheckWin check(&form, form);
  check.setWindowTitle(QStringLiteral("Check -- damaged.tev"));
  check.ShowReport(CheckDatabase(*form.Database(), path), ReadFileMap(*form.Database()));
  check.ui.twFindings->selectRow(1);
  bool ok = Save(check, folder, "check-window.png");
  // The map, closer: the file's pages, then those past its end up to the
  // page of table 40, in the first half of its row.
  check.map->SetCellSize(12);
  const QImage& image = check.map->Image();
  const int width = TFileMapView::kLabelWidth + 64 * 12;
  ok = image.copy(0, 0, width, image.height()).save(folder + "/file-map.png") && ok;
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshots DATABASE FOLDER\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[2]);
  TForm1 form;
  form.OpenPath(argv[1]);
  CTEVDatabase* db = form.Database();
  if (db == nullptr) return 1;

  bool ok = Save(form, folder, "main-window.png");
  form.ui.ebFind->setText(QStringLiteral("Whitcombe"));
  form.ui.btnFind->click();
  ok = Save(form, folder, "find-window.png") && ok;
  form.ui.ebFind->clear();

  const int32_t root = db->HeaderI32(kHdrRootNode2);
  IndexNodeImage node{};
  db->LoadIndexNode(node, root);
  IndividImage person{};
  db->LoadIndivid(person, 1);
  const int32_t birth_place = DecodeI32(person.data(), individ::kBirth + event::kPlace);

  TIndivIXForm index(&form, form);
  index.ShowRecord(db, root);
  ok = Save(index, folder, "index-window.png") && ok;
  TIName name(&form, form);
  name.ShowRecord(db, DecodeI32(node.data(), indexnode::kName));
  ok = Save(name, folder, "individuals-name-window.png") && ok;
  TName place(&form, form);
  place.ShowRecord(db, birth_place);
  ok = Save(place, folder, "name-window.png") && ok;

  TRevent event(&form, form);
  event.ShowEvent(person.data() + individ::kBirth);
  ok = Save(event, folder, "event-window.png") && ok;
  TDateForm date(&form);
  date.ShowDate(person.data() + individ::kBirth);
  ok = Save(date, folder, "date-window.png") && ok;
  // The first individual with a baptism.
  for (int32_t rin = 1; db->LoadIndivid(person, rin) == 1; ++rin) {
    if (DecodeI32(person.data(), individ::kBaptism + ordinance::kPlace) == 0) continue;
    TOevent ordinance(&form, form);
    ordinance.ShowOrdinance(person.data() + individ::kBaptism);
    ok = Save(ordinance, folder, "ordinance-window.png") && ok;
    break;
  }
  TIndivForm individual(&form, form);
  individual.Open(db, 1);
  ok = Save(individual, folder, "individual-window.png") && ok;
  TByteView bytes(&individual, individual.ByteSource());
  ok = Save(bytes, folder, "byte-view.png") && ok;
  TMarRecForm marriage(&form, form);
  marriage.ShowRecord(db, 1);
  ok = Save(marriage, folder, "marriage-window.png") && ok;
  TFamilyLink link(&form, form);
  link.ShowRecord(db, 1);
  ok = Save(link, folder, "family-link-window.png") && ok;

  // The first block of the first individual's note, and the first record of
  // each further kind.
  db->LoadIndivid(person, 1);
  TNoteRec note(&form, form);
  note.ShowRecord(db, DecodeI32(person.data(), individ::kNote));
  ok = Save(note, folder, "note-window.png") && ok;
  TCitation citation(&form, form);
  citation.ShowRecord(db, 1);
  ok = Save(citation, folder, "citation-window.png") && ok;
  TMedia media(&form, form);
  media.ShowRecord(db, 1);
  ok = Save(media, folder, "media-window.png") && ok;
  TUEvRec user_event(&form, form);
  user_event.ShowRecord(db, 1);
  ok = Save(user_event, folder, "userevent-window.png") && ok;
  TUEType event_type(&form, form);
  event_type.ShowRecord(db, 1);
  ok = Save(event_type, folder, "uetype-window.png") && ok;
  return SaveCheck(argv[1], folder) && ok ? 0 : 1;
}
