// The markup conversion, written step by step as plainly as possible. Every search restarts at
// the beginning of the text, so the cost grows with the square of the entry's size; it is kept
// this way as the reference that faster versions are checked against.

#include <string>
#include <string_view>

#include "source/parser.h"

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

std::string ConvertEntryText(std::string_view source, bool keep_tags,
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
    if (context.tag_table.IndexOf(name) < 0) {
      t.copy[l] = kConsumedOpen;
      continue;
    }
    std::string closing = "</" + name + ">";
    std::size_t c = t.copy.find(closing);
    if (c == kNone || c < g) {
      t.copy[l] = kConsumedOpen;
      continue;
    }
    if (!MarkupTagIsValid(name, tag)) {
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

}  // namespace tavrin
