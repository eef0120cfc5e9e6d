#include "source/markup.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "source/entry_text_conversion.h"
#include "source/text_util.h"

namespace tavrin {

namespace {

constexpr std::array<const char*, 8> kLinkTypes = {"local",   "bible", "url",  "email",
                                                   "picture", "sound", "hint", "file"};

struct NamedColour {
  const char* name;
  int number;
};

constexpr std::array<NamedColour, 16> kColours = {{{"aqua", 15},
                                                   {"black", 16},
                                                   {"blue", 17},
                                                   {"fuchsia", 18},
                                                   {"gray", 19},
                                                   {"green", 20},
                                                   {"lime", 21},
                                                   {"maroon", 22},
                                                   {"navy", 23},
                                                   {"olive", 24},
                                                   {"purple", 25},
                                                   {"red", 26},
                                                   {"silver", 27},
                                                   {"teal", 28},
                                                   {"white", 29},
                                                   {"yellow", 30}}};

constexpr std::string_view kBreak = "\r\n";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Cuts `s` before the first byte that `stop` accepts.
template <typename Stop>
std::string_view CutBefore(std::string_view s, Stop stop) {
  auto it = std::find_if(s.begin(), s.end(), stop);
  return s.substr(0, static_cast<std::size_t>(it - s.begin()));
}

// An optionally signed decimal number that fits 32 bits; anything else does not convert.
std::optional<std::int32_t> ParseInteger(std::string_view s) {
  bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  if (s.empty() || (plus && s.front() == '-')) return std::nullopt;
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// The trimmed text between the tag's first "=" and its first ">"; nullopt when it has no "=".
std::optional<std::string_view> TagValue(std::string_view tag) {
  std::size_t eq = tag.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::size_t gt = tag.find('>', eq);
  if (gt == std::string_view::npos) gt = tag.size();
  return TrimControl(tag.substr(eq + 1, gt - eq - 1));
}

std::optional<int> ColourNumber(std::string_view value) {
  for (const NamedColour& colour : kColours) {
    if (value == colour.name) return colour.number;
  }
  auto number = ParseInteger(value);
  if (!number) return std::nullopt;
  return *number;
}

// The text in pieces, so that bytes RewriteLinks has put in are never searched again.
struct LinkPiece {
  enum Kind {
    kOpen,       // source text, searched by every step
    kFixed,      // inserted or already rewritten, never searched
    kAliasLink,  // "<link TARGET=" put in by an alias: matched only as a whole, by the folders
  };
  std::string text;
  std::string lower;
  Kind kind;
};

void AppendPiece(std::vector<LinkPiece>& pieces, std::string_view text, std::string_view lower,
                 LinkPiece::Kind kind) {
  if (text.empty()) return;
  pieces.push_back(LinkPiece{std::string(text), std::string(lower), kind});
}

// Splits every open piece at the occurrences of `pattern`; `on_match` appends what stands for
// each occurrence.
template <typename OnMatch>
std::vector<LinkPiece> SplitOpenPieces(std::vector<LinkPiece> pieces, std::string_view pattern,
                                       OnMatch on_match) {
  std::vector<LinkPiece> result;
  result.reserve(pieces.size());
  for (LinkPiece& piece : pieces) {
    if (piece.kind != LinkPiece::kOpen) {
      on_match.Other(result, piece);
      continue;
    }
    std::string_view text = piece.text;
    std::string_view lower = piece.lower;
    std::size_t from = 0;
    for (std::size_t at = lower.find(pattern); at != std::string_view::npos;
         at = lower.find(pattern, from)) {
      AppendPiece(result, text.substr(from, at - from), lower.substr(from, at - from),
                  LinkPiece::kOpen);
      on_match.Match(result, text.substr(at, pattern.size()));
      from = at + pattern.size();
    }
    AppendPiece(result, text.substr(from), lower.substr(from), LinkPiece::kOpen);
  }
  return result;
}

struct AliasReplacer {
  std::string replacement;
  std::string replacement_lower;
  void Match(std::vector<LinkPiece>& out, std::string_view) const {
    AppendPiece(out, replacement, replacement_lower, LinkPiece::kAliasLink);
  }
  void Other(std::vector<LinkPiece>& out, LinkPiece& piece) const {
    out.push_back(std::move(piece));
  }
};

struct FolderPrefixer {
  std::string_view pattern;
  std::string_view dir;
  void Match(std::vector<LinkPiece>& out, std::string_view found) const {
    AppendPiece(out, found, pattern, LinkPiece::kFixed);
    AppendPiece(out, dir, dir, LinkPiece::kFixed);
  }
  void Other(std::vector<LinkPiece>& out, LinkPiece& piece) const {
    bool alias_of_type = piece.kind == LinkPiece::kAliasLink && piece.lower == pattern;
    if (alias_of_type) piece.kind = LinkPiece::kFixed;
    out.push_back(std::move(piece));
    if (alias_of_type) AppendPiece(out, dir, dir, LinkPiece::kFixed);
  }
};

// The first test of the tag line checks: the line is made of tags only.
bool IsTagsOnlyLine(std::string_view line) {
  if (line.size() < 3 || line.front() != '<' || line.back() != '>') return false;
  while (!line.empty()) {
    if (line.front() != '<') return false;
    std::size_t gt = line.find('>');
    if (gt == std::string_view::npos) return false;
    line = TrimControl(line.substr(gt + 1));
  }
  return true;
}

}  // namespace

namespace {

// A name of 1 to 7 bytes as one number, its length in the top byte (0 for any other name,
// which no packed name equals).
std::uint64_t PackName(std::string_view name) {
  if (name.empty() || name.size() > kPackedNameBytes) return 0;
  std::uint64_t packed = static_cast<std::uint64_t>(name.size()) << 56;
  for (std::size_t k = 0; k < name.size(); ++k)
    packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[k])) << (8 * k);
  return packed;
}

// The slot of a name in the by-letter-and-length index, or -1 when it has none.
int LetterAndLengthSlot(std::string_view name) {
  if (name.empty() || name.size() > kPackedNameBytes || name[0] < 'a' || name[0] > 'z') return -1;
  return (name[0] - 'a') * static_cast<int>(kPackedNameBytes + 1) + static_cast<int>(name.size());
}

}  // namespace

