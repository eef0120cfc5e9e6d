#include "import/entry_composer.h"

#include <array>
#include <cstdio>

#include "import/marked_text_writer.h"
#include "platform/text_locale.h"

namespace tavrin {

enum class EntryComposer::Action {
  kText,       // only its text
  kInline,     // a Tavrin tag pair around its text
  kBlock,      // its own lines
  kBreak,      // a line break
  kHeading,    // a heading line
  kNote,       // its text in brackets where it stands
  kReference,  // a link
  kHidden,     // no text at all
  kList,
  kItem,
  kRow,
  kCell,
  kLineGroup,  // a <lines> block
  kLine,       // one line of poetry
  kPicture,
  kPre,
};

namespace {

// Greek Extended (U+1F00..U+1FFF) by its base letter: a e h i o u w r for alpha, epsilon, eta,
// iota, omicron, upsilon, omega, rho, capitals for capitals; "." for signs that are dropped.
constexpr std::string_view kGreekExtended =
    "aaaaaaaaAAAAAAAA"
    "eeeeee..EEEEEE.."
    "hhhhhhhhHHHHHHHH"
    "iiiiiiiiIIIIIIII"
    "oooooo..OOOOOO.."
    "uuuuuuuu.U.U.U.U"
    "wwwwwwwwWWWWWWWW"
    "aaeehhiioouuww.."
    "aaaaaaaaAAAAAAAA"
    "hhhhhhhhHHHHHHHH"
    "wwwwwwwwWWWWWWWW"
    "aaaaa.aaAAAAA.i."
    "..hhh.hhEEHHH..."
    "iiii..iiIIII...."
    "uuuurruuUUUUR..."
    "..www.wwOOWWW...";
static_assert(kGreekExtended.size() == 256);

char32_t GreekBase(char letter) {
  switch (letter) {
    case 'a':
      return U'\u03B1';
    case 'e':
      return U'\u03B5';
    case 'h':
      return U'\u03B7';
    case 'i':
      return U'\u03B9';
    case 'o':
      return U'\u03BF';
    case 'u':
      return U'\u03C5';
    case 'w':
      return U'\u03C9';
    case 'r':
      return U'\u03C1';
    case 'A':
      return U'\u0391';
    case 'E':
      return U'\u0395';
    case 'H':
      return U'\u0397';
    case 'I':
      return U'\u0399';
    case 'O':
      return U'\u039F';
    case 'U':
      return U'\u03A5';
    case 'W':
      return U'\u03A9';
    case 'R':
      return U'\u03A1';
    default:
      return 0;
  }
}

// Decodes one UTF-8 character at `pos` (moving it on); U+FFFD for a broken sequence.
char32_t NextChar(std::string_view text, std::size_t& pos) {
  unsigned char c = static_cast<unsigned char>(text[pos++]);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0) return 0xFFFD;
  char32_t value = c & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) return 0xFFFD;
    value = (value << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
  }
  return value;
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

enum class Script { kNeutral, kGreek, kHebrew, kOther };

Script ScriptOf(char32_t c) {
  if ((c >= 0x370 && c <= 0x3FF) || (c >= 0x1F00 && c <= 0x1FFF)) return Script::kGreek;
  if ((c >= 0x591 && c <= 0x5F4) || (c >= 0xFB1D && c <= 0xFB4F)) return Script::kHebrew;
  if (c >= 0x300 && c <= 0x36F) return Script::kNeutral;  // combining accents
  if (c < 0x80) {
    bool letter_or_digit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return letter_or_digit ? Script::kOther : Script::kNeutral;
  }
  return Script::kOther;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The Tavrin tags of an emphasis named by words ("bold", "italic underline").
std::pair<std::string, std::string> EmphasisTags(std::string_view words) {
  std::string open, close;
  auto has = [&](std::string_view word) { return words.find(word) != std::string_view::npos; };
  if (has("bold")) open += "<b>", close = "</b>" + close;
  if (has("italic") || has("emphasis") || has("ital")) open += "<i>", close = "</i>" + close;
  if (has("underline")) open += "<u>", close = "</u>" + close;
  return {open, close};
}

constexpr std::string_view kColourNames[] = {
    "aqua", "black", "blue",   "fuchsia", "gray",   "green", "lime",  "maroon",
    "navy", "olive", "purple", "red",     "silver", "teal",  "white", "yellow"};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool Centred(const MarkupAttributes& attributes) {
  std::string style = Lower(AttributeValue(attributes, "style"));
  return Lower(AttributeValue(attributes, "align")) == "center" ||
         style.find("text-align:center") != std::string::npos ||
         style.find("text-align: center") != std::string::npos;
}

// The text of a line without its tags.
std::string VisibleText(std::string_view line) {
  std::string out;
  bool in_tag = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line.compare(i, 12, "<lit><</lit>") == 0) {
      out += '<';
      i += 11;
    } else if (line[i] == '<') {
      in_tag = true;
    } else if (line[i] == '>' && in_tag) {
      in_tag = false;
    } else if (!in_tag) {
      out += line[i];
    }
  }
  return out;
}

}  // namespace

