// SPDX-License-Identifier: GPL-3.0-or-later
// The trace file: numbered trace points of long operations, one line each,
// so the file shows how far a run got before it stopped.
//
// The file is tev5x.txt in a per-user folder: $XDG_STATE_HOME/kinscope/
// when that variable holds an absolute path, else ~/.local/state/kinscope/;
// missing folders are created with mode 0700. It is opened by the first
// WriteTrace of a program run (a new file of the user's replaces whatever
// stood at its name, a link included, so an existing file is emptied), every
// line goes to the file at once, and the program never closes it.
#pragma once

#include <string>

namespace kinscope {

// Writes "TAG: POINT. TEXT" and a line break, and flushes. When the file
// cannot be created the line is dropped and the next call tries again.
void WriteTrace(const char* tag, int point, const char* text);

// Writes `text` (lines of other shapes) into the trace file at once, as the
// lines go; nothing when no trace line could be written yet.
void WriteTraceText(const std::string& text);

// Whether the trace file is open (a line could be written).
bool TraceIsOpen();

// Where the trace file goes; empty when no folder can be found for it.
std::string TracePath();

// Closes the trace file so that the next WriteTrace opens it afresh. The
// program never calls it; tests do, to run the first-use steps again.
void CloseTraceForTesting();

}  // namespace kinscope
