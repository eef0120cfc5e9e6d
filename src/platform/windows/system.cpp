#include "platform/system.h"

#include <windows.h>

#include <random>
#include <string>

#include "platform/exceptions.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

std::string FromWide(const wchar_t* text, std::size_t length, UINT code_page) {
  if (length == 0) return "";
  const int n = static_cast<int>(length);
  const char* substitute = code_page == CP_UTF8 ? nullptr : "?";
  std::string out(static_cast<std::size_t>(
                      WideCharToMultiByte(code_page, 0, text, n, nullptr, 0, substitute, nullptr)),
                  '\0');
  WideCharToMultiByte(code_page, 0, text, n, out.data(), static_cast<int>(out.size()), substitute,
                      nullptr);
  return out;
}

std::wstring Environment(const wchar_t* name) {
  std::wstring value(32768, L'\0');
  const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
  value.resize(n < value.size() ? n : 0);
  return value;
}

}  // namespace

std::string ApPath() {
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0) return ".\\";
    if (n < exe.size()) {
      exe.resize(n);
      break;
    }
    exe.resize(exe.size() * 2);
  }
  std::string folder = PathText(fs::path(exe).parent_path());
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  return folder;
}

// In the ANSI code page, as every 8-bit text of the core.
std::string LastSystemErrorText() {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n > 0 ? FromWide(text, n, CP_UTF8) : "Error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == '.' || message.back() == ' '))
    message.pop_back();
  return message;
}

std::string UserName() {
  wchar_t name[257] = {};
  DWORD length = 257;
  if (!GetUserNameW(name, &length) || length == 0) return "";
  return FromWide(name, length - 1, CP_ACP);
}

fs::path CreateTempFile(const std::string& prefix) {
  std::error_code ec;
  fs::path dir = fs::temp_directory_path(ec);
  if (ec) dir = fs::current_path(ec);
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int k = 0; k < 6; ++k) name += kLetters[pick(random)];
    const fs::path path = dir / FilePath(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return path;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw EFCreateError(PathText(dir / FilePath(prefix + "XXXXXX")));
}

// A name that is not UTF-8 comes from 8-bit text (an include line of a header file), which holds
// it in the ANSI code page, as the system's own 8-bit functions would take it.
fs::path FilePath(std::string_view path) {
  if (path.empty()) return fs::path();
  const int n = static_cast<int>(path.size());
  UINT code_page = CP_UTF8;
  int length = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, path.data(), n, nullptr, 0);
  if (length == 0) {
    code_page = CP_ACP;
    length = MultiByteToWideChar(code_page, 0, path.data(), n, nullptr, 0);
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, path.data(), n, wide.data(), length);
  return fs::path(wide);
}

std::string PathText(const fs::path& path) {
  const std::wstring& wide = path.native();
  return FromWide(wide.data(), wide.size(), CP_UTF8);
}

bool CanWrite(const std::string& path) {
  const fs::path native = FilePath(path);
  const DWORD attributes = GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (attributes & FILE_ATTRIBUTE_READONLY) return false;
    HANDLE file = CreateFileW(native.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }
  // A folder's access rights are not told by its attributes: try a file that vanishes at once.
  const fs::path probe = native / L".tavrin-write-probe";
  HANDLE file = CreateFileW(
      probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
  CloseHandle(file);
  return true;
}

std::string LogFallbackFolder() {
  std::error_code ec;
  fs::path base = Environment(L"LOCALAPPDATA");
  if (base.empty()) base = fs::temp_directory_path(ec);
  const fs::path folder = base / L"Tavrin";
  fs::create_directories(folder, ec);
  return PathText(folder);
}

}  // namespace tavrin
