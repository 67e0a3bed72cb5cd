// The record window of each record-type code.
#pragma once

#include <QWidget>
#include <cstdint>

#include "RecordWindow.h"

namespace kinscope {

// Creates the window for record-type `code`, owned by `owner`, or returns
// null when the code has no window.
TRecordWindow* CreateRecordWindow(int32_t code, QWidget* owner, TRecordHost& host);

}  // namespace kinscope
