// SPDX-License-Identifier: GPL-3.0-or-later
#include "Console.h"

#include <unistd.h>

namespace kinscope::dump {

// POSIX consoles take bytes as they are, and the arguments arrive as bytes.
std::vector<std::string> PrepareConsole(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }
bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }

}  // namespace kinscope::dump
