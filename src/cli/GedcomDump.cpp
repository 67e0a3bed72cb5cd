// SPDX-License-Identifier: GPL-3.0-or-later
// The gedcom command: the whole database as a GEDCOM 5.5.1 file, to standard
// output or to a file that appears only when the export is complete.
#include <csignal>
#include <filesystem>
#include <iostream>

#include "Dump.h"
#include "Gedcom.h"
#include "PlatformFile.h"
#include "Progress.h"
#include "TEVDatabase.h"

namespace kinscope::dump {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

int Gedcom(CTEVDatabase& db, const std::string& database, const std::string& out_path,
           const std::string& version, Progress* progress) {
  Progress silent;
  Progress& line = progress != nullptr ? *progress : silent;
  namespace fs = std::filesystem;
  gedcom::Options options;
  options.version = version;
  options.now = platform::UtcSeconds();
  options.file_name =
      fs::path(out_path.empty() ? fs::path(database).stem().string() + ".ged" : out_path)
          .filename()
          .string();
  options.report = [&line](const std::string& place, const std::string& reason) {
    line.End();  // the message on a line of its own; the next step redraws the line
    std::cerr << "kinscope-dump: " << place << ": " << reason << "\n";
  };
  options.progress = [&line](int64_t done, int64_t total) {
    line.Update(done, total);
    return g_interrupted == 0;
  };
  const auto previous = std::signal(SIGINT, OnInterrupt);
  gedcom::Counts counts;
  gedcom::Outcome outcome;
  if (out_path.empty()) {
    outcome = gedcom::Export(db, std::cout, options, counts);
    if (!std::cout.flush()) outcome = gedcom::Outcome::kWriteFailed;
  } else {
    outcome = gedcom::ExportFile(db, out_path, options, counts);
  }
  std::signal(SIGINT, previous);
  line.End();
  if (outcome == gedcom::Outcome::kCancelled) {
    std::cerr << "kinscope-dump: interrupted; nothing was written\n";
    return kCannotOpen;
  }
  if (outcome == gedcom::Outcome::kWriteFailed) {
    std::cerr << "kinscope-dump: cannot write " << (out_path.empty() ? "standard output" : out_path)
              << "\n";
    return kCannotOpen;
  }
  if (counts.left_out > 0) {
    std::cerr << "kinscope-dump: " << counts.left_out << " things left out\n";
    return kProblems;
  }
  return kOk;
}

}  // namespace kinscope::dump
