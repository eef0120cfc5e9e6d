#include "build/reading.h"

#include "source/text_util.h"

namespace tavrin {
namespace {
constexpr char kHeldBlank = '\xA4';
}

std::string CleanLine(std::string_view line, const BuildOptions& options, bool in_lines_block) {
  // One pass: the leading blanks keep their number; behind them runs of blanks become one
  // blank (a 0xA4 byte of the source breaks a run, as it still stands between the blanks
  // while they are collapsed); then every 0xA4 becomes a blank.
  const bool collapse = options.remove_extra_spaces && !in_lines_block;
  std::string out;
  out.reserve(line.size());
  std::size_t i = 0;
  while (i < line.size() && line[i] == ' ') {
    out.push_back(' ');
    ++i;
  }
  char previous = i > 0 ? kHeldBlank : '\0';
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (collapse && c == ' ' && previous == ' ') continue;
    previous = c;
    out.push_back(c == kHeldBlank ? ' ' : c);
  }
  if (options.trim_leading_spaces && !in_lines_block) return std::string(TrimControl(out));
  out.resize(TrimRightControl(out).size());
  return out;
}

void GatherLine(std::string& entry_text, std::string_view line, std::string_view trimmed,
                const BuildOptions& options, bool in_lines_block, const MarkupContext& markup) {
  if (!trimmed.empty()) {
    std::string cleaned = CleanLine(line, options, in_lines_block);
    if (IsClosingTagLine(cleaned, markup) && !entry_text.empty())
      entry_text.resize(TrimRightControl(entry_text).size());
    if (IsOpeningTagLine(cleaned, markup)) {
      entry_text += cleaned;
    } else if (!in_lines_block && options.join_lines) {
      if (!entry_text.empty() && entry_text.back() == ' ')
        entry_text += TrimControl(cleaned);
      else
        entry_text += cleaned;
      entry_text += ' ';
    } else {
      entry_text += cleaned;
      entry_text += "\r\n";
    }
    return;
  }
  if (!entry_text.empty() && options.preserve_empty_lines) {
    std::string_view separator;
    if (options.join_lines && entry_text.back() == ' ') {
      entry_text.pop_back();
      separator = "\r\n";
    }
    entry_text += separator;
    entry_text += "\r\n";
  }
}

}  // namespace tavrin
