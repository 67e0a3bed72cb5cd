#include "RecordWindowTable.h"

#include <array>

#include "INamRec.h"
#include "IndivIX.h"
#include "NameRec.h"
#include "RecordTypes.h"

namespace kinscope {
namespace {

using Factory = TRecordWindow* (*)(QWidget* owner, TRecordHost& host);

template <typename Window>
TRecordWindow* Make(QWidget* owner, TRecordHost& host) {
  return new Window(owner, host);
}

// Indexed by record-type code; an empty entry has no window. Source (7) and
// Contact (10) have none.
std::array<Factory, 13> Windows() {
  std::array<Factory, 13> windows{};
  windows[kNameCode] = &Make<TName>;
  windows[kIndivNameCode] = &Make<TIName>;
  windows[kIndivIndexCode] = &Make<TIndivIXForm>;
  return windows;
}

const std::array<Factory, 13> kWindows = Windows();

}  // namespace

TRecordWindow* CreateRecordWindow(int32_t code, QWidget* owner, TRecordHost& host) {
  if (code < 0 || static_cast<size_t>(code) >= kWindows.size()) return nullptr;
  const Factory make = kWindows[static_cast<size_t>(code)];
  return make != nullptr ? make(owner, host) : nullptr;
}

}  // namespace kinscope
