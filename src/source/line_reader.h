#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

// Source reading in three layers, lowest first: this file splits the source's bytes into lines;
// builders/body_line.h cleans one line and gathers it into its entry's text; builders/
// reading_loop.h is the loop with which every builder of marked text reads its source.

namespace tavrin {

// Reads 8-bit source text line by line: a line ends at LF or CR LF (the end is not part of the
// line), a CR not followed by LF is dropped and the line goes on, and a byte 0x1A ends the
// source as if the file ended there. A source whose first block holds CRs and no LF at all has
// its lines ended by CR alone (as old Macintosh editors wrote them): there every CR (or CR LF)
// ends a line. Reads in large blocks; the cost is linear in the source.
// An exception of the stream's read passes through and ends the source.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}

  // The bytes read at a time (measured: 256 KiB beat 64 KiB and did as well as 1 MiB).
  static constexpr std::size_t kBlockSize = std::size_t{1} << 18;

  // The next line into `line`; false at the end of the source.
  bool ReadLine(std::string& line);
  // The same without a copy: `line` views the reader's buffer (or, for a line that crosses a
  // block or holds a CR, the reader's own copy of it) and is valid until the next call.
  bool ReadLine(std::string_view& line);
  // Bytes of the source consumed so far (for progress).
  std::int64_t Position() const { return consumed_; }
  // Whether the line read last holds a NUL byte.
  bool LineHasNul() const { return line_has_nul_; }
  // Whether the source's lines end in CR alone (known once the first line was read).
  bool CrLineEnds() const { return cr_line_ends_; }
  // Whether a source that begins with `start` has its lines ended by CR alone: its first block
  // holds CRs and no LF.
  static bool EndsLinesWithCr(std::string_view start);

 private:
  bool Fill();

  std::istream& in_;
  std::string buffer_;
  std::string spill_;  // the pieces of a line that is not one run of the buffer
  std::size_t pos_ = 0;
  std::int64_t consumed_ = 0;
  bool ended_ = false;  // 0x1A met or the stream is exhausted
  bool line_has_nul_ = false;
  bool first_block_ = true;
  bool cr_line_ends_ = false;
  bool skip_lf_ = false;  // CR-ended lines: an LF right after the CR belongs to that end
};

}  // namespace tavrin
