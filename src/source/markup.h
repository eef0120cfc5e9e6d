#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "module/byte_stream.h"
#include "platform/text_locale.h"
#include "source/build_options.h"

// The markup conversion: the tag table, the link settings of header files, the line tests of the
// reading loop and the finishing of every entry's text.

namespace tavrin {

// What a tag may carry behind its name.
enum class TagRule : std::uint8_t {
  kNone,      // no "=" at all
  kOptional,  // link, font: a value, when there is an "=", that is not empty
  kHeading,   // h: the first digit of the tag lies in the range
  kNumber,    // ind, size, cp: an integer in the range
  kColour,    // color: a colour name or an integer whose number lies in the range
};

// One tag of the markup language.
struct TagDefinition {
  std::string_view name;  // lower-case letters a-z
  TagRule rule = TagRule::kNone;
  // The range the rule's number must lie in (the heading's digit, the value, the colour).
  std::int32_t low = 0;
  std::int32_t high = 0;
};

// The tags, one row each; a tag's kind is its row's index. Their number, the closing tags and
// the limits of the fast tag scan are all derived from these rows, so a new tag is one row here
// (plus its tests).
inline constexpr auto kTagDefinitions = std::to_array<TagDefinition>({
    {"link", TagRule::kOptional},
    {"h", TagRule::kHeading, 1, 5},
    {"l"},
    {"r"},
    {"c"},
    {"ind", TagRule::kNumber, 0, std::numeric_limits<std::int32_t>::max()},
    {"n"},
    {"b"},
    {"i"},
    {"u"},
    {"color", TagRule::kColour, 0, 30},
    {"mono"},
    {"lines"},
    {"size", TagRule::kNumber, 1, 5},
    {"lit"},
    {"gre"},
    {"heb"},
    {"cp", TagRule::kNumber, std::numeric_limits<std::int32_t>::min(),
     std::numeric_limits<std::int32_t>::max()},
    {"font", TagRule::kOptional},
});

inline constexpr std::size_t kTagCount = kTagDefinitions.size();

// The longest tag name: the fast scan reads names only up to this length.
inline constexpr std::size_t kLongestTagName = [] {
  std::size_t longest = 0;
  for (const TagDefinition& tag : kTagDefinitions) longest = std::max(longest, tag.name.size());
  return longest;
}();

// Whether a name is one the lookups and the fast scan can read: 1 to kLongestTagName letters a-z.
constexpr bool IsReadableTagName(std::string_view name) {
  if (name.empty() || name.size() > kLongestTagName) return false;
  for (char c : name)
    if (c < 'a' || c > 'z') return false;
  return true;
}

// The tag lookup packs a name into the low seven bytes of a number and keeps kinds in signed
// bytes.
inline constexpr std::size_t kPackedNameBytes = 7;
static_assert(kLongestTagName <= kPackedNameBytes, "a tag name does not fit the packed lookup");
static_assert(kTagCount < 128, "tag kinds are kept in signed bytes");
static_assert(
    [] {
      for (const TagDefinition& tag : kTagDefinitions)
        if (!IsReadableTagName(tag.name)) return false;
      return true;
    }(),
    "tag names are lower-case letters a-z");

// The tags and the link types beside them, with the lookups the conversion asks for on every
// tag. Built once and never changed.
class TagTable {
 public:
  // Refuses (std::invalid_argument) names that are not IsReadableTagName.
  explicit TagTable(std::span<const TagDefinition, kTagCount> definitions = kTagDefinitions);

  std::vector<std::string> link_types;  // local, bible, url, email, picture, sound, hint, file

  // Index of a lower-case tag name, -1 when it is not a tag.
  int IndexOf(std::string_view name) const;
  const TagDefinition& Definition(int kind) const {
    return definitions_[static_cast<std::size_t>(kind)];
  }
  // "</" + name + ">": a heading's is "</h>" whatever its digit.
  std::string_view ClosingTag(int kind) const {
    return closing_tags_[static_cast<std::size_t>(kind)];
  }

 private:
  std::array<TagDefinition, kTagCount> definitions_;
  std::array<std::string, kTagCount> closing_tags_;
  // Names packed into numbers, so that a lookup costs no string comparison.
  std::array<std::uint64_t, kTagCount> packed_names_{};
  // The one kind whose name has this first letter (a-z) and length, -1 for none, -2 when
  // several share them.
  std::array<std::int8_t, 26 * (kPackedNameBytes + 1)> by_letter_and_length_{};
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
// Whether the tag passes the attribute rule of its kind.
bool MarkupTagIsValid(const TagDefinition& kind, std::string_view tag);
// The rule in words, for messages ("the value after \"=\" must be an integer from 1 to 5").
std::string TagRuleText(const TagDefinition& kind);

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
using ClosingTagLists = std::array<std::vector<std::size_t>, kTagCount>;

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
