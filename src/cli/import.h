#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tavrin {

struct ImportArgs {
  std::string format;
  std::vector<std::string> inputs;
  std::string output;
  std::string kind;
  std::string markup = "auto";
  std::string split_at;
  std::string charset = "western";
  std::string name;
};

// Adds `import FORMAT INPUT... -o OUTPUT [options]` to the command line.
CLI::App* AddImportCommand(CLI::App& app, ImportArgs& args);

// Writes the marked text; returns the exit status (0 written, 1 not written).
int RunImportCommand(const ImportArgs& args);

}  // namespace tavrin
