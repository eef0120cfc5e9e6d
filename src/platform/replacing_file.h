#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tavrin {

// A new version of a file, written in the folder of the file it replaces and put in its place
// only by Commit. Until then the old file stays whole: a failure, a Cancel or a killed process
// never leaves a damaged file in its place.
//
// On Linux the new version has no name at all while it is written (O_TMPFILE), so even a killed
// process leaves nothing behind; where the file system refuses that, it is a hidden
// ".tavrin-XXXXXX" file beside the target, removed again unless committed. On Windows it is such
// a file that the system deletes when its handle closes, also when the process dies, until it
// is committed.
class ReplacingFile {
 public:
  // `path` is the file to write or replace; a symbolic link is written through to its target.
  // `shown` is the path that errors name. Raises EFCreateError when the new version cannot be
  // made (missing or read-only folder, a read-only file on Windows) or something other than a
  // regular file stands at the path; where the system gives a reason the user can act on, the
  // message ends with it ("Cannot create file PATH: the file is read-only").
  ReplacingFile(const std::string& path, const std::string& shown);
  // Drops the new version unless it was committed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Appends the bytes, handing each megabyte to the disk while the next are written so that
  // Sync has little left to wait for. Raises EInOutError ("...: cannot write file PATH").
  void Write(std::string_view bytes);
  // Waits until every byte written is on the disk. Raises EInOutError. May run on another
  // thread than Write, as long as the two do not overlap.
  void Sync();
  // Puts the new version in place of the file. A replaced file's permission bits are kept; a
  // new file gets the usual ones less the umask. Raises EFCreateError.
  void Commit();
  // Drops the new version now; the file at the path stays as it was.
  void Abandon();

  std::int64_t BytesWritten() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Replaces the file at `path` by `bytes` through a ReplacingFile: written, synced, put in place.
void ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace tavrin