TagTable::TagTable(std::span<const TagDefinition, kTagCount> definitions)
    : link_types(kLinkTypes.begin(), kLinkTypes.end()) {
  by_letter_and_length_.fill(-1);
  for (std::size_t k = 0; k < kTagCount; ++k) {
    const TagDefinition& tag = definitions[k];
    if (!IsReadableTagName(tag.name))
      throw std::invalid_argument("tag name '" + std::string(tag.name) + "' cannot be looked up");
    definitions_[k] = tag;
    closing_tags_[k] = "</" + std::string(tag.name) + ">";
    packed_names_[k] = PackName(tag.name);
    std::int8_t& entry =
        by_letter_and_length_[static_cast<std::size_t>(LetterAndLengthSlot(tag.name))];
    entry = entry == -1 ? static_cast<std::int8_t>(k) : std::int8_t{-2};
  }
}

int TagTable::IndexOf(std::string_view name) const {
  // Anything longer than the longest name is no tag.
  const std::uint64_t packed = PackName(name);
  if (packed == 0) return -1;
  const int slot = LetterAndLengthSlot(name);
  if (slot >= 0) {
    // NOLINTNEXTLINE(bugprone-signed-char-misuse): the table holds -1 for "no tag"
    const int kind = by_letter_and_length_[static_cast<std::size_t>(slot)];
    if (kind == -1) return -1;
    if (kind >= 0) return packed_names_[static_cast<std::size_t>(kind)] == packed ? kind : -1;
  }
  for (std::size_t k = 0; k < kTagCount; ++k)
    if (packed_names_[k] == packed) return static_cast<int>(k);
  return -1;
}

TagTable BuildTagTable() { return TagTable(); }

std::string MarkupTagName(std::string_view tag) {
  // Drop the brackets; the tag always runs from "<" to ">".
  std::string_view inner = tag.substr(1, tag.size() >= 2 ? tag.size() - 2 : 0);
  std::string_view name = inner;
  std::size_t eq = inner.find('=');
  if (eq != std::string_view::npos) {
    std::size_t blank = inner.find(' ');
    name = inner.substr(0, blank < eq ? blank : eq);
  }
  name = TrimControl(name);
  if (name.size() > 1) {
    name = CutBefore(name, [](char c) { return c == ' ' || IsDigit(c) || c == '=' || c == '>'; });
  }
  return std::string(name);
}

std::string TagRuleText(const TagDefinition& kind) {
  const std::string name = "<" + std::string(kind.name);
  constexpr auto kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr auto kHighest = std::numeric_limits<std::int32_t>::max();
  switch (kind.rule) {
    case TagRule::kNone:
      return name + "> takes no \"=\"";
    case TagRule::kOptional:
      return "the value after \"=\" of " + name + "> must not be blank";
    case TagRule::kHeading:
      return "the level of " + name + "> must be a digit from " + std::to_string(kind.low) +
             " to " + std::to_string(kind.high);
    case TagRule::kNumber:
      if (kind.low == kLowest && kind.high == kHighest)
        return name + "> needs \"=\" and an integer";
      if (kind.high == kHighest)
        return name + "> needs \"=\" and an integer of " + std::to_string(kind.low) + " or more";
      return name + "> needs \"=\" and an integer from " + std::to_string(kind.low) + " to " +
             std::to_string(kind.high);
    case TagRule::kColour:
      return name + "> needs \"=\" and a colour name or a number from " + std::to_string(kind.low) +
             " to " + std::to_string(kind.high);
  }
  return {};
}

