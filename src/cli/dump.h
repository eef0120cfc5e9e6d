#pragma once

#include <string>

namespace tavrin {

struct DumpArgs {
  std::string file;
  bool raw = false;     // texts as stored bytes
  bool json = false;    // one JSON document
  bool source = false;  // marked text that builds the same entries
};

// Prints a module file; returns the exit status (0, or 1 when the file cannot be read).
int RunDump(const DumpArgs& args);

}  // namespace tavrin
