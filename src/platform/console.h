#pragma once

#include <string>
#include <vector>

namespace tavrin {

// The console of the command-line program.

// Prepares the process: on Windows the console shows the UTF-8 the program prints; on Linux a
// file size limit (a full quota) fails the write, which is reported, instead of killing it.
void PrepareConsole();

// The program's arguments as UTF-8. On Windows they are taken from the wide command line, so a
// file name with letters outside the ANSI code page arrives whole.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

enum class StandardStream { kInput, kOutput, kError };
// Whether the stream is a console (a terminal), not a file or a pipe.
bool IsConsole(StandardStream stream);

// From now on Ctrl+C only sets a flag, which the program polls.
void CatchInterrupt();
bool InterruptRequested();
void ClearInterruptRequest();

// Blanks the current line of the console on standard error and returns to its start.
void ClearConsoleLine();

}  // namespace tavrin