bool MarkupTagIsValid(const TagDefinition& kind, std::string_view tag) {
  const auto in_range = [&](std::int32_t number) {
    return number >= kind.low && number <= kind.high;
  };
  switch (kind.rule) {
    case TagRule::kNone:
      return tag.find('=') == std::string_view::npos;
    case TagRule::kOptional: {
      auto value = TagValue(tag);
      return !value || !value->empty();
    }
    case TagRule::kHeading: {
      auto it = std::find_if(tag.begin(), tag.end(), IsDigit);
      return it != tag.end() && in_range(*it - '0');
    }
    case TagRule::kNumber: {
      auto value = TagValue(tag);
      if (!value) return false;
      auto number = ParseInteger(*value);
      return number && in_range(*number);
    }
    case TagRule::kColour: {
      auto value = TagValue(tag);
      if (!value) return false;
      auto number = ColourNumber(*value);
      return number && in_range(*number);
    }
  }
  return false;
}

namespace {

// Whether "<link " occurs in the text in any case: without it no rule of the rewriting can act.
bool HasLinkTag(std::string_view text, const TextLocale& locale) {
  constexpr std::string_view kLinkOpen = "<link ";
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (text.size() - at < kLinkOpen.size()) return false;
    std::size_t k = 1;
    while (k < kLinkOpen.size() && locale.LowerByte(text[at + k]) == kLinkOpen[k]) ++k;
    if (k == kLinkOpen.size()) return true;
  }
  return false;
}

// Whether RewriteLinks could change the text at all.
bool LinkRewritingMayApply(std::string_view text, const MarkupContext& context) {
  const LinkSettings& links = context.link_settings;
  const bool any_setting = !links.link_aliases.empty() || !links.pictures_dir.empty() ||
                           !links.sounds_dir.empty() || !links.files_dir.empty();
  return any_setting && HasLinkTag(text, context.locale);
}

}  // namespace

std::string RewriteLinks(std::string_view text, const MarkupContext& context) {
  const LinkSettings& links = context.link_settings;
  if (!LinkRewritingMayApply(text, context)) return std::string(text);
  std::vector<LinkPiece> pieces;
  AppendPiece(pieces, text, context.locale.Lower(text), LinkPiece::kOpen);

  for (const auto& [alias, target] : links.link_aliases) {
    std::string pattern = "<link " + context.locale.Lower(alias) + "=";
    std::string replacement = "<link " + target + "=";
    pieces = SplitOpenPieces(std::move(pieces), pattern,
                             AliasReplacer{replacement, context.locale.Lower(replacement)});
  }

  const std::pair<std::string_view, const std::string*> folders[] = {
      {"<link picture=", &links.pictures_dir},
      {"<link sound=", &links.sounds_dir},
      {"<link file=", &links.files_dir}};
  for (const auto& [pattern, dir] : folders) {
    if (dir->empty()) continue;
    pieces = SplitOpenPieces(std::move(pieces), pattern, FolderPrefixer{pattern, *dir});
  }

  std::string result;
  result.reserve(text.size());
  for (const LinkPiece& piece : pieces) result += piece.text;
  return result;
}

std::string InvertText(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(~static_cast<unsigned char>(c));
  return result;
}

namespace {

// Whether `text` at `pos` reads `pattern` once lower-cased.
bool LowerMatchesAt(std::string_view text, std::size_t pos, std::string_view pattern,
                    const TextLocale& locale) {
  if (pos > text.size() || text.size() - pos < pattern.size()) return false;
  for (std::size_t k = 0; k < pattern.size(); ++k)
    if (locale.LowerByte(text[pos + k]) != pattern[k]) return false;
  return true;
}

// The tag line tests look at trimmed lines that begin with "<" and end with ">" only; most
// lines are rejected here without a lower-cased copy.
bool MayBeTagLine(std::string_view trimmed, const TextLocale& locale) {
  return trimmed.size() >= 3 && locale.LowerByte(trimmed.front()) == '<' &&
         locale.LowerByte(trimmed.back()) == '>';
}

}  // namespace

void UpdateLinesBlock(std::string_view line, bool& in_lines_block, const TextLocale& locale) {
  // Called for every source line: compared in place instead of through a lower-cased copy.
  std::string_view trimmed = TrimControl(line);
  std::string_view opening = "<lines>";
  std::string_view closing = "</lines>";
  if (LowerMatchesAt(trimmed, 0, opening, locale)) in_lines_block = true;
  if (trimmed.size() >= closing.size() &&
      LowerMatchesAt(trimmed, trimmed.size() - closing.size(), closing, locale)) {
    // The first occurrence must be the one at the end.
    bool earlier = false;
    for (std::size_t at = 0; at + closing.size() < trimmed.size() && !earlier; ++at)
      earlier = LowerMatchesAt(trimmed, at, closing, locale);
    if (!earlier) in_lines_block = false;
  }
}

