#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/system.h"

namespace tavrin {
namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = true;
  return TRUE;
}

HANDLE HandleOf(StandardStream stream) {
  switch (stream) {
    case StandardStream::kInput:
      return GetStdHandle(STD_INPUT_HANDLE);
    case StandardStream::kOutput:
      return GetStdHandle(STD_OUTPUT_HANDLE);
    case StandardStream::kError:
      break;
  }
  return GetStdHandle(STD_ERROR_HANDLE);
}

}  // namespace

void PrepareConsole() {
  SetConsoleOutputCP(CP_UTF8);
  // The bytes printed are those of Linux: a dump of texts with CR LF inside must not gain a CR
  // before every LF on its way into a file.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A failed write is reported by the program; no dialog box may stop a batch run.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(PathText(std::filesystem::path(wide[i])));
  LocalFree(wide);
  return arguments;
}

bool IsConsole(StandardStream stream) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

void CatchInterrupt() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool InterruptRequested() { return g_interrupted; }

void ClearInterruptRequest() { g_interrupted = false; }

void ClearConsoleLine() {
  std::fflush(stderr);
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return;
  COORD start{0, info.dwCursorPosition.Y};
  DWORD written = 0;
  FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(info.dwSize.X), start, &written);
  SetConsoleCursorPosition(console, start);
}

}  // namespace tavrin