// A web address as a link's value can hold it: no blank, no line break, no bracket.
static std::string LinkValue(std::string_view address) {
  std::string out;
  for (char c : address) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '<' || c == '>') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string BibleLinkTarget(const BibleRef& ref, const std::vector<std::string>& book_names) {
  std::string book = ref.book >= 1 && static_cast<std::size_t>(ref.book) <= book_names.size()
                         ? book_names[static_cast<std::size_t>(ref.book - 1)]
                         : std::string(BookKeyName(ref.book));
  return book + " " + std::to_string(ref.chapter) + ":" + std::to_string(ref.verse);
}

EntryComposer::EntryComposer(const ComposerSettings& settings, ImportFindings& findings)
    : settings_(settings), findings_(findings) {
  // The module's texts are stored complemented, so the byte 0xFF would end them there.
  last_byte_char_ = CodePageToUtf8(settings.module_code_page, "\xFF");
  if (last_byte_char_ == "\u00FF")
    last_byte_stand_in_ = "y";
  else if (last_byte_char_ == "\u02D9")
    last_byte_stand_in_ = "'";
  else
    last_byte_stand_in_ = "?";
}

EntryComposer::Action EntryComposer::ActionOf(std::string_view name,
                                              const MarkupAttributes& attributes) const {
  struct Row {
    std::string_view name;
    Action action;
  };
  static constexpr Row kRows[] = {
      {"script", Action::kHidden},
      {"style", Action::kHidden},
      {"noscript", Action::kHidden},
      {"header", Action::kHidden},
      {"br", Action::kBreak},
      {"lb", Action::kBreak},
      {"hr", Action::kBreak},
      {"p", Action::kBlock},
      {"div", Action::kBlock},
      {"entryfree", Action::kBlock},
      {"superentry", Action::kBlock},
      {"section", Action::kBlock},
      {"article", Action::kBlock},
      {"blockquote", Action::kBlock},
      {"center", Action::kBlock},
      {"dl", Action::kBlock},
      {"dt", Action::kBlock},
      {"dd", Action::kBlock},
      {"figure", Action::kBlock},
      {"figcaption", Action::kBlock},
      {"address", Action::kBlock},
      {"footer", Action::kBlock},
      {"nav", Action::kBlock},
      {"aside", Action::kBlock},
      {"body", Action::kBlock},
      {"table", Action::kBlock},
      {"caption", Action::kBlock},
      {"div1", Action::kBlock},
      {"div2", Action::kBlock},
      {"div3", Action::kBlock},
      {"div4", Action::kBlock},
      {"div5", Action::kBlock},
      {"div6", Action::kBlock},
      {"list", Action::kList},
      {"ul", Action::kList},
      {"ol", Action::kList},
      {"item", Action::kItem},
      {"li", Action::kItem},
      {"row", Action::kRow},
      {"tr", Action::kRow},
      {"cell", Action::kCell},
      {"td", Action::kCell},
      {"th", Action::kCell},
      {"lg", Action::kLineGroup},
      {"l", Action::kLine},
      {"note", Action::kNote},
      {"reference", Action::kReference},
      {"scripref", Action::kReference},
      {"ref", Action::kReference},
      {"img", Action::kPicture},
      {"pre", Action::kPre},
      {"title", Action::kHeading},
      {"h1", Action::kHeading},
      {"h2", Action::kHeading},
      {"h3", Action::kHeading},
      {"h4", Action::kHeading},
      {"h5", Action::kHeading},
      {"h6", Action::kHeading},
      {"head", Action::kHeading},
  };
  if (name == "a")
    return AttributeValue(attributes, "href").empty() ? Action::kText : Action::kReference;
  if (name == "milestone") {
    std::string_view type = AttributeValue(attributes, "type");
    return type == "line" || type == "x-p" || type == "x-line" || type == "cQuote" ? Action::kBreak
                                                                                   : Action::kText;
  }
  for (const Row& row : kRows)
    if (row.name == name) return row.action;
  return Action::kText;
}

