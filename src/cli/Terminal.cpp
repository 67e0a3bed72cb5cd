// SPDX-License-Identifier: GPL-3.0-or-later
// Whether standard error is a terminal: the one call of the command line that
// differs between platforms.
#include "Dump.h"

#ifdef _WIN32
#include <io.h>
#include <cstdio>
#else
#include <unistd.h>
#endif

namespace kinscope::dump {

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace kinscope::dump
