// SPDX-License-Identifier: GPL-3.0-or-later
// The progress line of the long commands (check, gedcom, index and the
// commands to come that walk a whole file): "kinscope-dump: checking, 42%"
// on standard error, the percent of records or index nodes done, redrawn in
// place when it changes and wiped when the work ends. It is drawn only on a
// terminal and only when the user has not given --no-progress; otherwise
// nothing at all is written, so pipes, files and JSON output stay as they
// are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace kinscope::dump {

class Progress {
 public:
  // Silent: draws nothing.
  Progress() = default;
  // Draws the line of `what` ("checking") on `out`.
  Progress(std::ostream& out, std::string what);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // `done` of `total` records or nodes: redraws the line when the whole
  // percent changes (at most 101 times for a piece of work, however
  // large). Nothing is drawn while `total` is 0 or less.
  void Update(int64_t done, int64_t total);
  // Wipes the line, if one is drawn. The next Update draws afresh.
  void End();

 private:
  std::ostream* out_ = nullptr;
  std::string what_;
  int percent_ = -1;  // the percent drawn, -1 for none
  size_t width_ = 0;  // the width of the line drawn
};

// Whether a command shows its progress: standard error is a terminal and
// --no-progress was not given. A command whose output streams to standard
// output while it works (`streams` set) shows none when that output goes to
// the terminal as well: its rows are the progress there, and a line redrawn
// between them would garble them.
bool ShowsProgress(bool no_progress, bool streams);

}  // namespace kinscope::dump