void EntryComposer::FlushSpace() {
  if (pending_space_ && line_has_text_) line_ += ' ';
  pending_space_ = false;
}

void EntryComposer::BreakLine() {
  pending_space_ = false;
  while (!line_.empty() && line_.back() == ' ') line_.pop_back();
  if (!line_.empty()) lines_.push_back(std::move(line_));
  line_.clear();
  line_has_text_ = false;
}

void EntryComposer::OpenInline(Frame& frame, std::string_view tags, std::string_view closing) {
  FlushSpace();
  frame.position = line_.size();
  line_ += tags;
  frame.after_open = line_.size();
  frame.closing = closing;
}

void EntryComposer::StartElement(std::string_view name, const MarkupAttributes& attributes,
                                 InputPosition at) {
  Frame frame{Action::kText, {}, lines_.size(), line_.size(), line_.size(), {}, {}, at};
  frame.action = ActionOf(name, attributes);
  if (frame.action == Action::kHeading && name == "head" && html_) frame.action = Action::kHidden;
  if (frame.action == Action::kHidden || Hidden()) {
    frame.action = Action::kHidden;
    ++hidden_;
    frames_.push_back(std::move(frame));
    return;
  }
  if (naming_) {
    if (frame.action == Action::kBreak || frame.action == Action::kBlock) name_ += ' ';
    frame.action = Action::kText;
    frames_.push_back(std::move(frame));
    return;
  }
  switch (frame.action) {
    case Action::kText:
    case Action::kInline: {
      std::string open, close;
      if (name == "b" || name == "strong") {
        open = "<b>", close = "</b>";
      } else if (name == "i" || name == "em" || name == "cite" || name == "var" || name == "dfn" ||
                 name == "transchange") {
        open = "<i>", close = "</i>";
      } else if (name == "u" || name == "ins") {
        open = "<u>", close = "</u>";
      } else if (name == "tt" || name == "code" || name == "kbd" || name == "samp") {
        open = "<mono>", close = "</mono>";
      } else if (name == "q" && html_) {
        // Browsers put quotation marks around it.
        frame.action = Action::kInline;
        OpenInline(frame, "\u201C", "\u201D");
        line_has_text_ = entry_has_text_ = true;
      } else if (name == "font") {
        std::string colour = Lower(AttributeValue(attributes, "color"));
        for (std::string_view known : kColourNames)
          if (colour == known) open = "<color=" + colour + ">", close = "</color>";
      } else {
        std::string words = Lower(AttributeValue(attributes, "rend"));
        if (name == "hi" || name == "emph")
          words += " " + Lower(AttributeValue(attributes, "type"));
        if (name == "emph" && words == " ") words = "italic";
        std::tie(open, close) = EmphasisTags(words);
      }
      if (!open.empty()) {
        frame.action = Action::kInline;
        OpenInline(frame, open, close);
      }
      break;
    }
    case Action::kBreak:
      BreakLine();
      break;
    case Action::kBlock:
    case Action::kRow:
      BreakLine();
      if (name == "blockquote")
        OpenInline(frame, "<ind=1>", "</ind>");
      else if (name == "center" || Centred(attributes))
        OpenInline(frame, "<c>", "</c>");
      frame.line_count = lines_.size();
      break;
    case Action::kList:
      BreakLine();
      frame.ordered = name == "ol" || AttributeValue(attributes, "type") == "x-ordered";
      frame.counter = 1;
      break;
    case Action::kItem: {
      BreakLine();
      std::string mark = "\u2022 ";
      for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
        if (it->action != Action::kList) continue;
        if (it->ordered) mark = std::to_string(it->counter++) + ". ";
        break;
      }
      line_ += mark;
      break;
    }
    case Action::kCell:
      pending_space_ = true;
      break;
    case Action::kLineGroup:
    case Action::kPre:
      BreakLine();
      lines_.emplace_back(frame.action == Action::kPre ? "<lines><mono>" : "<lines>");
      frame.line_count = lines_.size();
      if (frame.action == Action::kPre) ++preformatted_;
      break;
    case Action::kLine:
      BreakLine();
      break;
    case Action::kHeading: {
      int level = 3;
      if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6')
        level = std::min(name[1] - '0', 5);
      BreakLine();
      OpenInline(frame, "<h" + std::to_string(level) + ">", "</h>");
      frame.line_count = lines_.size();
      break;
    }
    case Action::kNote:
      if (line_has_text_) pending_space_ = true;
      OpenInline(frame, "[", "]");
      break;
    case Action::kReference:
      StartReference(frame, name, attributes);
      break;
    case Action::kPicture: {
      std::string_view alt = AttributeValue(attributes, "alt");
      findings_.Warn(file_, at, Message::kImportPictureAsText, {AttributeValue(attributes, "src")});
      if (!alt.empty()) Text(alt, at);
      break;
    }
    case Action::kHidden:
      break;
  }
  frames_.push_back(std::move(frame));
}

