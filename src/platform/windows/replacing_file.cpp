#include "platform/replacing_file.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

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

// A file that cannot be made or put in place; the system's reason where the user can act on it
// (no permission, a write-protected disk, a file another program holds open).
[[noreturn]] void RefuseCreate(const std::string& shown, DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      throw EFCreateError(shown, ErrorText(error));
    default:
      throw EFCreateError(shown);
  }
}

// Marks the open file to be deleted when its handle closes, or no longer.
bool SetDeleteOnClose(HANDLE file, bool delete_on_close) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(delete_on_close)};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) !=
         FALSE;
}

// Renames the open file over `target`, replacing what is there.
bool RenameOver(HANDLE file, const fs::path& target) {
  std::error_code ec;
  const std::wstring to = fs::absolute(target, ec).wstring();
  if (ec) return false;
  // The name follows the structure, terminated (the system reads it as a path).
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (to.size() + 1) * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
  std::copy(to.begin(), to.end(), rename->FileName);
  rename->FileName[to.size()] = L'\0';
  return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

struct ReplacingFile::State {
  std::string shown;
  fs::path target;
  fs::path named;  // the hidden temporary file beside the target
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;  // what the file has once in place
  // The system deletes the file when its handle closes, also when the process dies.
  bool delete_on_close = false;
  bool committed = false;
  std::int64_t written = 0;

  void Close() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
  }
  void Drop() {
    Close();
    if (!named.empty() && !delete_on_close) DeleteFileW(named.c_str());
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
    if (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) throw EFCreateError(shown);
    if (existing & FILE_ATTRIBUTE_READONLY) throw EFCreateError(shown, "the file is read-only");
    s.attributes = existing & kKeptAttributes;
    if (s.attributes == 0) s.attributes = FILE_ATTRIBUTE_NORMAL;
  }
  fs::path folder = s.target.parent_path();
  if (folder.empty()) folder = L".";
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
    s.named = folder / RandomHiddenName();
    s.file = CreateFileW(s.named.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_HIDDEN, nullptr);
    error = s.file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  }
  if (s.file == INVALID_HANDLE_VALUE) {
    s.named.clear();
    RefuseCreate(shown, error);
  }
  // Where the file system cannot, the file is deleted by name unless committed, as before.
  s.delete_on_close = SetDeleteOnClose(s.file, true);
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
      throw EInOutError(Message::kCannotWriteFile, ErrorText(error), s.shown);
    }
    bytes.remove_prefix(n);
    s.written += n;
  }
}

void ReplacingFile::Sync() {
  State& s = *state_;
  if (!FlushFileBuffers(s.file))
    throw EInOutError(Message::kCannotWriteFile, ErrorText(GetLastError()), s.shown);
}

void ReplacingFile::Commit() {
  State& s = *state_;
  FILE_BASIC_INFO basic{};  // times of zero are left as they are
  basic.FileAttributes = s.attributes;
  if (!SetFileInformationByHandle(s.file, FileBasicInfo, &basic, sizeof(basic)))
    RefuseCreate(s.shown, GetLastError());
  // Kept from here on, then renamed through the handle: a rename done first would leave a
  // module in place that the system deletes should the process die before the next call.
  if (s.delete_on_close) {
    if (!SetDeleteOnClose(s.file, false)) RefuseCreate(s.shown, GetLastError());
    s.delete_on_close = false;
  }
  if (!RenameOver(s.file, s.target)) {
    const DWORD error = GetLastError();
    s.delete_on_close = SetDeleteOnClose(s.file, true);
    RefuseCreate(s.shown, error);
  }
  s.named.clear();
  s.committed = true;
  FlushFileBuffers(s.file);  // the new name to the disk too; the data is there already
  s.Close();
}

void ReplacingFile::Abandon() { state_->Drop(); }

std::int64_t ReplacingFile::BytesWritten() const { return state_->written; }

}  // namespace tavrin
