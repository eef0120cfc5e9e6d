#include "platform/console.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace tavrin {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void PrepareConsole() { std::signal(SIGXFSZ, SIG_IGN); }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool IsConsole(StandardStream stream) {
  switch (stream) {
    case StandardStream::kInput:
      return isatty(STDIN_FILENO) != 0;
    case StandardStream::kOutput:
      return isatty(STDOUT_FILENO) != 0;
    case StandardStream::kError:
      break;
  }
  return isatty(STDERR_FILENO) != 0;
}

void CatchInterrupt() { std::signal(SIGINT, OnInterrupt); }

bool InterruptRequested() { return g_interrupted != 0; }

void ClearInterruptRequest() { g_interrupted = 0; }

void ClearConsoleLine() {
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace tavrin
