#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "terminal.h"

namespace kelvora::cli {

namespace {

// A console, not merely a character device: _isatty is also true for NUL, where nobody answers.
bool isConsole(DWORD standardHandle) {
  HANDLE handle = GetStdHandle(standardHandle);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool standardInputIsTerminal() { return isConsole(STD_INPUT_HANDLE); }

bool standardErrorIsTerminal() { return isConsole(STD_ERROR_HANDLE); }

void useBinaryStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace kelvora::cli
