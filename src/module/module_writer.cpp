#include "module/module_writer.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/exceptions.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

const ByteStream& StreamFor(const WriteRequest& request, ModuleSection section) {
  switch (section) {
    case ModuleSection::kName:
      return request.name_stream;
    case ModuleSection::kIndex:
      return request.index_stream;
    case ModuleSection::kText:
      break;
  }
  return request.text_stream;
}

std::string ErrorText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

// The process umask without changing it (umask(2) can only be read by setting it, which would
// race with other threads creating files).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      try {
        return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      } catch (const std::exception&) {
        break;
      }
    }
  }
  return 022;
}

// Writes the pieces in order, many in one call, and starts writing each 8 MB out to the disk
// while the next are copied, so that the final sync has little left to wait for. Returns 0 or
// the errno of the failed write.
int WriteAll(int fd, const std::vector<std::string_view>& pieces) {
  constexpr std::size_t kMaxVectors = IOV_MAX < 1024 ? IOV_MAX : 1024;
  constexpr std::size_t kStep = std::size_t{8} << 20;
  // The first byte not yet written: piece `at`, `offset` bytes into it.
  std::size_t at = 0;
  std::size_t offset = 0;
  off_t written_total = 0;
  off_t flushed = 0;  // bytes handed to the disk so far
  for (;;) {
    iovec vectors[kMaxVectors];
    int count = 0;
    std::size_t bytes = 0;
    for (std::size_t p = at;
         p < pieces.size() && count < static_cast<int>(kMaxVectors) && bytes < kStep; ++p) {
      const std::size_t skip = p == at ? offset : 0;
      if (pieces[p].size() > skip) {
        vectors[count++] = {const_cast<char*>(pieces[p].data() + skip), pieces[p].size() - skip};
        bytes += pieces[p].size() - skip;
      }
    }
    if (count == 0) return 0;
    const ssize_t written = ::writev(fd, vectors, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    written_total += written;
#ifdef __linux__
    if (written_total - flushed >= static_cast<off_t>(kStep)) {
      // Only a hint: a failure here shows in the sync that follows.
      ::sync_file_range(fd, flushed, written_total - flushed, SYNC_FILE_RANGE_WRITE);
      flushed = written_total;
    }
#endif
    auto left = static_cast<std::size_t>(written);
    while (left > 0) {
      const std::size_t rest = pieces[at].size() - offset;
      if (left < rest) {
        offset += left;
        break;
      }
      left -= rest;
      ++at;
      offset = 0;
    }
  }
}

// Removes the temporary file unless it was renamed into place.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~TempFileGuard() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  // Closes the descriptor; returns 0 or the errno of close.
  int Close() {
    int result = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    return result;
  }
  void Release() { path_.clear(); }

 private:
  std::string path_;
  int fd_;
};

void SyncFolder(const fs::path& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the module itself is already on disk
  ::close(fd);
}

}  // namespace

ModuleHeader MakeModuleHeader(const WriteRequest& request) {
  ModuleHeader header;
  header.kind = request.kind;
  header.new_format = request.new_format;
  header.module_name = request.module_name;
  header.charset_choice = request.charset_choice;
  header.user_name = request.user_name;

  // Offsets are 32-bit in the file; a larger module cannot be described, so refuse it rather
  // than write wrapped offsets.
  std::uint64_t position = static_cast<std::uint64_t>(header.Size());
  std::size_t slot = 0;
  for (ModuleSection section : Sections(request.kind)) {
    header.section_offsets[slot++] = static_cast<std::int32_t>(position);
    position += StreamFor(request, section).Size();
    if (position > static_cast<std::uint64_t>(request.offset_limit))
      throw EInOutError("Module too large for its 32-bit offsets:", request.output_path);
  }
  return header;
}

void WriteModule(const WriteRequest& request) {
  if (!ModuleKindFromInt(static_cast<int>(request.kind)))
    throw Exception("Unknown module kind " + std::to_string(static_cast<int>(request.kind)));
  const std::string& output = request.output_path;
  if (output.empty()) throw EFCreateError(output);
  const std::string header = MakeModuleHeader(request).Bytes();

  std::error_code ec;
  fs::path target(output);
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = resolved;
  }
  struct stat existing {};
  bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) throw EFCreateError(output);

  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ".tavrin-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) throw EFCreateError(output);
  TempFileGuard temp(name.data(), fd);

  mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());
  ::fchmod(temp.Fd(), mode);  // a failure only leaves the file private to its owner

  std::vector<std::string_view> pieces{header};
  for (ModuleSection section : Sections(request.kind)) {
    const std::vector<std::string_view> more = StreamFor(request, section).Pieces();
    pieces.insert(pieces.end(), more.begin(), more.end());
  }
  int error = WriteAll(temp.Fd(), pieces);
  if (error == 0 && ::fsync(temp.Fd()) != 0) error = errno;
  int close_error = temp.Close();
  if (error == 0) error = close_error;
  if (error != 0) throw EInOutError(ErrorText(error) + ": cannot write file", output);

  if (::rename(temp.Path().c_str(), target.c_str()) != 0) throw EFCreateError(output);
  temp.Release();
  SyncFolder(folder);
}

}  // namespace tavrin
