// SPDX-License-Identifier: GPL-3.0-or-later
#include "Console.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which shellapi.h builds on.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace kinscope::dump {
namespace {

std::string Utf8(const wchar_t* text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}

// The console's output code page before the program set UTF-8; put back at
// exit, since the console outlives the program.
UINT g_console_code_page = 0;

}  // namespace

std::vector<std::string> PrepareConsole(int argc, char** argv) {
  g_console_code_page = ::GetConsoleOutputCP();
  if (g_console_code_page != 0 && g_console_code_page != CP_UTF8) {
    ::SetConsoleOutputCP(CP_UTF8);
    std::atexit([] {
      std::fflush(stdout);
      ::SetConsoleOutputCP(g_console_code_page);
    });
  }
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return out;
}

// A console handle has a console mode; a file, a pipe or the NUL device,
// which _isatty would also take for a character device, has none.
bool StderrIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
bool StdoutIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace kinscope::dump
