#include "RecordWindowTable.h"

#include <array>

namespace kinscope {
namespace {

using Factory = TRecordWindow* (*)(QWidget* owner, TRecordHost& host);

// Indexed by record-type code; an empty entry has no window. Source (7) and
// Contact (10) have none.
constexpr std::array<Factory, 13> kWindows = {};

}  // namespace

TRecordWindow* CreateRecordWindow(int32_t code, QWidget* owner, TRecordHost& host) {
  if (code < 0 || static_cast<size_t>(code) >= kWindows.size()) return nullptr;
  const Factory make = kWindows[static_cast<size_t>(code)];
  return make != nullptr ? make(owner, host) : nullptr;
}

}  // namespace kinscope
