#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "source/markup.h"

namespace tavrin {

// ConvertEntryText of the text with every run of three or more line breaks first cut down to
// two (as "Remove extra empty lines" does), in the same single pass: a multi-megabyte entry
// needs no reduced copy of its own.
std::string ConvertEntryTextReducingEmptyLines(std::string_view text, bool keep_tags,
                                               const MarkupContext& context);

// What the tag scan decided at one "<" of a text: why the conversion lets it through as text,
// or that it took it as one end of a pair. For the lint, which names these places to the author.
struct TagVerdict {
  static constexpr std::size_t kNone = std::string::npos;
  enum class Decision : std::uint8_t {
    kNoClosingBracket,  // no ">" behind it: a lone "<"
    kNotATag,           // what stands behind it is no name of the tag table
    kNoClosingTag,      // no closing tag of its name behind it
    kFailsRule,         // its attribute fails the rule of its kind
    kAccepted,          // a pair, with the closing tag at `closing`
  };
  Decision decision;
  std::size_t open;             // the "<"
  std::size_t close = kNone;    // its ">"
  std::size_t closing = kNone;  // kAccepted, kFailsRule: the "<" of its closing tag
  int kind = -1;                // the tag's kind, when its name is one
  bool rule_ok = true;          // kNoClosingTag: whether it would pass its rule
};

// The decisions of the conversion's tag scan for every "<" of `text` (an entry's text before
// it is finished), in text order, positions in `text`. The breaks ("<br>") are taken out first
// as the conversion takes them, without moving the other bytes.
// `buffers` are working room kept from call to call.
void ExplainTags(std::string_view text, const MarkupContext& context,
                 std::vector<TagVerdict>& verdicts, ConversionBuffers& buffers);

// The conversion into `buffers`: the result is left in buffers.text.
const std::string& ConvertEntryTextInto(std::string_view text, bool keep_tags,
                                        bool reduce_empty_lines, const MarkupContext& context,
                                        ConversionBuffers& buffers);

}  // namespace tavrin
