#include "TraceFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kinscope {
namespace {

std::FILE* g_trace = nullptr;

// Creates `path` and its missing parents with mode 0700; true when it is a
// folder afterwards.
bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string TraceFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/kinscope";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* user = ::getpwuid(::getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return std::string();
  return std::string(home) + "/.local/state/kinscope";
}

bool OpenTrace() {
  if (g_trace != nullptr) return true;
  const std::string folder = TraceFolder();
  if (folder.empty() || !MakeFolders(folder)) return false;
  const std::string path = folder + "/tev5x.txt";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  g_trace = ::fdopen(fd, "w");
  if (g_trace == nullptr) ::close(fd);
  return g_trace != nullptr;
}

}  // namespace

void WriteTrace(const char* tag, int point, const char* text) {
  if (!OpenTrace()) return;
  std::fprintf(g_trace, "%s: %d. %s\n", tag, point, text);
  std::fflush(g_trace);
}

std::FILE* TraceStream() { return g_trace; }

std::string TracePath() {
  const std::string folder = TraceFolder();
  return folder.empty() ? folder : folder + "/tev5x.txt";
}

void CloseTraceForTesting() {
  if (g_trace != nullptr) std::fclose(g_trace);
  g_trace = nullptr;
}

}  // namespace kinscope
