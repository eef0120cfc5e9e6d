#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace tavrin {

// The folder of the running executable, with a trailing separator.
std::string ApPath();
// The operating system's login name of the user; empty when it cannot be found.
std::string UserName();

// The system's reason for the failure of the call made last on this thread (errno on Linux,
// GetLastError on Windows) as UTF-8 text without a final full stop: "No such file or directory".
std::string LastSystemErrorText();

// A new, unique, empty file in the system's temporary folder; returns its path.
// Raises EFCreateError when none can be made.
std::filesystem::path CreateTempFile(const std::string& prefix = "tavrin");

// A file opened for reading. Every failure is the program's own file error naming the path, so
// that no failing read can look like the end of the file: EFOpenError when it cannot be opened
// (a folder is no file to read), EInOutError "Cannot read file" when a read fails.
class InputFile {
 public:
  // `also_writable`: a file that could not also be written is refused (it is only read).
  explicit InputFile(const std::string& path, bool also_writable = false);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // The size when it was opened (0 for files whose size the system does not know ahead).
  std::int64_t Size() const { return size_; }
  // Up to `size` bytes from the current position; fewer only where the file ends.
  std::size_t Read(char* data, std::size_t size);
  void Seek(std::int64_t position);

 private:
  std::string path_;
  std::int64_t size_ = 0;
  std::intptr_t handle_ = -1;  // the system's handle of the open file
};

// Reads a whole file (to its end, also past the size it had when opened); raises EFOpenError
// when it cannot be opened and EInOutError when a read fails.
std::string ReadWholeFile(const std::string& path);

// The file as a binary stream to read in blocks, raising EFOpenError as InputFile does. A read
// that fails raises its EInOutError out of the stream's read functions.
std::unique_ptr<std::istream> OpenInputStream(const std::string& path);

// Paths travel through the core as byte strings: the file system's own bytes on Linux, UTF-8 on
// Windows (whose file names are UTF-16). Every file is opened through FilePath, so a name with
// letters outside the ANSI code page works there too; on Windows a name that is not UTF-8 is
// read in the ANSI code page (a header file's includes are 8-bit text).
std::filesystem::path FilePath(std::string_view path);
std::string PathText(const std::filesystem::path& path);

// Whether this user may write into the folder or file; false when it does not exist.
bool CanWrite(const std::string& path);
// The folder for the creation log when the program folder cannot take it: tavrin in the user's
// state folder on Linux ($XDG_STATE_HOME, default ~/.local/state), %LOCALAPPDATA%\Tavrin on
// Windows. Created when missing.
std::string LogFallbackFolder();

}  // namespace tavrin
