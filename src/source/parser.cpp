#include "source/parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>

#include "source/text_util.h"

namespace tavrin {

namespace {

constexpr std::array<const char*, 19> kTagNames = {
    "link",  "h",    "l",     "r",    "c",   "ind", "n",   "b",  "i",   "u",
    "color", "mono", "lines", "size", "lit", "gre", "heb", "cp", "font"};

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

int TagTable::IndexOf(std::string_view name) const {
  auto it = std::find(tags.begin(), tags.end(), name);
  return it == tags.end() ? -1 : static_cast<int>(it - tags.begin());
}

TagTable BuildTagTable() {
  TagTable table;
  table.tags.assign(kTagNames.begin(), kTagNames.end());
  table.link_types.assign(kLinkTypes.begin(), kLinkTypes.end());
  return table;
}

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

bool MarkupTagIsValid(std::string_view name, std::string_view tag) {
  if (name == "link" || name == "font") {
    auto value = TagValue(tag);
    return !value || !value->empty();
  }
  if (name == "h") {
    auto it = std::find_if(tag.begin(), tag.end(), IsDigit);
    return it != tag.end() && *it >= '1' && *it <= '5';
  }
  if (name == "ind" || name == "size" || name == "cp") {
    auto value = TagValue(tag);
    if (!value) return false;
    auto number = ParseInteger(*value);
    if (!number) return false;
    if (name == "ind") return *number >= 0;
    if (name == "size") return *number >= 1 && *number <= 5;
    return true;
  }
  if (name == "color") {
    auto value = TagValue(tag);
    if (!value) return false;
    auto number = ColourNumber(*value);
    return number && *number >= 0 && *number <= 30;
  }
  return tag.find('=') == std::string_view::npos;
}

std::string RewriteLinks(std::string_view text, const MarkupContext& context) {
  const LinkSettings& links = context.link_settings;
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

void UpdateLinesBlock(std::string_view line, bool& in_lines_block, const TextLocale& locale) {
  std::string lower = locale.Lower(TrimControl(line));
  std::string_view opening = "<lines>";
  std::string_view closing = "</lines>";
  if (lower.starts_with(opening)) in_lines_block = true;
  std::size_t at = lower.find(closing);
  if (at != std::string::npos && at + closing.size() == lower.size()) in_lines_block = false;
}

bool IsOpeningTagLine(std::string_view line, const MarkupContext& context) {
  std::string lower = context.locale.Lower(TrimControl(line));
  if (!IsTagsOnlyLine(lower)) return false;
  std::string_view last = std::string_view(lower).substr(lower.rfind('<') + 1);
  std::string_view name = CutBefore(
      last, [](char c) { return c == ' ' || c == '/' || IsDigit(c) || c == '=' || c == '>'; });
  return name == "br" || context.tag_table.IndexOf(name) >= 0;
}

bool IsClosingTagLine(std::string_view line, const MarkupContext& context) {
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
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, kBreak.size()) != kBreak) {
      result += text[i++];
      continue;
    }
    int run = 0;
    while (text.substr(i, kBreak.size()) == kBreak) {
      if (run < 2) result += kBreak;
      ++run;
      i += kBreak.size();
    }
  }
  return result;
}

}  // namespace

void FinishEntryText(std::string_view text, const BuildOptions& options, bool new_format,
                     const MarkupContext& context, ByteStream& text_stream, bool& in_lines_block) {
  // The reading loop puts a separator behind every line; the last one is not part of the text.
  // Text that does not end with it (from a stored module) loses nothing.
  std::string_view separator = options.join_lines ? std::string_view(" ") : kBreak;
  if (text.ends_with(separator)) text.remove_suffix(separator.size());

  std::string result(text);
  if (options.RemoveExtraEmptyLinesActive()) result = ReduceEmptyLines(result);
  result = RewriteLinks(result, context);
  result = ConvertEntryText(result, new_format, context);
  result.resize(TrimRightControl(result).size());
  if (new_format) result = InvertText(result);
  // The terminator goes on after the inversion: it is 0x00 in both formats.
  result.push_back('\0');
  text_stream.Append(result);
  in_lines_block = false;
}

}  // namespace tavrin
