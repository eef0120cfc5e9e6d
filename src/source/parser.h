#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "module/byte_stream.h"
#include "platform/text_locale.h"
#include "source/build_options.h"

namespace tavrin {

// The tag names of the markup language (a tag's kind is its index) and the link types beside
// them. Built once and never changed.
struct TagTable {
  // What a tag of a kind may carry behind its name.
  enum class ValueRule : std::uint8_t {
    kNone,      // no "=" at all
    kOptional,  // link, font: a value, when there is an "=", that is not empty
    kHeading,   // h: the first digit of the tag is 1 to 5
    kNumber,    // ind, size, cp: an integer in range
    kColour,    // color: a colour number 0 to 30
  };

  std::vector<std::string> tags;        // 19 names, lower case: link, h, l, r, c, ind, ...
  std::vector<std::string> link_types;  // local, bible, url, email, picture, sound, hint, file
  // Index of a lower-case tag name, -1 when it is not a tag.
  int IndexOf(std::string_view name) const;
  // The value rule of a kind, by its name.
  ValueRule RuleOf(int kind) const;

  // Made once from `tags` by Index(): names up to 7 bytes packed into a number, and each kind's
  // rule, so that the per-tag questions cost no string comparison.
  void Index();
  std::vector<std::uint64_t> packed_names;
  std::vector<ValueRule> rules;
  // The one kind whose name has this first letter (a-z) and length (1-7), -1 for none, -2 when
  // several share them.
  std::array<std::int8_t, 26 * 8> by_letter_and_length{};
};

TagTable BuildTagTable();

// Link aliases and media folders set by the last header file; they outlive the build.
struct LinkSettings {
  std::vector<std::pair<std::string, std::string>> link_aliases;  // (alias, target)
  std::string pictures_dir;                                       // empty or ending in '\'
  std::string sounds_dir;
  std::string files_dir;
  void Clear() { *this = LinkSettings(); }
};

// What the markup conversion needs to know of the program: the tag table, the link settings and
// the code page used for the lower-cased working copies.
struct MarkupContext {
  const TagTable& tag_table;
  const LinkSettings& link_settings;
  const TextLocale& locale;
};

// Applies link aliases and media folder prefixes.
std::string RewriteLinks(std::string_view text, const MarkupContext& context);

// Converts "<br>" and literal breaks, checks every tag, removes line breaks inside accepted
// pairs, and keeps (keep_tags) or strips the accepted tags.
std::string ConvertEntryText(std::string_view text, bool keep_tags, const MarkupContext& context);

// Pieces of the tag check that every implementation of the conversion shares. `tag` is one tag
// from its "<" to its ">", taken from the lower-cased working copy.
// The tag's name: before the first blank (when one precedes the first "=") or the first "=", else
// all between the brackets; trimmed and, when longer than one byte, cut before its first blank,
// decimal digit, "=" or ">" ("h3" gives "h").
std::string MarkupTagName(std::string_view tag);
// Whether the tag passes the attribute rule of its kind (given by name).
bool MarkupTagIsValid(std::string_view name, std::string_view tag);

// Every byte b becomes 255 - b.
std::string InvertText(std::string_view text);

// Tracks "<lines>" blocks over the raw source lines.
void UpdateLinesBlock(std::string_view line, bool& in_lines_block, const TextLocale& locale);

// Line tests of the reading loop: a line made only of tags whose last (first) tag opens (closes)
// a known tag.
bool IsOpeningTagLine(std::string_view line, const MarkupContext& context);
bool IsClosingTagLine(std::string_view line, const MarkupContext& context);

// The working buffers of the markup conversion. Kept from entry to entry (one set per thread),
// they spare small entries an allocation of their own.
// Where the tag scan keeps the closing tags of each name it has met.
using ClosingTagLists = std::array<std::vector<std::size_t>, 19>;

struct ConversionBuffers {
  std::string text;  // the converted text
  std::string copy;  // its lower-cased working copy
  ClosingTagLists closings;

  // Buffers above this size are not kept for the next entry.
  static constexpr std::size_t kKeptBytes = std::size_t{1} << 20;
  void ReleaseLarge() {
    if (text.capacity() > kKeptBytes) std::string().swap(text);
    if (copy.capacity() > kKeptBytes) std::string().swap(copy);
    for (std::vector<std::size_t>& list : closings)
      if (list.capacity() * sizeof(std::size_t) > kKeptBytes) std::vector<std::size_t>().swap(list);
  }
};

// The one finisher of entry text: removes the trailing separator, reduces empty lines, rewrites
// links, converts markup, trims, inverts in the current format and appends the text with its
// 0x00 terminator to `out`. Reads only its arguments, so entries may be finished on several
// threads at once.
void AppendFinishedEntryText(std::string_view text, const BuildOptions& options, bool new_format,
                             const MarkupContext& context, std::string& out,
                             ConversionBuffers& buffers);

// AppendFinishedEntryText onto the text stream. Sets in_lines_block back to false.
void FinishEntryText(std::string_view text, const BuildOptions& options, bool new_format,
                     const MarkupContext& context, ByteStream& text_stream, bool& in_lines_block);

}  // namespace tavrin