void EntryComposer::EndElement(std::string_view) {
  if (frames_.empty()) return;
  Frame frame = std::move(frames_.back());
  frames_.pop_back();
  if (frame.action == Action::kHidden) {
    --hidden_;
    return;
  }
  switch (frame.action) {
    case Action::kInline:
    case Action::kNote:
    case Action::kBlock:
    case Action::kHeading:
      if (!frame.closing.empty()) {
        bool same_line = lines_.size() == frame.line_count;
        if (same_line && line_.size() == frame.after_open) {
          line_.resize(frame.position);  // nothing inside: no empty pair
        } else {
          line_ += frame.closing;
        }
      }
      if (frame.action == Action::kBlock || frame.action == Action::kHeading) BreakLine();
      break;
    case Action::kReference:
      EndReference(frame);
      break;
    case Action::kList:
    case Action::kItem:
    case Action::kRow:
    case Action::kLine:
      BreakLine();
      break;
    case Action::kLineGroup:
    case Action::kPre:
      BreakLine();
      if (frame.action == Action::kPre) --preformatted_;
      if (frame.closing != "-" && !lines_.empty()) {
        if (lines_.size() == frame.line_count)
          lines_.pop_back();  // an empty group
        else
          lines_.emplace_back(frame.action == Action::kPre ? "</mono></lines>" : "</lines>");
      }
      break;
    case Action::kText:
    case Action::kBreak:
    case Action::kCell:
    case Action::kPicture:
    case Action::kHidden:
      break;
  }
}

void EntryComposer::StartReference(Frame& frame, std::string_view name,
                                   const MarkupAttributes& attributes) {
  FlushSpace();
  frame.position = line_.size();
  frame.after_open = line_.size();
  frame.closing = "</link>";
  RefReading reading;
  std::string_view value;
  if (!(value = AttributeValue(attributes, "osisref")).empty()) {
    reading = ReadOsisRef(value);
  } else if (!(value = AttributeValue(attributes, "passage")).empty()) {
    reading = ReadEnglishRef(value);
  } else if (!(value = AttributeValue(attributes, "target")).empty()) {
    std::size_t colon = value.find(':');
    std::string_view work = colon == std::string_view::npos ? "" : value.substr(0, colon);
    std::string_view key = colon == std::string_view::npos ? value : value.substr(colon + 1);
    if (settings_.local_key) {
      std::optional<std::string> local = settings_.local_key(work, key);
      // A name the link's value cannot hold stays text.
      if (local && local->find_first_of("<>\r\n") == std::string::npos) {
        frame.target = "local=" + *local;
        return;
      }
    }
    reading = ReadEnglishRef(value);
    if (reading.kind == RefReading::Kind::kNone) {
      frame.ref_text = value;
      frame.target = "-";  // leads outside the module
      return;
    }
  } else if (!(value = AttributeValue(attributes, "href")).empty()) {
    std::string lower = Lower(value.substr(0, 8));
    if (lower.starts_with("http://") || lower.starts_with("https://") ||
        lower.starts_with("ftp://")) {
      frame.target = "url=" + LinkValue(value);
    } else if (lower.starts_with("mailto:")) {
      frame.target = "email=" + LinkValue(value.substr(7));
    } else {
      frame.ref_text = value;
      frame.target = "-";
    }
    return;
  } else {
    return;  // read from its text at its end
  }
  frame.ref_text = value;
  if (reading.kind == RefReading::Kind::kVerse && settings_.in_map &&
      !settings_.in_map(reading.ref))
    reading.kind = RefReading::Kind::kNone;
  if (reading.kind == RefReading::Kind::kVerse) {
    frame.target = "bible=" + BibleLinkTarget(reading.ref, settings_.book_names);
  } else if (reading.kind == RefReading::Kind::kOutsideBook) {
    findings_.Warn(file_, frame.at, Message::kImportBookOutside,
                   {reading.book_text, "the reference is kept as text"});
    frame.target = "-";
    frame.ref_text.clear();
  } else {
    frame.target = "-";
  }
}

