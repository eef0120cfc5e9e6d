#pragma once

#include <string>
#include <string_view>

#include "source/parser.h"

namespace tavrin {

// ConvertEntryText of the text with every run of three or more line breaks first cut down to
// two (as "Remove extra empty lines" does), in the same single pass: a multi-megabyte entry
// needs no reduced copy of its own.
std::string ConvertEntryTextReducingEmptyLines(std::string_view text, bool keep_tags,
                                               const MarkupContext& context);

// The conversion into `buffers`: the result is left in buffers.text.
const std::string& ConvertEntryTextInto(std::string_view text, bool keep_tags,
                                        bool reduce_empty_lines, const MarkupContext& context,
                                        ConversionBuffers& buffers);

}  // namespace tavrin
