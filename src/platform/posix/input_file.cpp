#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {

InputFile::InputFile(const std::string& path, bool also_writable) : path_(path) {
  const int fd = open(path.c_str(), (also_writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(path, LastSystemErrorText());
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    const std::string reason = S_ISDIR(info.st_mode) ? "it is a folder" : LastSystemErrorText();
    close(fd);
    throw EFOpenError(path, reason);
  }
  handle_ = fd;
  size_ = S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : 0;
}

InputFile::~InputFile() { close(static_cast<int>(handle_)); }

std::size_t InputFile::Read(char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(static_cast<int>(handle_), data + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw EInOutError(Message::kCannotReadFile, path_);
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void InputFile::Seek(std::int64_t position) {
  if (lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) < 0)
    throw EInOutError(Message::kCannotReadFile, path_);
}

}  // namespace tavrin
