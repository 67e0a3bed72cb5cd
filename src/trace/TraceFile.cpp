// SPDX-License-Identifier: GPL-3.0-or-later
#include "TraceFile.h"

#include <cstdio>
#include <cstdlib>

#include "PlatformFile.h"

namespace kinscope {
namespace {

platform::FileHandle g_trace = platform::kNoFile;

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
  return g_trace != platform::kNoFile;
}

}  // namespace

void WriteTrace(const char* tag, int point, const char* text) {
  if (!OpenTrace()) return;
  const int length = std::snprintf(nullptr, 0, "%s: %d. %s\n", tag, point, text);
  if (length <= 0) return;
  std::string line(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(line.data(), line.size(), "%s: %d. %s\n", tag, point, text);
  platform::Append(g_trace, line.data(), static_cast<size_t>(length));
}

void WriteTraceText(const std::string& text) {
  if (g_trace != platform::kNoFile) platform::Append(g_trace, text.data(), text.size());
}

bool TraceIsOpen() { return g_trace != platform::kNoFile; }

std::string TracePath() {
  const std::string folder = TraceFolder();
  return folder.empty() ? folder : folder + "/tev5x.txt";
}

void CloseTraceForTesting() {
  platform::Close(g_trace);
  g_trace = platform::kNoFile;
}

}  // namespace kinscope
