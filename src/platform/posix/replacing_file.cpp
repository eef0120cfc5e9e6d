#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/exceptions.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

std::string ErrorText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

// A file that cannot be made or put in place; the system's reason where the user can act on it
// (no permission, a read-only file system).
[[noreturn]] void RefuseCreate(const std::string& shown, int error) {
  if (error == EACCES || error == EPERM || error == EROFS)
    throw EFCreateError(shown, ErrorText(error));
  throw EFCreateError(shown);
}

std::string RandomHiddenName() {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string name = ".tavrin-";
  for (int k = 0; k < 6; ++k) name += kLetters[pick(random)];
  return name;
}

// Tries names until one is free; `make`(path) returns 0 on success or the errno. Returns the
// errno of the last try, 0 once `path` is set.
template <typename Make>
int UnderFreeName(const fs::path& folder, std::string& path, Make make) {
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    path = (folder / RandomHiddenName()).string();
    error = make(path);
  }
  return error;
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the file itself is already on disk
  ::close(fd);
}

}  // namespace

struct ReplacingFile::State {
  std::string shown;
  fs::path target;
  fs::path folder;
  int fd = -1;
  std::string named;  // the temporary file's name, empty while it has none (O_TMPFILE)
  bool committed = false;
  off_t written = 0;
  off_t flushed = 0;  // bytes handed to the disk so far

  void Drop() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!named.empty()) ::unlink(named.c_str());
    named.clear();
  }
};

ReplacingFile::ReplacingFile(const std::string& path, const std::string& shown)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.shown = shown;
  if (path.empty()) throw EFCreateError(shown);
  s.target = path;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(s.target, ec))) {
    fs::path resolved = fs::canonical(s.target, ec);
    if (!ec) s.target = resolved;
  }
  struct stat existing {};
  const bool exists = ::stat(s.target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) throw EFCreateError(shown);
  s.folder = s.target.parent_path();
  if (s.folder.empty()) s.folder = ".";

  // A new file gets the usual bits less the umask from the kernel; a replaced one keeps its
  // own, set only once the file is private to its owner.
  const mode_t mode = exists ? 0600 : 0666;
#ifdef O_TMPFILE
  s.fd = ::open(s.folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  // The file gets its name through /proc at the end; without /proc it could get none.
  if (s.fd >= 0 && ::access(("/proc/self/fd/" + std::to_string(s.fd)).c_str(), F_OK) != 0) {
    ::close(s.fd);
    s.fd = -1;
  }
#endif
  if (s.fd < 0) {
    const int error = UnderFreeName(s.folder, s.named, [&](const std::string& name) {
      s.fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      return s.fd >= 0 ? 0 : errno;
    });
    if (error != 0) {
      s.named.clear();
      RefuseCreate(shown, error);
    }
  }
  if (exists) ::fchmod(s.fd, existing.st_mode & 07777);  // a failure leaves it private
}

ReplacingFile::~ReplacingFile() {
  if (!state_->committed) state_->Drop();
}

void ReplacingFile::Write(std::string_view bytes) {
  State& s = *state_;
  constexpr off_t kStep = off_t{1} << 20;
  while (!bytes.empty()) {
    const ssize_t n = ::write(s.fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      throw EInOutError(Message::kCannotWriteFile, ErrorText(error), s.shown);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    s.written += n;
#ifdef __linux__
    if (s.written - s.flushed >= kStep) {
      // Only a hint: a failure here shows in the sync that follows.
      ::sync_file_range(s.fd, s.flushed, s.written - s.flushed, SYNC_FILE_RANGE_WRITE);
      s.flushed = s.written;
    }
#endif
  }
}

void ReplacingFile::Sync() {
  State& s = *state_;
  if (::fsync(s.fd) != 0) throw EInOutError(Message::kCannotWriteFile, ErrorText(errno), s.shown);
}

void ReplacingFile::Commit() {
  State& s = *state_;
  if (s.named.empty()) {
    const std::string proc = "/proc/self/fd/" + std::to_string(s.fd);
    const int error = UnderFreeName(s.folder, s.named, [&](const std::string& name) {
      return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
                 ? 0
                 : errno;
    });
    if (error != 0) {
      s.named.clear();
      RefuseCreate(s.shown, error);
    }
  }
  const int close_error = ::close(s.fd) == 0 ? 0 : errno;
  s.fd = -1;
  if (close_error != 0)
    throw EInOutError(Message::kCannotWriteFile, ErrorText(close_error), s.shown);
  if (::rename(s.named.c_str(), s.target.c_str()) != 0) RefuseCreate(s.shown, errno);
  s.named.clear();
  s.committed = true;
  SyncFolder(s.folder);
}

void ReplacingFile::Abandon() { state_->Drop(); }

std::int64_t ReplacingFile::BytesWritten() const { return state_->written; }

}  // namespace tavrin
