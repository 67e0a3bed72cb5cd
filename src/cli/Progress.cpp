// SPDX-License-Identifier: GPL-3.0-or-later
#include "Progress.h"

#include <algorithm>
#include <ostream>
#include <utility>

#include "Console.h"

namespace kinscope::dump {

Progress::Progress(std::ostream& out, std::string what) : out_(&out), what_(std::move(what)) {}

Progress::~Progress() { End(); }

void Progress::Update(int64_t done, int64_t total) {
  if (out_ == nullptr || total <= 0) return;
  const int percent = static_cast<int>(std::clamp<int64_t>(done, 0, total) * 100 / total);
  if (percent == percent_) return;
  percent_ = percent;
  const std::string line = "kinscope-dump: " + what_ + ", " + std::to_string(percent) + "%";
  // Blanks over the rest of a longer line drawn before.
  const size_t blanks = width_ > line.size() ? width_ - line.size() : 0;
  *out_ << '\r' << line << std::string(blanks, ' ') << std::flush;
  width_ = std::max(width_, line.size());
}

void Progress::End() {
  if (out_ == nullptr || width_ == 0) return;
  *out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  width_ = 0;
  percent_ = -1;
}

bool ShowsProgress(bool no_progress, bool streams) {
  return !no_progress && StderrIsTerminal() && !(streams && StdoutIsTerminal());
}

}  // namespace kinscope::dump
