#include "source/line_reader.h"

#include <cstring>

namespace tavrin {
namespace {
constexpr std::size_t kBlockSize = 1 << 16;

// Position of the first `byte` in data[from, to), or `to`.
std::size_t FirstOf(const char* data, std::size_t from, std::size_t to, char byte) {
  if (from >= to) return to;
  const void* at = std::memchr(data + from, byte, to - from);
  return at != nullptr ? static_cast<std::size_t>(static_cast<const char*>(at) - data) : to;
}
}  // namespace

bool LineReader::Fill() {
  if (ended_) return false;
  buffer_.resize(kBlockSize);
  in_.read(buffer_.data(), static_cast<std::streamsize>(kBlockSize));
  auto got = static_cast<std::size_t>(in_.gcount());
  buffer_.resize(got);
  pos_ = 0;
  if (got == 0) {
    ended_ = true;
    return false;
  }
  return true;
}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  bool any = false;  // a line exists once at least one byte (or its end) was consumed
  bool pending_cr = false;
  for (;;) {
    if (pos_ >= buffer_.size() && !Fill()) {
      // A CR right before the end of the source is a lone CR: dropped.
      return any;
    }
    const char* data = buffer_.data();
    std::size_t end = buffer_.size();
    // The line's end is the first LF, CR or 0x1A: found with memchr, the LF first (CR and 0x1A
    // are looked for only up to it).
    std::size_t i = FirstOf(data, pos_, end, '\n');
    i = FirstOf(data, pos_, i, '\r');
    i = FirstOf(data, pos_, i, '\x1A');
    if (i > pos_) {
      pending_cr = false;
      line.append(data + pos_, i - pos_);
      any = true;
    }
    consumed_ += static_cast<std::int64_t>(i - pos_);
    pos_ = i;
    if (pos_ >= end) continue;
    char c = data[pos_];
    ++pos_;
    ++consumed_;
    any = true;
    if (c == '\n') return true;
    if (c == '\x1A') {
      ended_ = true;
      buffer_.clear();
      pos_ = 0;
      // The bytes of the line so far still form a line; an empty remainder ends the source.
      return !line.empty() || pending_cr ? true : false;
    }
    // CR: dropped; a following LF ends the line.
    pending_cr = true;
  }
}

}  // namespace tavrin
