#include <windows.h>

#include <algorithm>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {

namespace {

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

InputFile::InputFile(const std::string& path, bool also_writable) : path_(path) {
  const std::filesystem::path native = FilePath(path);
  // Others may go on reading and writing it, as on Linux; a folder does not open without
  // FILE_FLAG_BACKUP_SEMANTICS, so it is refused here.
  HANDLE file = CreateFileW(native.c_str(), GENERIC_READ | (also_writable ? GENERIC_WRITE : 0),
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::error_code ec;
    if (std::filesystem::is_directory(native, ec)) throw EFOpenError(path, "it is a folder");
    throw EFOpenError(path, LastSystemErrorText());
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) == FILE_TYPE_DISK) {
    if (!GetFileSizeEx(file, &size)) {
      std::string reason = LastSystemErrorText();
      CloseHandle(file);
      throw EFOpenError(path, std::move(reason));
    }
    size_ = static_cast<std::int64_t>(size.QuadPart);
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

InputFile::~InputFile() { CloseHandle(Handle(handle_)); }

std::size_t InputFile::Read(char* data, std::size_t size) {
  constexpr std::size_t kChunk = std::size_t{1} << 30;  // ReadFile takes 32-bit counts
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min(size - done, kChunk));
    if (!ReadFile(Handle(handle_), data + done, wanted, &got, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) break;
      throw EInOutError(Message::kCannotReadFile, path_);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

void InputFile::Seek(std::int64_t position) {
  LARGE_INTEGER to{};
  to.QuadPart = position;
  if (!SetFilePointerEx(Handle(handle_), to, nullptr, FILE_BEGIN))
    throw EInOutError(Message::kCannotReadFile, path_);
}

}  // namespace tavrin
