// The trace file: numbered trace points of long operations, one line each,
// so the file shows how far a run got before it stopped.
//
// The file is tev5x.txt in a per-user folder: $XDG_STATE_HOME/kinscope/
// when that variable holds an absolute path, else ~/.local/state/kinscope/;
// missing folders are created with mode 0700. It is opened by the first
// WriteTrace of a program run (created, or emptied when it exists), every
// line is flushed at once, and the program never closes it.
#pragma once

#include <cstdio>
#include <string>

namespace kinscope {

// Writes "TAG: POINT. TEXT" and a line break, and flushes. When the file
// cannot be created the line is dropped and the next call tries again.
void WriteTrace(const char* tag, int point, const char* text);

// The open trace stream for lines of other shapes, or none when no trace
// line could be written yet. Writers flush what they write.
std::FILE* TraceStream();

// Where the trace file goes; empty when no folder can be found for it.
std::string TracePath();

// Closes the trace file so that the next WriteTrace opens it afresh. The
// program never calls it; tests do, to run the first-use steps again.
void CloseTraceForTesting();

}  // namespace kinscope
