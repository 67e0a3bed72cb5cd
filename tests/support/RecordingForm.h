// SPDX-License-Identifier: GPL-3.0-or-later
// A main window that records the record windows it is asked for instead of
// opening them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "Explor1.h"

class RecordingForm : public kinscope::TForm1 {
 public:
  void OpenRecordWindow(int32_t code, int32_t number) override {
    opened.emplace_back(code, number);
  }
  void RealOpenRecordWindow(int32_t code, int32_t number) {
    TForm1::OpenRecordWindow(code, number);
  }
  std::vector<std::pair<int32_t, int32_t>> opened;
};
