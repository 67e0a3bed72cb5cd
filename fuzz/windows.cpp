// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the record window of a record-type code filled from input
// bytes, and every button of it clicked once, the main window answering
// nothing (it only notes what it is asked to open) and every message box and
// modal window answered at once. Runs on the offscreen platform.
#include <QApplication>
#include <QPushButton>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "RecordTables.h"
#include "RecordTypes.h"
#include "RecordWindowTable.h"
#include "WindowHarness.h"

using namespace kinscope;

namespace {

struct CodeTable {
  int32_t code;
  const TableSpec* table;  // none for records addressed by file offset
};

constexpr CodeTable kCodes[] = {{kIndividualCode, &kIndividTable},
                                {kMarriageCode, &kMarrTable},
                                {kFamilyCode, &kFamLinkTable},
                                {kNameCode, nullptr},
                                {kNoteCode, &kNoteTable},
                                {kIndivNameCode, nullptr},
                                {kCitationCode, &kCitTable},
                                {kSourceCode, nullptr},
                                {kUserDefinedCode, &kUserEvTable},
                                {kUDEventTypeCode, &kUserEvTypeTable},
                                {kContactCode, nullptr},
                                {kMediaCode, &kMediaTable},
                                {kIndivIndexCode, &kIndexNodeTable},
                                {-1, nullptr},
                                {kPrimMarrCode, nullptr}};

void StartQt() {
  static QApplication* app = nullptr;  // kept for the whole run
  if (app != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_QPA_PLATFORMTHEME", "", 1);
  static int argc = 1;
  static char name[] = "fuzz_windows";
  static char* argv[] = {name, nullptr};
  app = new QApplication(argc, argv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartQt();
  fuzz::Input in(data, size);
  const CodeTable& pick = kCodes[in.U8() % (sizeof kCodes / sizeof kCodes[0])];
  tevwriter::TevFile f(1);
  // Two records of the code's table, then name records of both kinds and
  // raw bytes in the name pages, for the links to point at.
  if (pick.table != nullptr) {
    for (int n = 0; n < 2; ++n) {
      std::vector<uint8_t> record = in.Bytes(static_cast<size_t>(pick.table->size));
      record.resize(static_cast<size_t>(pick.table->size));
      f.AppendRecord(pick.table->table, record);
    }
  }
  std::vector<int32_t> offsets;
  offsets.push_back(
      f.AppendNameRec(in.I32(), in.I32(), in.I32(), static_cast<int8_t>(in.U8()), in.Text(64)));
  offsets.push_back(f.AppendINameRec(in.I32(), in.I32(), in.I32(), in.U8(), in.Text(64)));
  std::vector<uint8_t> raw = in.Bytes(300);
  if (!raw.empty()) offsets.push_back(f.AppendRaw(raw));
  const int32_t number =
      pick.table != nullptr ? 1 + in.U8() % 3 : offsets[in.U8() % offsets.size()];

  WindowHarness h;
  if (!h.Open(f)) fuzz::Fail("a sound file does not open");
  std::unique_ptr<TRecordWindow> window = CreateRecordWindow(pick.code, nullptr, h.host);
  if (!window) return 0;
  window->Open(h.db(), number);
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->click();
  return 0;
}
