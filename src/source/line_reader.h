#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace tavrin {

// Reads 8-bit source text line by line: a line ends at LF or CR LF (the end is not part of the
// line), a CR not followed by LF is dropped and the line goes on, and a byte 0x1A ends the
// source as if the file ended there. Reads in large blocks; the cost is linear in the source.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}

  // The next line into `line`; false at the end of the source.
  bool ReadLine(std::string& line);
  // Bytes of the source consumed so far (for progress).
  std::int64_t Position() const { return consumed_; }

 private:
  bool Fill();

  std::istream& in_;
  std::string buffer_;
  std::size_t pos_ = 0;
  std::int64_t consumed_ = 0;
  bool ended_ = false;  // 0x1A met or the stream is exhausted
};

}  // namespace tavrin
