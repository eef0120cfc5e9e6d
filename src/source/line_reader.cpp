#include "source/line_reader.h"

#include "source/byte_scan.h"

namespace tavrin {
bool LineReader::Fill() {
  if (ended_) return false;
  buffer_.resize(kBlockSize);
  pos_ = 0;
  try {
    in_.read(buffer_.data(), static_cast<std::streamsize>(kBlockSize));
  } catch (...) {
    // A read that fails ends the source: nothing of the block is taken.
    buffer_.clear();
    ended_ = true;
    throw;
  }
  auto got = static_cast<std::size_t>(in_.gcount());
  buffer_.resize(got);
  if (got == 0) {
    ended_ = true;
    return false;
  }
  if (first_block_) {
    first_block_ = false;
    cr_line_ends_ = EndsLinesWithCr(buffer_);
  }
  return true;
}

bool LineReader::EndsLinesWithCr(std::string_view start) {
  const std::string_view block = start.substr(0, kBlockSize);
  return block.find('\n') == std::string_view::npos && block.find('\r') != std::string_view::npos;
}

bool LineReader::ReadLine(std::string& line) {
  std::string_view view;
  const bool got = ReadLine(view);
  line.assign(view);
  return got;
}

bool LineReader::ReadLine(std::string_view& line) {
  spill_.clear();
  line_has_nul_ = false;
  bool spilled = false;  // pieces of the line are in spill_
  bool any = false;      // a line exists once at least one byte (or its end) was consumed
  bool pending_cr = false;
  for (;;) {
    if (pos_ >= buffer_.size() && !Fill()) {
      // A CR right before the end of the source is a lone CR: dropped.
      line = spill_;
      return any;
    }
    const char* data = buffer_.data();
    const std::size_t end = buffer_.size();
    if (skip_lf_) {
      skip_lf_ = false;
      if (data[pos_] == '\n') {
        ++pos_;
        ++consumed_;
        continue;
      }
    }
    // The line's end is the first LF, CR or 0x1A; NUL bytes on the way are noted.
    std::size_t i = FindFirstOf(data, pos_, end, '\n', '\r', '\x1A', '\0');
    while (i < end && data[i] == '\0') {
      line_has_nul_ = true;
      i = FindFirstOf(data, i + 1, end, '\n', '\r', '\x1A', '\0');
    }
    const std::string_view piece(data + pos_, i - pos_);
    if (!piece.empty()) {
      pending_cr = false;
      any = true;
    }
    consumed_ += static_cast<std::int64_t>(piece.size());
    pos_ = i;
    if (pos_ >= end) {
      // The line goes on in the next block, which replaces this one.
      spill_.append(piece);
      spilled = true;
      continue;
    }
    const char c = data[pos_];
    ++pos_;
    ++consumed_;
    any = true;
    if (c == '\n') {
      if (spilled) {
        spill_.append(piece);
        line = spill_;
      } else {
        line = piece;
      }
      return true;
    }
    if (c == '\r' && !spilled && pos_ < end && data[pos_] == '\n') {
      // The common CR LF inside the block: the line is a view like an LF line.
      ++pos_;
      ++consumed_;
      line = piece;
      return true;
    }
    if (c == '\r' && cr_line_ends_) {
      if (spilled) {
        spill_.append(piece);
        line = spill_;
      } else {
        line = piece;
      }
      skip_lf_ = true;
      return true;
    }
    spill_.append(piece);
    spilled = true;
    if (c == '\x1A') {
      ended_ = true;
      buffer_.clear();
      pos_ = 0;
      line = spill_;
      // The bytes of the line so far still form a line; an empty remainder ends the source.
      return !spill_.empty() || pending_cr;
    }
    // CR: dropped; a following LF ends the line.
    pending_cr = true;
  }
}

}  // namespace tavrin
