// The text pipeline written step by step as plainly as possible. Every search restarts at the
// beginning of the text, so the cost grows with the square of the entry's size; it is kept this
// way as the reference that the fast versions are checked against.

#include "support/reference_conversion.h"

#include <string>
#include <string_view>
#include <vector>

#include "source/text_util.h"

namespace tavrin {

namespace {

// Bytes of the working copy: consumed brackets, and the marker that holds a literal break (before
// the tag scan) or a removed line break (during it) in place.
constexpr char kConsumedOpen = '\x8B';
constexpr char kConsumedClose = '\x9B';
constexpr char kMarker = '\xA4';

constexpr std::string_view kLiteralBreak = "<lit><br></lit>";
constexpr std::string_view kLiteralBreakText = "<lit><BR></lit>";
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kHeldLineBreak = "\xA4\xA4";

// The source text and its lower-cased working copy, edited together so positions stay aligned.
struct AlignedText {
  std::string text;
  std::string copy;

  void Replace(std::size_t pos, std::size_t length, std::string_view text_bytes,
               std::string_view copy_bytes) {
    text.replace(pos, length, text_bytes);
    copy.replace(pos, length, copy_bytes);
  }
  void Replace(std::size_t pos, std::size_t length, std::string_view bytes) {
    Replace(pos, length, bytes, bytes);
  }
  void Erase(std::size_t pos, std::size_t length) { Replace(pos, length, {}); }
  bool CopyHas(std::size_t pos, std::string_view bytes) const {
    return pos <= copy.size() && std::string_view(copy).substr(pos, bytes.size()) == bytes;
  }
};

constexpr std::size_t kNone = std::string::npos;

}  // namespace

std::string ConvertEntryTextReference(std::string_view source, bool keep_tags,
                                      const MarkupContext& context) {
  AlignedText t{std::string(source), context.locale.Lower(source)};
  std::size_t p;

  // Literal breaks are set aside so that they never become line breaks.
  while ((p = t.copy.find(kLiteralBreak)) != kNone) t.Replace(p, kLiteralBreak.size(), "\xA4");

  // Blanks around breaks go (tabs stay), then the breaks become line breaks.
  while ((p = t.copy.find(" <br>")) != kNone) t.Erase(p, 1);
  while ((p = t.copy.find("<br> ")) != kNone) t.Erase(p + 4, 1);
  while ((p = t.copy.find("<br>")) != kNone) t.Replace(p, 4, kLineBreak);

  // Every marker byte, including one that came in with the text, is a literal break.
  while ((p = t.copy.find(kMarker)) != kNone) {
    t.Replace(p, 1, kLiteralBreakText, kLiteralBreak);
  }

  // The tag scan: one "<" is settled per pass, in text order.
  std::size_t l;
  while ((l = t.copy.find('<')) != kNone) {
    std::size_t g = t.copy.find('>');
    if (g == kNone) {
      t.copy[l] = kConsumedOpen;
      continue;
    }
    if (g < l) {
      t.copy[g] = kConsumedClose;
      continue;
    }
    std::string tag = t.copy.substr(l, g - l + 1);
    std::string name = MarkupTagName(tag);
    const int kind = context.tag_table.IndexOf(name);
    if (kind < 0) {
      t.copy[l] = kConsumedOpen;
      continue;
    }
    std::string closing = "</" + name + ">";
    std::size_t c = t.copy.find(closing);
    if (c == kNone || c < g) {
      t.copy[l] = kConsumedOpen;
      continue;
    }
    if (!MarkupTagIsValid(context.tag_table.Definition(kind), tag)) {
      t.copy[l] = kConsumedOpen;
      continue;
    }

    // One line break directly inside each end of the pair goes; it is held by markers until the
    // scan is over.
    if (t.CopyHas(g + 1, kLineBreak)) t.Replace(g + 1, kLineBreak.size(), kHeldLineBreak);
    if (c >= 2 && t.CopyHas(c - 2, kLineBreak)) {
      t.Replace(c - 2, kLineBreak.size(), kHeldLineBreak);
    }

    if (keep_tags) {
      t.copy[l] = kConsumedOpen;
      t.copy[g] = kConsumedClose;
      t.copy[c] = kConsumedOpen;
      t.copy[c + closing.size() - 1] = kConsumedClose;
    } else {
      t.Erase(c, closing.size());
      t.Erase(l, g - l + 1);
    }
  }

  std::string result;
  result.reserve(t.text.size());
  for (char ch : t.text) {
    if (ch != kMarker) result += ch;
  }
  return result;
}

namespace {

// Marks of the link rewriting's working copy: bytes that may still be searched, the first and the
// other bytes of a "<link TARGET=" that an alias put in (found by the folders only as a whole),
// and bytes that are never searched again.
constexpr char kOpenByte = 'o';
constexpr char kAliasStart = 'A';
constexpr char kAliasByte = 'a';
constexpr char kFixedByte = 'f';

struct LinkWork {
  std::string text;
  std::string copy;
  std::string marks;

