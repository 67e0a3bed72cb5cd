// SPDX-License-Identifier: GPL-3.0-or-later
#include "Console.h"

namespace kinscope::dump {

// POSIX consoles take bytes as they are, and the arguments arrive as bytes.
std::vector<std::string> PrepareConsole(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace kinscope::dump
