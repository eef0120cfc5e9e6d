#include "builders/body_line.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "source/text_util.h"

namespace tavrin {
namespace {

constexpr char kHeldBlank = '\xA4';

// A flag (0x80) in each byte of `x` that is zero.
std::uint64_t ZeroBytes(std::uint64_t x) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}
constexpr std::uint64_t kEach(unsigned char b) { return 0x0101010101010101ULL * b; }

// Appends the cleaned line to `out`. One pass: the leading blanks keep their number; behind
// them runs of blanks become one blank (a 0xA4 byte of the source breaks a run, as it still
// stands between the blanks while they are collapsed); then every 0xA4 becomes a blank.
void AppendCleanLine(std::string& out, std::string_view line, const BuildOptions& options,
                     bool in_lines_block) {
  const bool collapse = options.remove_extra_spaces && !in_lines_block;
  const std::size_t start = out.size();
  // Written through a pointer into room made up front: the line never grows.
  out.resize(start + line.size());
  char* const begin = out.data() + start;
  char* p = begin;
  std::size_t i = 0;
  while (i < line.size() && line[i] == ' ') {
    *p++ = ' ';
    ++i;
  }
  char previous = i > 0 ? kHeldBlank : '\0';
  while (i < line.size()) {
#if defined(__SSE2__)
    // Sixteen bytes at a time while they hold no 0xA4 and no blank that would be collapsed.
    if (i + 16 <= line.size()) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
      const auto blanks =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(' '))));
      const auto held = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(kHeldBlank)))));
      const bool collapsing =
          collapse && ((blanks & (blanks >> 1)) != 0 || (previous == ' ' && (blanks & 1) != 0));
      if (!collapsing && held == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
        p += 16;
        previous = line[i + 15];
        i += 16;
        continue;
      }
    }
    // The last bytes of a line that has not changed so far: when the last sixteen bytes of the
    // line (some of them looked at already) hold no 0xA4 and no pair of blanks, the rest stays
    // as it is. Leading blanks in the window only send the line the slow way.
    if (i + 16 > line.size() && line.size() >= 16 && static_cast<std::size_t>(p - begin) == i) {
      const __m128i x =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + line.size() - 16));
      const auto blanks =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(' '))));
      const auto held = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(kHeldBlank)))));
      if (held == 0 && (!collapse || (blanks & (blanks >> 1)) == 0)) {
        std::memcpy(p, line.data() + i, line.size() - i);
        p += line.size() - i;
        break;
      }
    }
#endif
    // Eight bytes at a time while they hold no 0xA4 and no blank that would be collapsed.
    if constexpr (std::endian::native == std::endian::little) {
      if (i + 8 <= line.size()) {
        std::uint64_t w;
        std::memcpy(&w, line.data() + i, 8);
        const std::uint64_t blanks = ZeroBytes(w ^ kEach(' '));
        const bool collapsing = collapse && ((blanks & (blanks << 8)) != 0 ||
                                             (previous == ' ' && (blanks & 0x80) != 0));
        if (!collapsing && ZeroBytes(w ^ kEach(0xA4)) == 0) {
          std::memcpy(p, &w, 8);
          p += 8;
          previous = line[i + 7];
          i += 8;
          continue;
        }
      }
    }
    const char c = line[i++];
    if (c == ' ' && collapse && previous == ' ') continue;
    previous = c;
    *p++ = c == kHeldBlank ? ' ' : c;
  }
  out.resize(start + static_cast<std::size_t>(p - begin));
  out.resize(start + TrimRightControl(std::string_view(out).substr(start)).size());
  if (options.trim_leading_spaces && !in_lines_block) {
    const std::size_t lead =
        out.size() - start - TrimLeftControl(std::string_view(out).substr(start)).size();
    if (lead > 0) out.erase(start, lead);
  }
}

}  // namespace

std::string CleanLine(std::string_view line, const BuildOptions& options, bool in_lines_block) {
  std::string out;
  out.reserve(line.size());
  AppendCleanLine(out, line, options, in_lines_block);
  return out;
}

bool ReplaceNulBytes(std::string& line) {
  bool found = false;
  for (auto at = line.find('\0'); at != std::string::npos; at = line.find('\0', at + 1)) {
    line[at] = ' ';
    found = true;
  }
  return found;
}

std::size_t GatherLine(std::string& entry_text, std::string_view line, std::string_view trimmed,
                       const BuildOptions& options, bool in_lines_block,
                       const MarkupContext& markup, std::size_t begin) {
  if (!trimmed.empty()) {
    // The line is cleaned straight onto the end of the entry text, so a line costs no
    // allocation of its own; the text before it is `entry_text[begin, start)`.
    std::size_t start = entry_text.size();
    AppendCleanLine(entry_text, line, options, in_lines_block);
    std::string_view cleaned = std::string_view(entry_text).substr(start);
    const bool closing = IsClosingTagLine(cleaned, markup);
    const bool opening = IsOpeningTagLine(cleaned, markup);
    if (closing && start > begin) {
      const std::size_t keep =
          begin +
          TrimRightControl(std::string_view(entry_text).substr(begin, start - begin)).size();
      if (keep < start) {
        entry_text.erase(keep, start - keep);
        start = keep;
      }
    }
    if (opening) return start - begin;
    if (!in_lines_block && options.join_lines) {
      if (start > begin && entry_text[start - 1] == ' ') {
        entry_text.resize(start +
                          TrimRightControl(std::string_view(entry_text).substr(start)).size());
        const std::size_t lead = entry_text.size() - start -
                                 TrimLeftControl(std::string_view(entry_text).substr(start)).size();
        if (lead > 0) entry_text.erase(start, lead);
      }
      entry_text += ' ';
    } else {
      entry_text += "\r\n";
    }
    return start - begin;
  }
  if (entry_text.size() > begin && options.preserve_empty_lines) {
    std::string_view separator;
    if (options.join_lines && entry_text.back() == ' ') {
      entry_text.pop_back();
      separator = "\r\n";
    }
    entry_text += separator;
    entry_text += "\r\n";
  }
  return std::string::npos;
}

}  // namespace tavrin
