// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordWindowTable.h"

#include <array>

#include "CitRec.h"
#include "FamLinkRec.h"
#include "INamRec.h"
#include "IndivRec.h"
#include "IndivIX.h"
#include "MarRec.h"
#include "MediaRec.h"
#include "NameRec.h"
#include "NoteRecrd.h"
#include "RecordRegistry.h"
#include "UETypeRec.h"
#include "UserEvRec.h"

namespace kinscope {
namespace {

using Factory = std::unique_ptr<TRecordWindow> (*)(QWidget* owner, TRecordHost& host);

template <typename Window>
std::unique_ptr<TRecordWindow> Make(QWidget* owner, TRecordHost& host) {
  return std::make_unique<Window>(owner, host);
}

// The window class of each record type whose registry row says it has a
// window (RecordRegistry.h).
std::array<Factory, kRecordTypeCount> Windows() {
  std::array<Factory, kRecordTypeCount> windows{};
  windows[kIndividualCode] = &Make<TIndivForm>;
  windows[kMarriageCode] = &Make<TMarRecForm>;
  windows[kFamilyCode] = &Make<TFamilyLink>;
  windows[kNameCode] = &Make<TName>;
  windows[kNoteCode] = &Make<TNoteRec>;
  windows[kIndivNameCode] = &Make<TIName>;
  windows[kCitationCode] = &Make<TCitation>;
  windows[kUserDefinedCode] = &Make<TUEvRec>;
  windows[kUDEventTypeCode] = &Make<TUEType>;
  windows[kMediaCode] = &Make<TMedia>;
  windows[kIndivIndexCode] = &Make<TIndivIXForm>;
  return windows;
}

const std::array<Factory, kRecordTypeCount> kWindows = Windows();

}  // namespace

std::unique_ptr<TRecordWindow> CreateRecordWindow(int32_t code, QWidget* owner, TRecordHost& host) {
  const RecordType* type = RecordTypeOf(code);
  if (type == nullptr || !type->window) return nullptr;
  const Factory make = kWindows[static_cast<size_t>(code)];
  return make != nullptr ? make(owner, host) : nullptr;
}

}  // namespace kinscope