void EntryComposer::EndReference(Frame& frame) {
  if (naming_) return;
  std::string target = frame.target;
  bool same_line = lines_.size() == frame.line_count && line_.size() >= frame.position;
  if (target.empty() && same_line) {
    // No attribute: the reference is its text ("Ro 3:23").
    std::string shown = VisibleText(std::string_view(line_).substr(frame.position));
    RefReading reading = ReadEnglishRef(shown);
    if (reading.kind == RefReading::Kind::kVerse &&
        (!settings_.in_map || settings_.in_map(reading.ref)))
      target = "bible=" + BibleLinkTarget(reading.ref, settings_.book_names);
    else
      frame.ref_text = shown;
  }
  if (target.empty() || target == "-") {
    if (!frame.ref_text.empty())
      findings_.Warn(file_, frame.at, Message::kImportReferenceOutside, {frame.ref_text});
    return;
  }
  if (!same_line) return;  // a reference over several lines stays text
  if (line_.size() == frame.position) {
    std::string shown = target.substr(target.find('=') + 1);
    line_ += LiteralText(shown);
    line_has_text_ = entry_has_text_ = true;
  }
  line_.insert(frame.position, "<link " + target + ">");
  line_ += "</link>";
}

void EntryComposer::Text(std::string_view utf8, InputPosition at) {
  if (Hidden()) return;
  std::string valid;
  if (!IsWellFormedUtf8(utf8)) {
    findings_.Warn(file_, at, Message::kImportInvalidUtf8);
    valid = ValidUtf8(utf8);
    utf8 = valid;
  }
  if (naming_) {
    for (char c : utf8) {
      if (IsBlank(c)) {
        if (!name_.empty() && name_.back() != ' ') name_ += ' ';
      } else {
        name_ += c;
      }
    }
    return;
  }
  if (preformatted_ > 0) {
    std::size_t start = 0;
    while (start <= utf8.size()) {
      std::size_t end = utf8.find('\n', start);
      if (end == std::string_view::npos) end = utf8.size();
      std::string_view piece = utf8.substr(start, end - start);
      if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
      if (!piece.empty()) {
        AppendText(piece, at);
      }
      if (end == utf8.size()) break;
      // Empty lines of preformatted text stay empty lines.
      if (line_.empty()) lines_.emplace_back();
      BreakLine();
      start = end + 1;
    }
    return;
  }
  std::string replaced;
  if (!last_byte_char_.empty() && utf8.find(last_byte_char_) != std::string_view::npos) {
    replaced = utf8;
    for (std::size_t p = replaced.find(last_byte_char_); p != std::string::npos;
         p = replaced.find(last_byte_char_, p))
      replaced.replace(p, last_byte_char_.size(), last_byte_stand_in_);
    findings_.Warn(
        file_, at, Message::kImportLastByte,
        {last_byte_char_, std::to_string(settings_.module_code_page), last_byte_stand_in_});
    utf8 = replaced;
  }
  std::string collapsed;
  collapsed.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    if (IsBlank(utf8[i])) {
      pending_space_ = true;
      ++i;
      continue;
    }
    if (pending_space_) {
      if (!collapsed.empty() || line_has_text_) collapsed += ' ';
      pending_space_ = false;
    }
    std::size_t end = i;
    while (end < utf8.size() && !IsBlank(utf8[end])) ++end;
    collapsed.append(utf8, i, end - i);
    i = end;
  }
  if (!collapsed.empty()) AppendText(collapsed, at);
}

void EntryComposer::PlainText(std::string_view utf8, InputPosition at) {
  std::size_t start = 0;
  while (start <= utf8.size()) {
    std::size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    Text(utf8.substr(start, end - start), at);
    BreakLine();
    if (end == utf8.size()) break;
    start = end + 1;
  }
}

void EntryComposer::HeadingLine(int level, std::string_view text, InputPosition at) {
  BreakLine();
  line_ = "<h" + std::to_string(level) + ">";
  Text(text, at);
  line_ += "</h>";
  BreakLine();
}

