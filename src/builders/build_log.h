#pragma once

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Where the creation log lives: tavrin.log in the program folder when that folder is writable,
// else tavrin.log in LogFallbackFolder() (on Linux the user's state folder, on Windows
// %LOCALAPPDATA%\Tavrin).
std::string LogFilePath(const std::string& program_folder);

// The creation log of one build: emptied at the start, lines end in CR LF.
class BuildLog {
 public:
  // Creates the file afresh; a log that cannot be created keeps its lines in memory only.
  explicit BuildLog(std::string path);
  void Line(std::string_view text);
  void Close();
  bool Opened() const { return opened_; }
  const std::string& Path() const { return path_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::string path_;
  std::ofstream out_;
  bool opened_ = false;
  std::vector<std::string> lines_;
};

}  // namespace tavrin
