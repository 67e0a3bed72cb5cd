// SPDX-License-Identifier: GPL-3.0-or-later
// The check command: the whole-file check's findings as a document.
#include "Dump.h"
#include "FileCheck.h"
#include "Progress.h"
#include "RecordRegistry.h"

namespace kinscope::dump {

json CheckDocument(const CheckReport& report) {
  json findings = json::array();
  for (const Finding& f : report.findings) {
    json record = nullptr;
    if (const char* type = RecordTypeName(f.code)) {
      record = {{"type", type}, {"code", f.code}, {"number", f.number}};
    }
    const auto or_null = [](int64_t v) { return v < 0 ? json(nullptr) : json(v); };
    findings.push_back({{"severity", SeverityName(f.severity)},
                        {"place", f.place},
                        {"what", f.what},
                        {"record", record},
                        {"region", or_null(f.region)},
                        {"page", or_null(f.page)},
                        {"offset", or_null(f.offset)}});
  }
  return {{"clean", report.findings.empty()},
          {"damage", report.Count(Severity::kDamage)},
          {"unusual", report.Count(Severity::kUnusual)},
          {"summary", CheckSummary(report)},
          {"findings", findings}};
}

Result Check(CTEVDatabase& db, const std::string& path, Progress* progress) {
  CheckProgress told;
  if (progress != nullptr) {
    told = [progress](int done, int total) {
      progress->Update(done, total);
      return true;
    };
  }
  const CheckReport report = CheckDatabase(db, path, told);
  if (progress != nullptr) progress->End();
  return {CheckDocument(report), report.Sound() ? kOk : kProblems, ""};
}

}  // namespace kinscope::dump
