#include "module/module_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>
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

// Creates a new file under a name not taken in `folder` (".tavrin-" and six random letters) with
// permission bits `mode`, less the process umask as for any new file. Returns the descriptor and
// sets `path`, or returns -1.
int CreateUniqueFile(const fs::path& folder, mode_t mode, std::string& path) {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".tavrin-";
    for (int k = 0; k < 6; ++k) name += kLetters[pick(random)];
    path = (folder / name).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// Writes whole runs of bytes and starts writing each megabyte out to the disk while the next are
// copied, so that the final sync has little left to wait for (measured: steps of 8 MB left a
// module of 7 MB wholly to the sync, and made one of 100 MB slower too).
class FileOutput {
 public:
  explicit FileOutput(int fd) : fd_(fd) {}
  // 0, or the errno of the failed write.
  int Write(std::string_view bytes) {
    constexpr off_t kStep = off_t{1} << 20;
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (written == 0) return EIO;
      bytes.remove_prefix(static_cast<std::size_t>(written));
      written_ += written;
#ifdef __linux__
      if (written_ - flushed_ >= kStep) {
        // Only a hint: a failure here shows in the sync that follows.
        ::sync_file_range(fd_, flushed_, written_ - flushed_, SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
      }
#endif
    }
    return 0;
  }

 private:
  int fd_;
  off_t written_ = 0;
  off_t flushed_ = 0;  // bytes handed to the disk so far
};

// The streams' bytes in order, copied out in runs of at most `size` bytes. The pieces are walked
// in place: a module of many texts has tens of thousands of them.
class PieceCursor {
 public:
  explicit PieceCursor(const std::vector<const ByteStream*>& streams) : streams_(streams) {}
  // Copies the next bytes into `out` (up to `size`); returns how many, 0 at the end.
  std::size_t CopyNext(char* out, std::size_t size) {
    std::size_t copied = 0;
    while (copied < size && stream_ < streams_.size()) {
      const ByteStream& stream = *streams_[stream_];
      if (piece_ == stream.PieceCount()) {
        ++stream_;
        piece_ = 0;
        continue;
      }
      const std::string_view piece = stream.PieceAt(piece_);
      const std::size_t n = std::min(piece.size() - offset_, size - copied);
      std::memcpy(out + copied, piece.data() + offset_, n);
      copied += n;
      offset_ += n;
      if (offset_ == piece.size()) {
        ++piece_;
        offset_ = 0;
      }
    }
    return copied;
  }

 private:
  const std::vector<const ByteStream*>& streams_;
  std::size_t stream_ = 0;
  std::size_t piece_ = 0;
  std::size_t offset_ = 0;
};

// Writes the streams' bytes in order. They are gathered into runs of a megabyte first: the kernel
// copies one long run from memory that is still in the cache much faster than thousands of short
// entry texts scattered over the heap. For a module of many megabytes a helper thread gathers
// the next runs while this thread writes the ones before, so the two copies overlap. Returns 0 or
// the errno of the failed write.
int WriteAll(int fd, const std::vector<const ByteStream*>& streams) {
  constexpr std::size_t kRun = std::size_t{1} << 20;
  constexpr std::size_t kRuns = 4;
  // Below this the thread costs more than the overlap gives (measured on modules of 7 and 16 MB).
  constexpr std::size_t kPipelined = std::size_t{32} << 20;
  FileOutput out(fd);
  PieceCursor cursor(streams);
  std::size_t total = 0;
  for (const ByteStream* stream : streams) total += stream->Size();
  std::array<std::string, kRuns> runs;
  if (total < kPipelined) {
    runs[0].resize(std::min(total, kRun));
    for (;;) {
      const std::size_t n = cursor.CopyNext(runs[0].data(), runs[0].size());
      if (n == 0) return 0;
      if (const int error = out.Write(std::string_view(runs[0]).substr(0, n)); error != 0)
        return error;
    }
  }
  for (std::string& run : runs) run.resize(kRun);
  std::array<std::size_t, kRuns> filled{};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t produced = 0;  // runs gathered; run k lies in runs[k % kRuns]
  std::size_t consumed = 0;  // runs written
  bool gathered_all = false;
  bool stop = false;
  std::thread gatherer([&] {
    for (;;) {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || produced - consumed < kRuns; });
        if (stop) return;
      }
      // The slot is this thread's until it is counted as produced.
      const std::size_t slot = produced % kRuns;
      const std::size_t n = cursor.CopyNext(runs[slot].data(), kRun);
      {
        std::lock_guard lock(mutex);
        if (n == 0) {
          gathered_all = true;
        } else {
          filled[slot] = n;
          ++produced;
        }
      }
      changed.notify_all();
      if (n == 0) return;
    }
  });
  int error = 0;
  for (;;) {
    std::size_t slot = 0;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return produced > consumed || gathered_all; });
      if (produced == consumed) break;
      slot = consumed % kRuns;
    }
    error = out.Write(std::string_view(runs[slot]).substr(0, filled[slot]));
    {
      std::lock_guard lock(mutex);
      ++consumed;
      if (error != 0) stop = true;
    }
    changed.notify_all();
    if (error != 0) break;
  }
  gatherer.join();
  return error;
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
  // A new module gets the usual bits less the umask from the kernel; a replaced one keeps its
  // own, set only once the file is private to its owner.
  std::string temp_path;
  const int fd = CreateUniqueFile(folder, exists ? 0600 : 0666, temp_path);
  if (fd < 0) throw EFCreateError(output);
  TempFileGuard temp(std::move(temp_path), fd);

  if (exists) ::fchmod(temp.Fd(), existing.st_mode & 07777);  // a failure leaves it private

  ByteStream header_stream;
  header_stream.Append(header);
  std::vector<const ByteStream*> streams{&header_stream};
  for (ModuleSection section : Sections(request.kind))
    streams.push_back(&StreamFor(request, section));
  int error = WriteAll(temp.Fd(), streams);
  // The bytes are the system's now: what the caller frees here overlaps the wait for the disk.
  if (error == 0 && request.written) request.written();
  if (error == 0 && ::fsync(temp.Fd()) != 0) error = errno;
  int close_error = temp.Close();
  if (error == 0) error = close_error;
  if (error != 0) throw EInOutError(ErrorText(error) + ": cannot write file", output);

  if (::rename(temp.Path().c_str(), target.c_str()) != 0) throw EFCreateError(output);
  temp.Release();
  SyncFolder(folder);
}

}  // namespace tavrin