  // The first occurrence of `pattern` in the copy that lies on open bytes only, or (when
  // `alias_whole` is set) that is exactly one alias-made link.
  std::size_t Find(std::string_view pattern, bool alias_whole) const {
    for (std::size_t p = copy.find(pattern); p != std::string::npos;
         p = copy.find(pattern, p + 1)) {
      std::string_view m = std::string_view(marks).substr(p, pattern.size());
      if (m.find_first_not_of(kOpenByte) == std::string_view::npos) return p;
      bool whole_alias =
          m[0] == kAliasStart &&
          m.substr(1).find_first_not_of(kAliasByte) == std::string_view::npos &&
          (p + pattern.size() == marks.size() || marks[p + pattern.size()] != kAliasByte);
      if (alias_whole && whole_alias) return p;
    }
    return std::string::npos;
  }
};

}  // namespace

std::string RewriteLinksReference(std::string_view source, const MarkupContext& context) {
  const LinkSettings& links = context.link_settings;
  LinkWork w{std::string(source), context.locale.Lower(source),
             std::string(source.size(), kOpenByte)};
  std::size_t p;
  for (const auto& [alias, target] : links.link_aliases) {
    std::string pattern = "<link " + context.locale.Lower(alias) + "=";
    std::string replacement = "<link " + target + "=";
    std::string alias_marks(replacement.size(), kAliasByte);
    alias_marks[0] = kAliasStart;
    while ((p = w.Find(pattern, false)) != std::string::npos) {
      w.text.replace(p, pattern.size(), replacement);
      w.copy.replace(p, pattern.size(), context.locale.Lower(replacement));
      w.marks.replace(p, pattern.size(), alias_marks);
    }
  }
  const std::pair<std::string_view, const std::string*> folders[] = {
      {"<link picture=", &links.pictures_dir},
      {"<link sound=", &links.sounds_dir},
      {"<link file=", &links.files_dir}};
  for (const auto& [pattern, dir] : folders) {
    if (dir->empty()) continue;
    while ((p = w.Find(pattern, true)) != std::string::npos) {
      std::size_t behind = p + pattern.size();
      w.text.insert(behind, *dir);
      w.copy.insert(behind, *dir);
      w.marks.replace(p, pattern.size(), pattern.size(), kFixedByte);
      w.marks.insert(behind, dir->size(), kFixedByte);
    }
  }
  return w.text;
}

std::string ReduceEmptyLinesReference(std::string_view source) {
  std::string text(source);
  std::size_t p;
  while ((p = text.find("\r\n\r\n\r\n")) != std::string::npos) text.erase(p, 2);
  return text;
}

std::string InvertTextReference(std::string_view source) {
  std::string text;
  for (char c : source) text += static_cast<char>(255 - static_cast<unsigned char>(c));
  return text;
}

void FinishEntryTextReference(std::string_view source, const BuildOptions& options, bool new_format,
                              const MarkupContext& context, ByteStream& text_stream,
                              bool& in_lines_block) {
  std::string text(source);
  std::string_view separator = options.join_lines ? std::string_view(" ") : kLineBreak;
  if (std::string_view(text).ends_with(separator)) text.erase(text.size() - separator.size());
  if (options.RemoveExtraEmptyLinesActive()) text = ReduceEmptyLinesReference(text);
  text = RewriteLinksReference(text, context);
  text = ConvertEntryTextReference(text, new_format, context);
  while (!text.empty() && IsControlOrBlank(text.back())) text.pop_back();
  if (new_format) text = InvertTextReference(text);
  text += '\0';
  text_stream.Append(text);
  in_lines_block = false;
}

std::string CleanLineReference(std::string_view source, const BuildOptions& options,
                               bool in_lines_block) {
  std::string line(source);
  for (std::size_t i = 0; i < line.size() && line[i] == ' '; ++i) line[i] = kMarker;
  std::size_t p;
  if (options.remove_extra_spaces && !in_lines_block) {
    while ((p = line.find("  ")) != std::string::npos) line.erase(p, 1);
  }
  while ((p = line.find(kMarker)) != std::string::npos) line[p] = ' ';
  if (options.trim_leading_spaces && !in_lines_block) return std::string(TrimControl(line));
  return std::string(TrimRightControl(line));
}

}  // namespace tavrin
