// SPDX-License-Identifier: GPL-3.0-or-later
// What the program needs from the console of the system it runs on.
#pragma once

#include <string>
#include <vector>

namespace kinscope::dump {

// Makes standard output carry the program's bytes unchanged (UTF-8 text,
// "\n" line ends) and returns the command-line arguments as UTF-8. On
// Windows: the console's output code page becomes UTF-8, standard output is
// switched to binary mode, and the arguments are taken from the wide command
// line. Elsewhere the arguments are returned as they are and nothing else is
// done.
std::vector<std::string> PrepareConsole(int argc, char** argv);

// Whether standard error, and standard output, is a terminal: on Windows a
// console window (a file, a pipe or NUL is not).
bool StderrIsTerminal();
bool StdoutIsTerminal();

}  // namespace kinscope::dump
