// SPDX-License-Identifier: GPL-3.0-or-later
#include "TraceFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PlatformFile.h"

namespace kinscope {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBlock = size_t{64} << 10;
constexpr auto kAtMost = std::chrono::seconds(1);

platform::FileHandle g_trace = platform::kNoFile;
std::string g_waiting;  // lines not yet written
Clock::time_point g_written;

std::string TraceFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/kinscope";
  const std::string home = platform::HomeFolder();
  return home.empty() ? home : home + "/.local/state/kinscope";
}

// Opens the trace file afresh: whatever stands at its name is removed (a
// link itself, never what it leads to) and a new file of the user's is
// created in its place, so no one can redirect the lines.
bool OpenTrace() {
  if (g_trace != platform::kNoFile) return true;
  const std::string folder = TraceFolder();
  if (folder.empty() || !platform::MakeFolders(folder)) return false;
  const std::string path = folder + "/tev5x.txt";
  if (platform::Exists(path)) platform::RemoveFile(path);
  const platform::FileHandle created = platform::CreateNew(path);
  if (created == platform::kNoFile) return false;
  platform::Close(created);
  g_trace = platform::OpenAppend(path);
  g_written = Clock::now();
  return g_trace != platform::kNoFile;
}

// Writes the waiting lines when a block is full or a second has passed.
void WriteWhenDue() {
  if (g_waiting.size() >= kBlock || Clock::now() - g_written >= kAtMost) FlushTrace();
}

}  // namespace

void WriteTrace(const char* tag, int point, const char* text) {
  if (!OpenTrace()) return;
  char number[16];
  const int length = std::snprintf(number, sizeof number, ": %d. ", point);
  if (length <= 0) return;
  g_waiting.append(tag);
  g_waiting.append(number, static_cast<size_t>(length));
  g_waiting.append(text);
  g_waiting.push_back('\n');
  WriteWhenDue();
}

void WriteTraceText(const std::string& text) {
  if (g_trace == platform::kNoFile) return;
  g_waiting += text;
  WriteWhenDue();
}

void TraceTick() {
  if (!g_waiting.empty()) WriteWhenDue();
}

void FlushTrace() {
  if (g_trace != platform::kNoFile && !g_waiting.empty()) {
    platform::Append(g_trace, g_waiting.data(), g_waiting.size());
  }
  g_waiting.clear();
  g_written = Clock::now();
}

bool TraceDetail() {
  const char* value = std::getenv("KINSCOPE_TRACE_DETAIL");
  return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

bool TraceIsOpen() { return g_trace != platform::kNoFile; }

std::string TracePath() {
  const std::string folder = TraceFolder();
  return folder.empty() ? folder : folder + "/tev5x.txt";
}

void CloseTraceForTesting() {
  FlushTrace();
  platform::Close(g_trace);
  g_trace = platform::kNoFile;
}

}  // namespace kinscope