void EntryComposer::AppendText(std::string_view text, InputPosition at) {
  // A "<" that ended the text before, now followed by what would make it a tag.
  if (text_ends_in_lt_ && !line_.empty() && line_.back() == '<' &&
      LiteralText(std::string("<") + text[0]).size() > 2) {
    line_.pop_back();
    line_ += "<lit><</lit>";
  }
  // Greek and Hebrew runs (with the blanks and signs between their words) go into their code
  // pages; the rest is written as it is.
  std::size_t pos = 0, plain_start = 0;
  while (pos < text.size()) {
    // ASCII never begins a run: only the other characters are decoded.
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    std::size_t char_start = pos;
    Script script = ScriptOf(NextChar(text, pos));
    if (script != Script::kGreek && script != Script::kHebrew) continue;
    // The run: this script and neutral characters, up to the last character of the script.
    std::size_t run_end = pos, scan = pos;
    while (scan < text.size()) {
      std::size_t next = scan;
      Script s = ScriptOf(NextChar(text, next));
      if (s == script)
        run_end = next;
      else if (s != Script::kNeutral)
        break;
      scan = next;
    }
    line_ += LiteralText(text.substr(plain_start, char_start - plain_start));
    AppendScript(text.substr(char_start, run_end - char_start), script == Script::kGreek, at);
    pos = plain_start = run_end;
  }
  line_ += LiteralText(text.substr(plain_start));
  line_has_text_ = entry_has_text_ = true;
  text_ends_in_lt_ = text.back() == '<';
}

void EntryComposer::AppendScript(std::string_view run, bool greek, InputPosition at) {
  std::string prepared;
  bool dropped = false;
  for (std::size_t pos = 0; pos < run.size();) {
    char32_t c = NextChar(run, pos);
    if (greek && c >= 0x1F00 && c <= 0x1FFF) {
      char32_t base = GreekBase(kGreekExtended[c - 0x1F00]);
      dropped = true;
      if (base) AppendUtf8(base, prepared);
    } else if (greek && c >= 0x300 && c <= 0x36F) {
      dropped = true;
    } else if (!greek && c >= 0x591 && c <= 0x5AF) {
      dropped = true;
    } else {
      AppendUtf8(c, prepared);
    }
  }
  const int code_page = greek ? 1253 : 1255;
  bool lossy = false;
  std::string bytes = Utf8ToCodePage(code_page, prepared, &lossy);
  if ((dropped || lossy) && !(greek ? warned_greek_ : warned_hebrew_)) {
    findings_.Warn(file_, at, greek ? Message::kImportGreekAccents : Message::kImportHebrewMarks);
    (greek ? warned_greek_ : warned_hebrew_) = true;
  }
  line_ += greek ? "<gre><cp=1253>" : "<heb><cp=1255>";
  line_ += LiteralText(CodePageToUtf8(settings_.module_code_page, bytes));
  line_ += greek ? "</cp></gre>" : "</cp></heb>";
}

void EntryComposer::BeginName() {
  naming_ = true;
  name_.clear();
}

std::string EntryComposer::EndName() {
  naming_ = false;
  while (!name_.empty() && name_.back() == ' ') name_.pop_back();
  std::size_t start = name_.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : name_.substr(start);
}

void EntryComposer::ResetElements() {
  frames_.clear();
  hidden_ = 0;
  preformatted_ = 0;
  naming_ = false;
}

bool EntryComposer::HasText() const { return entry_has_text_; }

std::vector<std::string> EntryComposer::TakeLines() {
  for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
    if (it->action == Action::kHidden) continue;
    if (it->action == Action::kLineGroup || it->action == Action::kPre) {
      BreakLine();
      if (it->closing != "-")
        lines_.emplace_back(it->action == Action::kPre ? "</mono></lines>" : "</lines>");
      it->closing = "-";
      continue;
    }
    if (it->action == Action::kReference) {
      it->target = "-";
      it->ref_text.clear();
      continue;
    }
    if (!it->closing.empty() && lines_.size() == it->line_count && line_.size() == it->after_open)
      line_.resize(it->position);
    else
      line_ += it->closing;
    it->closing.clear();
  }
  BreakLine();
  std::vector<std::string> lines = std::move(lines_);
  lines_.clear();
  entry_has_text_ = false;
  for (Frame& f : frames_) {
    f.line_count = 0;
    f.position = f.after_open = 0;
  }
  return lines;
}

}  // namespace tavrin
