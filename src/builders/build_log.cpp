#include "builders/build_log.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tavrin {

std::string LogFilePath(const std::string& program_folder) {
  namespace fs = std::filesystem;
  fs::path in_program = fs::path(program_folder) / "tavrin.log";
  std::error_code ec;
  bool folder_ok = access(program_folder.c_str(), W_OK) == 0;
  bool file_ok = !fs::exists(in_program, ec) || access(in_program.c_str(), W_OK) == 0;
  if (folder_ok && file_ok) return in_program.string();

  fs::path state;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') {
    state = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    state = fs::path(home) / ".local" / "state";
  } else {
    state = fs::temp_directory_path(ec);
  }
  fs::path folder = state / "tavrin";
  fs::create_directories(folder, ec);
  return (folder / "tavrin.log").string();
}

BuildLog::BuildLog(std::string path) : path_(std::move(path)) {
  out_.open(path_, std::ios::binary | std::ios::trunc);
  opened_ = static_cast<bool>(out_);
}

void BuildLog::Line(std::string_view text) {
  lines_.emplace_back(text);
  if (opened_) {
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    out_.write("\r\n", 2);
  }
}

void BuildLog::Close() {
  if (opened_) out_.close();
  opened_ = false;
}

}  // namespace tavrin
