// SPDX-License-Identifier: GPL-3.0-or-later
// The note, citation, multimedia, user-defined event and event type windows:
// what each shows of records written at the file format's offsets, and where
// each button leads.
#include <QApplication>
#include <QtTest>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CitRec.h"
#include "MediaRec.h"
#include "NoteRecrd.h"
#include "RecordWindowTable.h"
#include "ReventRec.h"
#include "UETypeRec.h"
#include "UserEvRec.h"
#include "WindowHarness.h"

using namespace kinscope;
using tevwriter::Bytes;
using tevwriter::PutText;
using tevwriter::PutU16;
using tevwriter::PutU8;

namespace {

// Tables of the file format.
constexpr int kNotes = 4, kCitations = 6, kUserEvents = 12, kEventTypes = 13, kMedia = 20;

// About 1 Jan 1901: date type 2, modifier 1, day number 2415021.
const Bytes kAbout1901 = {2, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};

void PutBytes(Bytes& record, size_t offset, const Bytes& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) PutU8(record, offset + i, bytes[i]);
}

// What one click of `button` opened: nothing, or `code` on `number`.
std::vector<Opened> OpenedBy(bool opens, int code, int number) {
  return opens ? std::vector<Opened>{{code, number}} : std::vector<Opened>{};
}

}  // namespace

