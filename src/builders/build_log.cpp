#include "builders/build_log.h"

#include <filesystem>

#include "platform/system.h"

namespace tavrin {

std::string LogFilePath(const std::string& program_folder) {
  namespace fs = std::filesystem;
  const fs::path in_program = FilePath(program_folder) / "tavrin.log";
  std::error_code ec;
  const bool file_ok = !fs::exists(in_program, ec) || CanWrite(PathText(in_program));
  if (CanWrite(program_folder) && file_ok) return PathText(in_program);
  return PathText(FilePath(LogFallbackFolder()) / "tavrin.log");
}

BuildLog::BuildLog(std::string path) : path_(std::move(path)) {
  out_.open(FilePath(path_), std::ios::binary | std::ios::trunc);
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
