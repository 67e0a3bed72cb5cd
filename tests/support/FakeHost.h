// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for the main window in window tests: holds the database and
// records the record windows it is asked to open.
#pragma once

#include <utility>
#include <vector>

#include "RecordWindow.h"

class FakeHost : public kinscope::TRecordHost {
 public:
  using Opened = std::pair<int32_t, int32_t>;  // record-type code, number
  void OpenRecordWindow(int32_t code, int32_t number) override {
    opened.emplace_back(code, number);
  }
  kinscope::CTEVDatabase* Database() const override { return db; }
  std::vector<Opened> opened;
  kinscope::CTEVDatabase* db = nullptr;
};
