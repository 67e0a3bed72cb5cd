// SPDX-License-Identifier: GPL-3.0-or-later
// The repair command: a damaged file mended onto a copy, one line per mend
// and per cut, then the summary.
#include <algorithm>
#include <csignal>
#include <iostream>

#include "Dump.h"
#include "Progress.h"
#include "Repair.h"

namespace kinscope::dump {
namespace {

volatile std::sig_atomic_t g_repair_interrupted = 0;

extern "C" void OnRepairInterrupt(int) { g_repair_interrupted = 1; }

}  // namespace

json RepairDocument(const RepairReport& report, const std::string& copy) {
  json lines = json::array();
  for (const RepairLine& l : report.lines) {
    lines.push_back({{"action", RepairActionName(l.action)},
                     {"place", l.place},
                     {"was", l.was},
                     {"now", l.now}});
  }
  return {{"copy", copy},
          {"mended", report.Count(RepairLine::kMended)},
          {"cut", report.Count(RepairLine::kCut)},
          {"left", report.Count(RepairLine::kLeft)},
          {"summary", RepairSummary(report)},
          {"lines", lines},
          {"copy_check", CheckDocument(report.after)}};
}

Result Repair(const std::string& path, const std::string& out_path, bool force,
              Progress* progress) {
  Progress silent;
  Progress& line = progress != nullptr ? *progress : silent;
  RepairOptions options;
  options.force = force;
  // The four stages a quarter each of the line.
  options.progress = [&line](const std::string& stage, int64_t done, int64_t total) {
    const int64_t quarter = stage == "checking"  ? 0
                            : stage == "copying" ? 1
                            : stage == "mending" ? 2
                                                 : 3;
    if (total > 0) line.Update(quarter * 1000 + std::min(done, total) * 1000 / total, 4000);
    return g_repair_interrupted == 0;
  };
  const auto previous = std::signal(SIGINT, OnRepairInterrupt);
  const RepairReport report = RepairDatabase(path, out_path, options);
  std::signal(SIGINT, previous);
  line.End();
  if (report.status == kRepairFailed) return {nullptr, kCannotOpen, report.error};
  return {RepairDocument(report, out_path), report.status, ""};
}

}  // namespace kinscope::dump
