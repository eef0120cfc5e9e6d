#pragma once

#include <string>
#include <string_view>

#include "module/byte_stream.h"
#include "source/build_options.h"
#include "source/markup.h"

namespace tavrin {

// The text pipeline written as plainly as its rules read: every search starts again at the
// beginning of the text and every edit inserts or deletes in the middle, so the cost grows with
// the square of the entry's size. Kept out of the product library: the differential tests, the
// fuzz targets and the benchmarks check the fast versions against these byte for byte.

// "while the copy contains ... replace": the markup conversion.
std::string ConvertEntryTextReference(std::string_view text, bool keep_tags,
                                      const MarkupContext& context);
// Link aliases and media folders, one search from the start per occurrence.
std::string RewriteLinksReference(std::string_view text, const MarkupContext& context);
// While three line breaks stand in a row, delete the first of them.
std::string ReduceEmptyLinesReference(std::string_view text);
// Byte by byte complement.
std::string InvertTextReference(std::string_view text);
// The whole finishing of one entry with the functions above.
void FinishEntryTextReference(std::string_view text, const BuildOptions& options, bool new_format,
                              const MarkupContext& context, ByteStream& text_stream,
                              bool& in_lines_block);
// Line cleaning: while two blanks stand in a row, delete the first.
std::string CleanLineReference(std::string_view line, const BuildOptions& options,
                               bool in_lines_block);

}  // namespace tavrin
