// SPDX-License-Identifier: GPL-3.0-or-later
// The date, event and ordinance windows: what they show of the bytes they
// are given, where their buttons lead, and how they carry on after a date of
// an invalid type.
#include <QApplication>
#include <QtTest>
#include <array>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "Coding.h"
#include "OeventRec.h"
#include "ReventRec.h"
#include "WindowHarness.h"
#include "rdateRec.h"

using namespace kinscope;

namespace {

constexpr std::array<uint8_t, 12> kAbout1901 = {2, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};

std::array<uint8_t, 24> Event(const std::array<uint8_t, 12>& date, int32_t place, int32_t age,
                              int32_t cit) {
  std::array<uint8_t, 24> e{};
  std::copy(date.begin(), date.end(), e.begin());
  EncodeI32(e.data(), 12, place);
  EncodeI32(e.data(), 16, age);
  EncodeI32(e.data(), 20, cit);
  return e;
}

std::array<uint8_t, 21> Ordinance(const std::array<uint8_t, 12>& date, int32_t place, int32_t cit,
                                  uint8_t temple) {
  std::array<uint8_t, 21> o{};
  std::copy(date.begin(), date.end(), o.begin());
  EncodeI32(o.data(), 12, place);
  EncodeI32(o.data(), 16, cit);
  o[20] = temple;
  return o;
}

}  // namespace

class EventWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowHarness> h_;
  std::vector<QString> date_windows_;  // HexValue of each date window run
  int32_t place_ = 0;

 private slots:
  void init() {
    h_ = std::make_unique<WindowHarness>();
    date_windows_.clear();
    h_->on_modal = [this](QDialog& window) {
      auto* date = qobject_cast<TDateForm*>(&window);
      QVERIFY2(date != nullptr, "only date windows open from here");
      QVERIFY(window.parentWidget() != nullptr);
      date_windows_.push_back(date->ui.HexValue->text());
    };
    tevwriter::TevFile file(1);
    place_ = file.AppendNameRec(0, 0, 0, 0, "Keynsham, Somerset, England");
    QVERIFY(h_->Open(file));
  }
  void cleanup() { h_.reset(); }

  void dateWindowShowsTheRawDate() {
    TDateForm w(nullptr);
    QCOMPARE(w.windowTitle(), QString("Date"));
    w.ShowDate(kAbout1901.data());
    QCOMPARE(w.ui.HexValue->text(), QString(" 02 01 00 00 1a db 24 00 00 00 00 00"));
    const std::pair<QLabel*, const char*> values[] = {
        {w.ui.DRDstring, "2"}, {w.ui.DateType1Str, "0"}, {w.ui.DateType2Str, "0"},
        {w.ui.Offset1, "0"},   {w.ui.Offset2, "0"},      {w.ui.daystr, "1"},
        {w.ui.day2str, "0"}};
    for (const auto& [label, text] : values) QCOMPARE(label->text(), QString(text));
    QVERIFY(h_->messages.empty());
  }

  void dateWindowOnAnInvalidType() {
    TDateForm w(nullptr);
    const std::array<uint8_t, 12> bad = {0xd7, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};
    w.ShowDate(bad.data());
    QCOMPARE(h_->messages, std::vector<Message>{Message("Unknown date type", "Error")});
    QCOMPARE(w.ui.HexValue->text(), QString(" d7 01 00 00 1a db 24 00 00 00 00 00"));
    QCOMPARE(w.ui.DRDstring->text(), QString("7"));
    QCOMPARE(w.ui.DateType1Str->text(), QString("1"));
    QCOMPARE(w.ui.DateType2Str->text(), QString("3"));
    QCOMPARE(w.ui.daystr->text(), QString("0"));
  }

  void emptyEvent() {
    TRevent w(nullptr, h_->host);
    QCOMPARE(w.windowTitle(), QString("Revent"));
    const std::array<uint8_t, 24> zeros{};
    w.ShowEvent(zeros.data());
    QCOMPARE(w.ui.btnEdate->text(), QString("0"));
    QCOMPARE(w.ui.datestr->text(), QString());
    QCOMPARE(w.ui.btnPlace->text(), QString("0"));
    QCOMPARE(w.ui.placestr->text(), QString());
    QCOMPARE(w.ui.Age_at->text(), QString("0"));
    QCOMPARE(w.ui.btnCit->text(), QString("0"));
    w.ui.btnPlace->click();
    w.ui.btnCit->click();
    QVERIFY(h_->host.opened.empty());
    w.ui.btnEdate->click();  // always opens, on the 12 zero bytes
    QCOMPARE(date_windows_, std::vector<QString>{QString(" 00").repeated(12)});
    QVERIFY(h_->messages.empty());
  }

  void eventWithDatePlaceAgeAndCitation() {
    TRevent w(nullptr, h_->host);
    std::array<uint8_t, 24> event = Event(kAbout1901, place_, -3, 5);
    w.ShowEvent(event.data());
    event.fill(0xff);  // the window works on its own copy
    QCOMPARE(w.windowTitle(), QString("Revent"));
    QCOMPARE(w.ui.btnEdate->text(), QString("284"));
    QCOMPARE(w.ui.datestr->text(), QString("Abt 1 Jan 1901"));
    QCOMPARE(w.ui.btnPlace->text(), QString::number(place_));
    QCOMPARE(w.ui.placestr->text(), QString("Keynsham, Somerset, England"));
    QCOMPARE(w.ui.Age_at->text(), QString("-3"));
    QCOMPARE(w.ui.btnCit->text(), QString("5"));
    w.ui.btnPlace->click();
    w.ui.btnCit->click();
    QCOMPARE(h_->host.opened, (std::vector<Opened>{{3, place_}, {6, 5}}));
    w.ui.btnEdate->click();
    QCOMPARE(date_windows_, std::vector<QString>{" 02 01 00 00 1a db 24 00 00 00 00 00"});
  }

  void placesThatCannotBeRead() {
    for (int32_t place : {-1, 0x7ffffff0, INT32_MIN}) {
      TRevent e(nullptr, h_->host);
      e.ShowEvent(Event({}, place, 0, 0).data());
      QCOMPARE(e.ui.placestr->text(), QString());
      TOevent o(nullptr, h_->host);
      o.ShowOrdinance(Ordinance({}, place, 0, 1).data());
      QCOMPARE(o.ui.templeName->text(), QString());
    }
    QVERIFY(h_->messages.empty());
  }

  void invalidDateTypeLeavesTheWindowUsable_data() {
    QTest::addColumn<bool>("ordinance");
    QTest::newRow("event") << false;
    QTest::newRow("ordinance") << true;
  }
  void invalidDateTypeLeavesTheWindowUsable() {
    QFETCH(bool, ordinance);
    const std::array<uint8_t, 12> bad = {9, 1, 0, 0, 26, 219, 36, 0, 0, 0, 0, 0};
    std::unique_ptr<QDialog> w;
    QPushButton* date_button = nullptr;
    QLabel* date_text = nullptr;
    if (ordinance) {
      auto o = std::make_unique<TOevent>(nullptr, h_->host);
      o->ShowOrdinance(Ordinance(bad, place_, 8, 0).data());
      date_button = o->ui.btnOdate;
      date_text = o->ui.DateStr;
      QCOMPARE(o->ui.templeName->text(), QString("Keynsham, Somerset, England"));
      o->ui.btnCit->click();
      w = std::move(o);
    } else {
      auto e = std::make_unique<TRevent>(nullptr, h_->host);
      e->ShowEvent(Event(bad, place_, 0, 8).data());
      date_button = e->ui.btnEdate;
      date_text = e->ui.datestr;
      QCOMPARE(e->ui.placestr->text(), QString("Keynsham, Somerset, England"));
      e->ui.btnCit->click();
      w = std::move(e);
    }
    QCOMPARE(h_->messages, std::vector<Message>{Message("Unknown date type", "Error")});
    QCOMPARE(date_text->text(), QString());
    QCOMPARE(date_button->text(), QString("291"));
    QCOMPARE(h_->host.opened, std::vector<Opened>{Opened(6, 8)});
    date_button->click();  // the date window opens and reports the type again
    QCOMPARE(date_windows_.size(), size_t{1});
    QCOMPARE(h_->messages.size(), size_t{2});
  }

  void ordinanceFields() {
    TOevent w(nullptr, h_->host);
    QCOMPARE(w.windowTitle(), QString("Oevent"));
    const std::array<uint8_t, 21> zeros{};
    w.ShowOrdinance(zeros.data());
    const std::pair<QAbstractButton*, const char*> buttons[] = {
        {w.ui.btnOdate, "0"}, {w.ui.btnPlace, "0"}, {w.ui.btnCit, "0"}};
    for (const auto& [button, text] : buttons) QCOMPARE(button->text(), QString(text));
    QCOMPARE(w.ui.DateStr->text(), QString());
    QCOMPARE(w.ui.templeName->text(), QString());
    QCOMPARE(w.ui.isTemple->text(), QString("0"));
    w.ui.btnPlace->click();
    w.ui.btnCit->click();
    QVERIFY(h_->messages.empty());
    QVERIFY(h_->host.opened.empty());
    w.ui.btnOdate->click();
    QCOMPARE(date_windows_.size(), size_t{1});
  }

  void ordinancePlaceIsNotOpened() {
    for (uint8_t temple : {uint8_t{0}, uint8_t{1}, uint8_t{200}}) {
      h_->messages.clear();
      TOevent w(nullptr, h_->host);
      w.ShowOrdinance(Ordinance(kAbout1901, place_, 0, temple).data());
      QCOMPARE(w.ui.templeName->text(), QString("Keynsham, Somerset, England"));
      QCOMPARE(w.ui.isTemple->text(), QString::number(temple));
      QCOMPARE(w.ui.DateStr->text(), QString("Abt 1 Jan 1901"));
      w.ui.btnPlace->click();
      QCOMPARE(h_->messages, std::vector<Message>{Message("TO DO", "place")});
      QVERIFY(h_->host.opened.empty());
    }
  }

  // The events and ordinances of the sample database's first individual.
  void sampleIndividualsEvents() {
    QVERIFY(h_->OpenSample());
    CTEVDatabase& db = *h_->db();
    IndividImage person{};
    QCOMPARE(db.LoadIndivid(person, 1), 1);
    TRevent birth(nullptr, h_->host);
    birth.ShowEvent(person.data() + individ::kBirth);
    QVERIFY(!birth.ui.datestr->text().isEmpty());
    QVERIFY(!birth.ui.placestr->text().isEmpty());
    for (size_t at : {individ::kBaptism, individ::kEndow}) {
      TOevent ordinance(nullptr, h_->host);
      ordinance.ShowOrdinance(person.data() + at);
    }
    QVERIFY(h_->messages.empty());
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  EventWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "EventWindowsTest.moc"