class RecordWindows2Test : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowHarness> h_;

 private slots:
  void init() { h_ = std::make_unique<WindowHarness>(); }
  void cleanup() { h_.reset(); }

  void failedReads_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("note") << 4 << 99 << "Note record 99 could not be read"
                          << "LoadNote failed";
    QTest::newRow("citation") << 6 << -2 << "For CRin -2"
                              << "LoadCit failed";
    QTest::newRow("user event") << 8 << 99 << "For URin 99"
                                << "LoadUserEv failed";
    QTest::newRow("event type") << 9 << 99 << "Load User Event Type failed"
                                << "Bang!";
    QTest::newRow("media") << 11 << 0 << "Multimedia record 0 could not be read"
                           << "LoadMedia failed";
  }
  void failedReads() {
    QFETCH(int, code);
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QVERIFY(h_->Open(tevwriter::TevFile(1)));
    const std::unique_ptr<TRecordWindow> w = CreateRecordWindow(code, nullptr, h_->host);
    QVERIFY(w);
    w->ShowRecord(h_->db(), number);
    QCOMPARE(h_->messages, std::vector<Message>{Message(text, title)});
  }

  // A chain of three blocks, opened at each block and walked both ways
  // until a chain button opens block 0, whose window reports its failed read.
  void noteBlocks_data() {
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("forwards");
    QTest::addColumn<QList<int>>("backwards");
    QTest::newRow("first") << 1 << "73 I"
                           << "Born at Clifton." << QList<int>{2, 3, 0} << QList<int>{0};
    QTest::newRow("full, owner 0")
        << 2 << "0 " << QString(243, 'x') << QList<int>{3, 0} << QList<int>{1, 0};
    QTest::newRow("last, owner -4")
        << 3 << QString::fromLatin1("-4 \xfc") << "" << QList<int>{0} << QList<int>{2, 1, 0};
  }
  void noteBlocks() {
    QFETCH(int, block);
    QFETCH(QString, owner);
    QFETCH(QString, text);
    QFETCH(QList<int>, forwards);
    QFETCH(QList<int>, backwards);
    const struct {
      int32_t next, prev, frec;
      uint8_t owner;
      std::string text;
    } blocks[] = {{2, 0, 7, 'I', "Born at Clifton."},
                  {3, 1, -9, 0, std::string(243, 'x')},
                  {0, 2, 0, 0xfc, ""}};
    tevwriter::TevFile file(1);
    for (const auto& b : blocks) {
      Bytes r = RecordWith(256, {{0, b.next}, {4, b.prev}, {8, b.frec}});
      PutU8(r, 12, b.owner);
      PutText(r, 13, b.text);
      file.AppendRecord(kNotes, r);
    }
    QVERIFY(h_->Open(file));
    TNoteRec w(nullptr, h_->host);
    w.ShowRecord(h_->db(), block);
    QCOMPARE(w.windowTitle(), QString::asprintf("Note Record %d", block));
    QCOMPARE(w.ui.btnFrecnum->text(), QString::number(blocks[block - 1].frec));
    QCOMPARE(w.ui.sowner_type->text(), owner);
    QCOMPARE(w.ui.sText->text(), text);
    QVERIFY(h_->Click(w, "btnFrecnum").empty());
    for (const auto& [button, expected] :
         {std::pair("btnNext", forwards), std::pair("btnPrev", backwards)}) {
      QList<int> walked;
      for (int32_t at = block; walked.size() < 5;) {
        const std::unique_ptr<TRecordWindow> step = CreateRecordWindow(4, nullptr, h_->host);
        step->ShowRecord(h_->db(), at);
        if (at == 0) {
          QCOMPARE(h_->messages, std::vector<Message>{Message("Note record 0 could not be read",
                                                              "LoadNote failed")});
          QCOMPARE(step->windowTitle(), QString("NoteRec"));
          CheckDesignTimeCaptions(*step);
          h_->messages.clear();
          break;
        }
        const std::vector<Opened> opened = h_->Click(*step, button);
        QCOMPARE(opened.size(), size_t{1});
        QCOMPARE(opened[0].first, 4);
        walked.push_back(at = opened[0].second);
      }
      QCOMPARE(walked, expected);
    }
    QVERIFY(h_->messages.empty());
  }

  void citations_data() {
    QTest::addColumn<int>("owner_type");
    QTest::addColumn<int>("rec_ptr");
    QTest::addColumn<QString>("page");
    QTest::addColumn<Bytes>("date");
    QTest::addColumn<QString>("sum");
    QTest::addColumn<QString>("datestr");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("code");  // opened by the owner button; -100 nothing
    QTest::addColumn<bool>("bad_date");
    const Bytes none(12, 0);
    const Bytes bad = {9, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};
    QTest::newRow("B: individual")
        << int{'B'} << 12 << "Parish register, folio 31" << kAbout1901 << "284"
        << "Abt 1 Jan 1901"
        << "B 66" << 0 << false;
    QTest::newRow("A, full page") << int{'A'} << 3 << QString(92, 'p') << kAbout1901 << "284"
                                  << "Abt 1 Jan 1901"
                                  << "A 65" << 0 << false;
    QTest::newRow("M: code 77") << int{'M'} << 5 << "" << none << "0"
                                << ""
                                << "M 77" << 77 << false;
    QTest::newRow("high byte: signed code")
        << 0xc8 << 5 << "" << none << "0"
        << "" << QString::fromLatin1("\xc8 -56") << -56 << false;
    QTest::newRow("no owner") << int{'B'} << 0 << "" << none << "0"
                              << ""
                              << "B 66" << -100 << false;
    QTest::newRow("bad date type, owner 0") << 0 << 4 << "p. 7" << bad << "291"
                                            << ""
                                            << "" << 0 << true;
  }
  void citations() {
    QFETCH(int, owner_type);
    QFETCH(int, rec_ptr);
    QFETCH(QString, page);
    QFETCH(Bytes, date);
    QFETCH(QString, sum);
    QFETCH(QString, datestr);
    QFETCH(QString, owner);
    QFETCH(int, code);
    QFETCH(bool, bad_date);
    Bytes r = RecordWith(
        145, {{0, 21}, {108, 22}, {112, 23}, {116, 0}, {120, -1}, {124, 25}, {128, rec_ptr}});
    PutText(r, 4, page.toStdString());
    PutBytes(r, 96, date);
    PutU8(r, 132, static_cast<uint8_t>(owner_type));
    tevwriter::TevFile file(1);
    file.AppendRecord(kCitations, r);
    QVERIFY(h_->Open(file));
    TCitation w(nullptr, h_->host);
    w.ShowRecord(h_->db(), 1);
    QCOMPARE(h_->messages, bad_date ? std::vector<Message>{Message("Unknown date type", "Error")}
                                    : std::vector<Message>{});
    QCOMPARE(w.windowTitle(), QString("Citation Record 1"));
    QCOMPARE(w.ui.Page->text(), page);
    QCOMPARE(w.ui.btnRecorded_date->text(), sum);
    QCOMPARE(w.ui.rdatestr->text(), datestr);
    QCOMPARE(w.ui.owner_type->text(), owner);
    QCOMPARE(w.ui.btnRec_ptr->text(), QString::number(rec_ptr));
    QCOMPARE(h_->Click(w, "btnRec_ptr"), OpenedBy(code != -100, code, rec_ptr));
    QVERIFY(h_->Click(w, "btnRecorded_date").empty());
    CheckLinks(*h_, w, r.data(),
               {{"btnActualText", 0, 4},
                {"btnComments", 108, 4},
                {"btnMedia", 112, 11},
                {"btnSource_ptr", 116, 7},
                {"btnNext_cit", 120, 6},
                {"btnPrev_cit", 124, 6}});
  }

  void media_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("owner_type");
    QTest::addColumn<int>("recptr");
    QTest::addColumn<int>("mm_type");
    QTest::addColumn<bool>("path");
    QTest::addColumn<QStringList>("flag_labels");  // default, slide show, scrapbook, flip, rotate
    QTest::addColumn<int>("code");
    QTest::newRow("0x7F, citation")
        << 0x7f << 132 << 1 << int{'P'} << true << QStringList{"1", "1", "1", "3", "3"} << 6;
    QTest::newRow("0x80, other owner")
        << 0x80 << 0 << 9 << 0 << false << QStringList{"0", "0", "0", "0", "0"} << -45;
    QTest::newRow("citation 0") << 0x19 << 132 << 0 << int{'S'} << false
                                << QStringList{"1", "0", "0", "3", "0"} << 6;
    QTest::newRow("owner 200, number 0")
        << 0x42 << 200 << 0 << 0 << false << QStringList{"0", "1", "0", "0", "2"} << -45;
  }
  void media() {
    QFETCH(int, flags);
    QFETCH(int, owner_type);
    QFETCH(int, recptr);
    QFETCH(int, mm_type);
    QFETCH(bool, path);
    QFETCH(QStringList, flag_labels);
    QFETCH(int, code);
    tevwriter::TevFile file(1);
    const int32_t path_at =
        path ? file.AppendNameRec(0, 0, 0, 2, "C:\\TEV5\\Media\\church.jpg") : 0;
    Bytes r =
        RecordWith(62, {{0, recptr}, {4, 2}, {8, 0}, {12, path_at}, {16, 5}, {20, -6}, {24, 0}});
    PutU8(r, 28, static_cast<uint8_t>(mm_type));
    PutU8(r, 29, static_cast<uint8_t>(owner_type));
    PutU8(r, 30, static_cast<uint8_t>(flags));
    const uint16_t sizes[] = {0xffff, 0x8000, 1, 2, 3, 0x7fff, 0xffff};  // nWidth ... wSlideTime
    for (size_t i = 0; i < std::size(sizes); ++i) PutU16(r, 31 + 2 * i, sizes[i]);
    file.AppendRecord(kMedia, r);
    file.AppendRecord(kCitations, Bytes(145, 0));
    QVERIFY(h_->Open(file));
    TMedia w(nullptr, h_->host);
    w.ShowRecord(h_->db(), 1);
    QCOMPARE(w.windowTitle(), QString("MultiMedia Record 1"));
    QCOMPARE(w.ui.pathstr->text(), QString(path ? "C:\\TEV5\\Media\\church.jpg" : ""));
    QCOMPARE(w.ui.mm_type->text(), mm_type == 0 ? QString() : QString(QChar(mm_type)));
    QCOMPARE(w.ui.ownerType->text(), QString::number(owner_type));
    const QLabel* shown[] = {w.ui.wDefault, w.ui.wSlideShow, w.ui.wScrapBook, w.ui.wFlip,
                             w.ui.wRotate};
    for (int i = 0; i < 5; ++i) QCOMPARE(shown[i]->text(), flag_labels[i]);
    const QLabel* sized[] = {w.ui.nWidth,    w.ui.nHeight,    w.ui.nClipTop,  w.ui.nClipBottom,
                             w.ui.nClipLeft, w.ui.nClipRight, w.ui.wSlideTime};
    const char* size_texts[] = {"-1", "-32768", "1", "2", "3", "32767", "65535"};
    for (size_t i = 0; i < std::size(sized); ++i)
      QCOMPARE(sized[i]->text(), QString(size_texts[i]));
    QCOMPARE(w.ui.btnRecptr->text(), QString::number(recptr));
    const std::vector<Opened> opened = h_->Click(w, "btnRecptr");
    QCOMPARE(opened, OpenedBy(true, code, recptr));
    if (code == 6) {  // the citation window opened on the owner: record 1 exists, 0 does not
      const std::unique_ptr<TRecordWindow> owner = CreateRecordWindow(6, nullptr, h_->host);
      owner->ShowRecord(h_->db(), recptr);
      QCOMPARE(h_->messages.size(), size_t{recptr == 0 ? 1u : 0u});
    }
    CheckLinks(*h_, w, r.data(),
               {{"btnNext", 4, 11},
                {"btnPrevious", 8, 11},
                {"btnPath", 12, 3},
                {"btnCaption", 16, 4},
                {"btnDesc", 20, 4},
                {"btnAudio", 24, 3}});
  }

  void userEvents_data() {
    QTest::addColumn<int>("owner_type");
    QTest::addColumn<int>("owner");
    QTest::addColumn<int>("confidential");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("labels");  // OwnerType, Confidential, EventFlags
    QTest::addColumn<int>("code");            // -100: nothing opened
    QTest::newRow("M") << int{'M'} << 5 << 0xff << 0 << QStringList{"77", "-1", "0x0"} << 1;
    QTest::newRow("I") << int{'I'} << 6 << 1 << 255 << QStringList{"73", "1", "0xff"} << 0;
    QTest::newRow("i") << int{'i'} << 7 << 0x80 << 0x2a << QStringList{"105", "-128", "0x2a"} << -1;
    QTest::newRow("high byte") << 0xc9 << 8 << 0 << 0x10 << QStringList{"-55", "0", "0x10"} << -1;
    QTest::newRow("no owner") << int{'M'} << 0 << 0 << 1 << QStringList{"77", "0", "0x1"} << -100;
  }
  void userEvents() {
    QFETCH(int, owner_type);
    QFETCH(int, owner);
    QFETCH(int, confidential);
    QFETCH(int, flags);
    QFETCH(QStringList, labels);
    QFETCH(int, code);
    Bytes r = RecordWith(
        59, {{0, 3}, {4, 0}, {8, owner}, {12, -4}, {16, 2}, {40, 31}});  // 40: the event's citation
    PutBytes(r, 20, kAbout1901);
    PutU8(r, 44, static_cast<uint8_t>(owner_type));
    PutU8(r, 45, static_cast<uint8_t>(confidential));
    PutU8(r, 46, static_cast<uint8_t>(flags));
    tevwriter::TevFile file(1);
    file.AppendRecord(kUserEvents, r);
    QVERIFY(h_->Open(file));
    TUEvRec w(nullptr, h_->host);
    w.ShowRecord(h_->db(), 1);
    QCOMPARE(w.windowTitle(), QString("User Event -- UERin 1"));
    QCOMPARE(
        (QStringList{w.ui.OwnerType->text(), w.ui.Confidential->text(), w.ui.EventFlags->text()}),
        labels);
    QCOMPARE(w.ui.btnOwner->text(), QString::number(owner));
    QCOMPARE(h_->Click(w, "btnOwner"), OpenedBy(code != -100, code, owner));
    CheckLinks(
        *h_, w, r.data(),
        {{"btnNext", 0, 8}, {"btnPrev", 4, 8}, {"btnDescription", 12, 8}, {"btnEvType", 16, 9}});
    // The event window opens on the embedded event, owned by this window.
    QString event_cit;
    h_->on_modal = [&](QDialog& d) {
      QCOMPARE(d.parentWidget(), &w);
      event_cit = As<TRevent>(d).ui.btnCit->text() + " " + As<TRevent>(d).ui.datestr->text();
    };
    QCOMPARE(w.ui.btnEvent->text(), QString("btnEvent"));
    QVERIFY(h_->Click(w, "btnEvent").empty());
    QCOMPARE(event_cit, QString("31 Abt 1 Jan 1901"));
    QVERIFY(h_->messages.empty());
  }

  void eventTypes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("parent");
    QTest::addColumn<int>("code");  // -100: nothing opened
    QTest::addColumn<bool>("bang");
    QTest::newRow("M") << int{'M'} << 4 << 1 << false;
    QTest::newRow("I") << int{'I'} << 4 << 0 << false;
    QTest::newRow("other type") << int{'X'} << 4 << -100 << true;
    QTest::newRow("parent 0") << 0 << 0 << -100 << false;
  }
  void eventTypes() {
    QFETCH(int, type);
    QFETCH(int, parent);
    QFETCH(int, code);
    QFETCH(bool, bang);
    tevwriter::TevFile file(1);
    Bytes r = RecordWith(
        143, {{0, file.AppendNameRec(0, 0, 0, 2, "Emigration")}, {4, 2}, {8, 0}, {12, parent}});
    QStringList sentences;
    for (size_t i = 0; i < 12; ++i) {
      const std::string text = i == 5 ? "" : "[He] emigrated " + std::to_string(i);
      tevwriter::PutI32(r, 16 + 4 * i, text.empty() ? 0 : file.AppendNameRec(0, 0, 0, 2, text));
      sentences << QString::fromStdString(text);
    }
    PutText(r, 64, "Emigrated to Ontario");  // 20 characters, no zero byte
    PutU8(r, 84, static_cast<uint8_t>(type));
    PutText(r, 85, "EMIGRATED");
    PutText(r, 94, "_EMIGRA");
    PutBytes(r, 101, {0xff, 0x80, 0xff, 200, 0xfe, 129});
    file.AppendRecord(kEventTypes, r);
    QVERIFY(h_->Open(file));
    TUEType w(nullptr, h_->host);
    w.ShowRecord(h_->db(), 1);
    QCOMPARE(w.windowTitle(), QString("User Event Type -- UET 1"));
    QCOMPARE(w.ui.titlestr->text(), QString("Emigration"));
    const QLabel* texts[] = {w.ui.s_m, w.ui.s_d_m, w.ui.s_p_m, w.ui.s_dp_m,
                             w.ui.s_f, w.ui.s_d_f, w.ui.s_p_f, w.ui.s_dp_f,
                             w.ui.s_u, w.ui.s_d_u, w.ui.s_p_u, w.ui.s_dp_u};
    for (int i = 0; i < 12; ++i) QCOMPARE(texts[i]->text(), sentences[i]);
    const QStringList values = {"Emigrated to Ontario",
                                type == 0 ? "" : QString(QChar(type)),
                                "EMIGRATED",
                                "_EMIGRA",
                                "-1",
                                "-128",
                                "255",
                                "200",
                                "-2",
                                "129"};
    const QLabel* shown[] = {w.ui.short_title, w.ui.type,           w.ui.abbr,      w.ui.ged_tag,
                             w.ui.date_type,   w.ui.user_descr,     w.ui.permanent, w.ui.hasPlace,
                             w.ui.isLds,       w.ui.useConfidential};
    for (int i = 0; i < 10; ++i) QCOMPARE(shown[i]->text(), values[i]);
    QCOMPARE(w.ui.btnParentPtr->text(), QString::number(parent));
    QCOMPARE(h_->Click(w, "btnParentPtr"), OpenedBy(code != -100, code, parent));
    QCOMPARE(h_->messages, bang ? std::vector<Message>{Message("default in parentClick", "Bang!")}
                                : std::vector<Message>{});
    std::vector<LinkRow> links = {{"btnTitle", 0, 3}, {"btnLessPtr", 4, 9}, {"btnGrtrPtr", 8, 9}};
    const char* sentence_buttons[] = {"btnSen_m", "btnSen_d_m", "btnSen_p_m", "btnSen_dp_m",
                                      "btnSen_f", "btnSen_d_f", "btnSen_p_f", "btnSen_dp_f",
                                      "btnSen_u", "btnSen_d_u", "btnSen_p_u", "btnSen_dp_u"};
    for (size_t i = 0; i < 12; ++i) links.push_back({sentence_buttons[i], 16 + 4 * i, 3});
    CheckLinks(*h_, w, r.data(), links);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  RecordWindows2Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "RecordWindows2Test.moc"
