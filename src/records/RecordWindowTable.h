// SPDX-License-Identifier: GPL-3.0-or-later
// The record window of each record-type code.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>

#include "RecordWindow.h"

namespace kinscope {

// Creates the window for record-type `code`, owned by `owner`, or returns
// none when the code's registry row has no window (Source, Contact) or no
// row has the code (every code outside 0 to 12).
std::unique_ptr<TRecordWindow> CreateRecordWindow(int32_t code, QWidget* owner, TRecordHost& host);

}  // namespace kinscope
