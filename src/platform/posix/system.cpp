#include "platform/system.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/exceptions.h"

namespace tavrin {

namespace fs = std::filesystem;

std::string ApPath() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string LastSystemErrorText() { return std::strerror(errno); }

std::string UserName() {
  if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr)
    return pw->pw_name;
  if (const char* user = std::getenv("USER"); user != nullptr) return user;
  return "";
}

fs::path CreateTempFile(const std::string& prefix) {
  std::error_code ec;
  fs::path dir = fs::temp_directory_path(ec);
  if (ec) dir = "/tmp";
  std::string pattern = (dir / (prefix + "XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  int fd = mkstemp(buffer.data());
  if (fd < 0) throw EFCreateError(pattern);
  close(fd);
  return fs::path(buffer.data());
}

fs::path FilePath(std::string_view path) { return fs::path(std::string(path)); }

std::string PathText(const fs::path& path) { return path.string(); }

bool CanWrite(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

std::string LogFallbackFolder() {
  fs::path state;
  std::error_code ec;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') {
    state = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    state = fs::path(home) / ".local" / "state";
  } else {
    state = fs::temp_directory_path(ec);
  }
  fs::path folder = state / "tavrin";
  fs::create_directories(folder, ec);
  return folder.string();
}

}  // namespace tavrin
