// Whole-file reads and read streams, built on InputFile for every system.
#include <algorithm>
#include <cstring>
#include <streambuf>
#include <vector>

#include "platform/system.h"

namespace tavrin {
namespace {

// A read buffer over an InputFile; large reads go straight into the caller's memory.
class InputFileBuffer : public std::streambuf {
 public:
  explicit InputFileBuffer(const std::string& path) : file_(path), buffer_(kBufferSize) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const std::size_t got = file_.Read(buffer_.data(), buffer_.size());
    position_ += static_cast<std::int64_t>(got);
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
  }

  std::streamsize xsgetn(char* data, std::streamsize count) override {
    const auto wanted = static_cast<std::size_t>(count);
    std::size_t done = 0;
    while (done < wanted) {
      if (gptr() == egptr()) {
        if (wanted - done >= buffer_.size()) {
          const std::size_t got = file_.Read(data + done, wanted - done);
          position_ += static_cast<std::int64_t>(got);
          done += got;
          break;
        }
        if (traits_type::eq_int_type(underflow(), traits_type::eof())) break;
      }
      const auto take = std::min(wanted - done, static_cast<std::size_t>(egptr() - gptr()));
      std::memcpy(data + done, gptr(), take);
      gbump(static_cast<int>(take));
      done += take;
    }
    return static_cast<std::streamsize>(done);
  }

  pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode) override {
    std::int64_t target = offset;
    if (way == std::ios_base::cur)
      target += position_ - (egptr() - gptr());
    else if (way == std::ios_base::end)
      target += file_.Size();
    if (target < 0) return pos_type(off_type(-1));
    file_.Seek(target);
    position_ = target;
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    return pos_type(target);
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;

  InputFile file_;
  std::vector<char> buffer_;
  std::int64_t position_ = 0;  // of the file, behind the buffered bytes
};

class InputFileStream : public std::istream {
 public:
  explicit InputFileStream(const std::string& path) : std::istream(nullptr), buffer_(path) {
    rdbuf(&buffer_);
    // The buffer's read error leaves the stream's functions instead of a mere bad bit.
    exceptions(std::ios_base::badbit);
  }

 private:
  InputFileBuffer buffer_;
};

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  InputFile file(path);
  std::string data(static_cast<std::size_t>(file.Size()), '\0');
  data.resize(file.Read(data.data(), data.size()));
  if (data.size() == static_cast<std::size_t>(file.Size())) {
    // A file that grew since it was opened, or one whose size is not known ahead, goes on.
    std::vector<char> block(std::size_t{1} << 16);
    while (const std::size_t got = file.Read(block.data(), block.size()))
      data.append(block.data(), got);
  }
  return data;
}

std::unique_ptr<std::istream> OpenInputStream(const std::string& path) {
  return std::make_unique<InputFileStream>(path);
}

}  // namespace tavrin