bool IsOpeningTagLine(std::string_view line, const MarkupContext& context) {
  if (!MayBeTagLine(TrimControl(line), context.locale)) return false;
  std::string lower = context.locale.Lower(TrimControl(line));
  if (!IsTagsOnlyLine(lower)) return false;
  std::string_view last = std::string_view(lower).substr(lower.rfind('<') + 1);
  std::string_view name = CutBefore(
      last, [](char c) { return c == ' ' || c == '/' || IsDigit(c) || c == '=' || c == '>'; });
  return name == "br" || context.tag_table.IndexOf(name) >= 0;
}

bool IsClosingTagLine(std::string_view line, const MarkupContext& context) {
  if (!MayBeTagLine(TrimControl(line), context.locale)) return false;
  std::string lower = context.locale.Lower(TrimControl(line));
  if (!IsTagsOnlyLine(lower)) return false;
  std::string_view first = std::string_view(lower).substr(1);
  std::string_view name =
      CutBefore(first, [](char c) { return c == ' ' || IsDigit(c) || c == '=' || c == '>'; });
  return name.starts_with('/') && context.tag_table.IndexOf(name.substr(1)) >= 0;
}

namespace {

// Cuts every run of three or more line breaks down to two, so no more than one empty line
// stands anywhere.
std::string ReduceEmptyLines(std::string_view text) {
  constexpr std::string_view kThreeBreaks = "\r\n\r\n\r\n";
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = text.find(kThreeBreaks); at != std::string_view::npos;
       at = text.find(kThreeBreaks, from)) {
    // The first match lies at the start of its run of line breaks: keep two, skip the rest.
    result.append(text.substr(from, at + 2 * kBreak.size() - from));
    from = at + 2 * kBreak.size();
    while (text.substr(from, kBreak.size()) == kBreak) from += kBreak.size();
  }
  result.append(text.substr(from));
  return result;
}

}  // namespace

namespace {

// The entry's finished text without its terminator, left in buffers.text.
std::string_view FinishInto(std::string_view text, const BuildOptions& options, bool new_format,
                            const MarkupContext& context, ConversionBuffers& buffers) {
  // The reading loop puts a separator behind every line; the last one is not part of the text.
  // Text that does not end with it (from a stored module) loses nothing.
  std::string_view separator = options.join_lines ? std::string_view(" ") : kBreak;
  if (text.ends_with(separator)) text.remove_suffix(separator.size());

  // Entries run to megabytes: no stage makes a copy that it can do without. Without link
  // settings that apply, the empty lines are reduced within the conversion's own pass.
  if (LinkRewritingMayApply(text, context)) {
    std::string reduced;
    if (options.RemoveExtraEmptyLinesActive()) {
      reduced = ReduceEmptyLines(text);
      text = reduced;
    }
    std::string linked = RewriteLinks(text, context);
    std::string().swap(reduced);
    ConvertEntryTextInto(linked, new_format, false, context, buffers);
  } else {
    ConvertEntryTextInto(text, new_format, options.RemoveExtraEmptyLinesActive(), context, buffers);
  }
  // The working copy of a large entry is not kept for the next one, nor held while the
  // finished text is copied out.
  if (buffers.copy.capacity() > ConversionBuffers::kKeptBytes) std::string().swap(buffers.copy);

  std::string& result = buffers.text;
  result.resize(TrimRightControl(result).size());
  if (new_format) {
    for (char& c : result) c = static_cast<char>(~static_cast<unsigned char>(c));
  }
  return result;
}

}  // namespace

void AppendFinishedEntryText(std::string_view text, const BuildOptions& options, bool new_format,
                             const MarkupContext& context, std::string& out,
                             ConversionBuffers& buffers) {
  const std::string_view finished = FinishInto(text, options, new_format, context, buffers);
  // Room for the text and its terminator at once: growing twice would hold a large text three
  // times over for a moment. Growth stays geometric whatever the library's reserve does.
  const std::size_t needed = out.size() + finished.size() + 1;
  if (needed > out.capacity()) out.reserve(std::max(needed, 2 * out.capacity()));
  out += finished;
  // The terminator goes on after the inversion: it is 0x00 in both formats.
  out += '\0';
}

void FinishEntryText(std::string_view text, const BuildOptions& options, bool new_format,
                     const MarkupContext& context, ByteStream& text_stream, bool& in_lines_block) {
  ConversionBuffers buffers;
  text_stream.Append(FinishInto(text, options, new_format, context, buffers));
  text_stream.AppendByte(0);
  in_lines_block = false;
}

}  // namespace tavrin
