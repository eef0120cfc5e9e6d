#pragma once

#include <string>
#include <string_view>

#include "source/build_options.h"
#include "source/markup.h"

// What is done to one body line of an entry: cleaned, its NUL bytes made blanks, gathered into the
// entry's text. The middle of three layers: source/line_reader.h makes the lines,
// builders/reading_loop.h reads the source with them.

namespace tavrin {

// Cleans a source line that is not blank: blanks collapsed behind the leading run (unless in a
// "<lines>" block), 0xA4 turned into a blank, trimmed as the options say.
std::string CleanLine(std::string_view line, const BuildOptions& options, bool in_lines_block);

// A NUL byte would end an entry's text in the module: each becomes a blank. True when the line
// held one (the caller warns).
bool ReplaceNulBytes(std::string& line);

// Gathers one body line of an open entry into its text: tag-only lines, joining, blank lines.
// `trimmed` is the raw line trimmed at both ends. The entry's text is `entry_text` from `begin`
// on (the bytes before belong to other entries and are never touched). Returns where in the
// entry's text the line's own text begins, npos for a blank line.
std::size_t GatherLine(std::string& entry_text, std::string_view line, std::string_view trimmed,
                       const BuildOptions& options, bool in_lines_block,
                       const MarkupContext& markup, std::size_t begin = 0);

}  // namespace tavrin
