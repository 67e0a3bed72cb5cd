// SPDX-License-Identifier: GPL-3.0-or-later
// The trace file: numbered trace points of long operations, one line each,
// so the file shows how far a run got before it stopped.
//
// The file is tev5x.txt in a per-user folder: $XDG_STATE_HOME/kinscope/
// when that variable holds an absolute path, else ~/.local/state/kinscope/;
// missing folders are created with mode 0700. It is opened by the first
// WriteTrace of a program run (a new file of the user's replaces whatever
// stood at its name, a link included, so an existing file is emptied), and
// the program never closes it.
//
// Lines are gathered in memory and written in blocks: when a second has
// passed since the last block (looked at with every line and every
// TraceTick), when 64 KB are waiting, and at every FlushTrace, which the
// program calls before each message it shows and at the end of each
// operation that traces. A run that is killed loses at most its last
// second of lines.
#pragma once

#include <string>

namespace kinscope {

// Adds "TAG: POINT. TEXT" and a line break. When the file cannot be created
// the line is dropped and the next call tries again.
void WriteTrace(const char* tag, int point, const char* text);

// Adds `text` (lines of other shapes), as the lines go; nothing when no
// trace line could be written yet.
void WriteTraceText(const std::string& text);

// Writes the lines gathered so far when a second has passed since the last
// block: for long stretches of work between lines.
void TraceTick();

// Writes every line gathered so far.
void FlushTrace();

// Whether the trace points met at every node of a walk, and at every member
// of a run, are written: only when the environment variable
// KINSCOPE_TRACE_DETAIL is set and not "0". Callers look once per operation.
bool TraceDetail();

// Whether the trace file is open (a line could be written).
bool TraceIsOpen();

// Where the trace file goes; empty when no folder can be found for it.
std::string TracePath();

// Writes what is gathered and closes the trace file, so that the next
// WriteTrace opens it afresh. The program never calls it; tests do, to run
// the first-use steps again.
void CloseTraceForTesting();

}  // namespace kinscope
