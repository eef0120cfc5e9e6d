#include "platform/replacing_file.h"

#include <windows.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

std::string ErrorText(DWORD error) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 ? std::string(text, n) : "Error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == '.' || message.back() == ' '))
    message.pop_back();
  return message;
}

std::wstring RandomHiddenName() {
  static constexpr std::wstring_view kLetters =
      L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::wstring name = L".tavrin-";
  for (int k = 0; k < 6; ++k) name += kLetters[pick(random)];
  return name;
}

// The attributes a replaced file hands on to its new version; read-only never comes this far.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

struct ReplacingFile::State {
  std::string shown;
  fs::path target;
  fs::path named;  // the hidden temporary file beside the target
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;  // what the file has once in place
  bool committed = false;
  std::int64_t written = 0;

  void Close() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
  }
  void Drop() {
    Close();
    if (!named.empty()) DeleteFileW(named.c_str());
    named.clear();
  }
};

ReplacingFile::ReplacingFile(const std::string& path, const std::string& shown)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.shown = shown;
  if (path.empty()) throw EFCreateError(shown);
  s.target = FilePath(path);
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(s.target, ec))) {
    fs::path resolved = fs::canonical(s.target, ec);
    if (!ec) s.target = resolved;
  }
  const DWORD existing = GetFileAttributesW(s.target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES) {
    // A folder, a device or a read-only module is not replaced.
    if (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY))
      throw EFCreateError(shown);
    s.attributes = existing & kKeptAttributes;
    if (s.attributes == 0) s.attributes = FILE_ATTRIBUTE_NORMAL;
  }
  fs::path folder = s.target.parent_path();
  if (folder.empty()) folder = L".";
  for (int attempt = 0; attempt < 100 && s.file == INVALID_HANDLE_VALUE; ++attempt) {
    s.named = folder / RandomHiddenName();
    s.file = CreateFileW(s.named.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (s.file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (s.file == INVALID_HANDLE_VALUE) {
    s.named.clear();
    throw EFCreateError(shown);
  }
}

ReplacingFile::~ReplacingFile() {
  if (!state_->committed) state_->Drop();
}

void ReplacingFile::Write(std::string_view bytes) {
  State& s = *state_;
  constexpr std::size_t kChunk = std::size_t{1} << 30;  // WriteFile takes 32-bit counts
  while (!bytes.empty()) {
    DWORD n = 0;
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kChunk));
    if (!WriteFile(s.file, bytes.data(), size, &n, nullptr) || n == 0) {
      const DWORD error =
          n == 0 && GetLastError() == ERROR_SUCCESS ? ERROR_WRITE_FAULT : GetLastError();
      throw EInOutError(ErrorText(error) + ": cannot write file", s.shown);
    }
    bytes.remove_prefix(n);
    s.written += n;
  }
}

void ReplacingFile::Sync() {
  State& s = *state_;
  if (!FlushFileBuffers(s.file))
    throw EInOutError(ErrorText(GetLastError()) + ": cannot write file", s.shown);
}

void ReplacingFile::Commit() {
  State& s = *state_;
  s.Close();
  if (!SetFileAttributesW(s.named.c_str(), s.attributes) ||
      !MoveFileExW(s.named.c_str(), s.target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    throw EFCreateError(s.shown);
  s.named.clear();
  s.committed = true;
}

void ReplacingFile::Abandon() { state_->Drop(); }

std::int64_t ReplacingFile::BytesWritten() const { return state_->written; }

}  // namespace tavrin
