#include "import/importer.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "builders/verse_ref.h"
#include "import/bible_books.h"
#include "import/entry_composer.h"
#include "import/marked_text_writer.h"
#include "import/xml_stream.h"
#include "module/character_set.h"
#include "module/verse_map.h"
#include "platform/exceptions.h"
#include "platform/system.h"
#include "platform/text_locale.h"
#include "source/line_reader.h"

namespace tavrin {
namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 16;

std::string Stem(const std::string& path) { return PathText(FilePath(path).stem()); }

std::string Shortened(std::string_view text) {
  std::string out(text.substr(0, 60));
  if (text.size() > 60) out += "...";
  return out;
}

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// Where entries go: by the kind, as named entries or as notes on verses.
class EntrySink {
 public:
  EntrySink(ModuleKind kind, MarkedTextWriter& writer, ImportFindings& findings,
            const ComposerSettings& settings)
      : kind_(kind),
        verse_(KindInfo(kind).verse),
        writer_(writer),
        findings_(findings),
        settings_(settings) {}

  void Named(const std::string& name, std::vector<std::string> lines, const std::string& file,
             InputPosition at) {
    if (verse_) {
      RefReading reading = ReadEnglishRef(name);
      if (reading.kind == RefReading::Kind::kVerse) {
        Verse(reading.ref, name, std::move(lines), file, at);
      } else if (reading.kind == RefReading::Kind::kOutsideBook) {
        findings_.Warn(file, at, Message::kImportBookOutside, {name, "entry left out"});
      } else {
        findings_.Warn(file, at, Message::kImportNotAVerse, {name});
      }
      return;
    }
    if (!seen_names_.insert(name).second)
      findings_.Warn(file, at, Message::kImportDuplicateKey, {name, "both entries kept"});
    writer_.AddEntry(name, lines);
  }

  void Verse(const BibleRef& ref, std::string_view key, std::vector<std::string> lines,
             const std::string& file, InputPosition at) {
    if (!verse_) {
      Named(std::string(key), std::move(lines), file, at);
      return;
    }
    if (ref.chapter == 0 || ref.verse == 0) {
      Introduction(key, std::move(lines), file, at, false);
      return;
    }
    const std::string target = BibleLinkTarget(ref, settings_.book_names);
    if (ref.IsRange()) findings_.Warn(file, at, Message::kImportRangeFirstVerse, {key, target});
    for (const Moved& moved : moved_)
      findings_.Warn(
          moved.file, moved.at,
          moved.heading ? Message::kImportHeadingMoved : Message::kImportIntroductionMoved,
          {moved.key, target});
    moved_.clear();
    if (!pending_.empty()) {
      pending_.insert(pending_.end(), std::make_move_iterator(lines.begin()),
                      std::make_move_iterator(lines.end()));
      lines = std::move(pending_);
      pending_.clear();
    }
    if (lines.empty()) return;  // nothing to note on this verse
    const int verse_key =
        (ref.book << 16) | (std::min(ref.chapter, 255) << 8) | std::min(ref.verse, 255);
    if (!seen_verses_.insert(verse_key).second)
      findings_.Warn(file, at, Message::kImportDuplicateKey,
                     {key, "the build adds the note to the first one"});
    writer_.AddEntry(target, lines);
  }

  // Text to put in front of the next note (an introduction or a heading).
  void Introduction(std::string_view key, std::vector<std::string> lines, const std::string& file,
                    InputPosition at, bool heading) {
    if (!verse_) {
      Named(std::string(key), std::move(lines), file, at);
      return;
    }
    if (lines.empty()) return;
    moved_.push_back({std::string(key), file, at, heading});
    pending_.insert(pending_.end(), std::make_move_iterator(lines.begin()),
                    std::make_move_iterator(lines.end()));
  }

  void Finish() {
    if (!pending_.empty() && !moved_.empty())
      findings_.Warn(moved_.front().file, moved_.front().at, Message::kImportTextLeftOut,
                     {Shortened(pending_.front())});
    pending_.clear();
    moved_.clear();
  }

  ModuleKind Kind() const { return kind_; }

 private:
  struct Moved {
    std::string key;
    std::string file;
    InputPosition at;
    bool heading;
  };
  ModuleKind kind_;
  bool verse_;
  MarkedTextWriter& writer_;
  ImportFindings& findings_;
  const ComposerSettings& settings_;
  std::vector<std::string> pending_;
  std::vector<Moved> moved_;
  std::unordered_set<std::string> seen_names_;
  std::unordered_set<int> seen_verses_;
};

// ---- SWORD import files ----

std::string TrimKey(std::string_view key) {
  while (!key.empty() && static_cast<unsigned char>(key.front()) <= ' ') key.remove_prefix(1);
  while (!key.empty() && static_cast<unsigned char>(key.back()) <= ' ') key.remove_suffix(1);
  return std::string(key);
}

bool IsHeadingKey(std::string_view key) { return key.starts_with("[") && key.ends_with("]"); }

bool LooksLikeVerseKey(std::string_view key) {
  RefReading reading = ReadEnglishRef(key);
  if (reading.kind == RefReading::Kind::kOutsideBook) return true;
  return reading.kind == RefReading::Kind::kVerse && key.find(':') != std::string_view::npos;
}

ModuleKind KindOfKey(std::string_view key) {
  if (key.starts_with("/")) return ModuleKind::kWriting;
  if (LooksLikeVerseKey(key)) return ModuleKind::kCommentary;
  return ModuleKind::kDictionary;
}

// The keys of import files, read ahead: the kind they make, and for dictionaries every key, so
// that references to other entries become links.
struct ImpKeys {
  std::optional<ModuleKind> kind;
  std::unordered_set<std::string> keys;
  std::unordered_map<std::uint64_t, std::string> by_number;  // all-digit keys by their value
};

void ScanImpKeys(const std::vector<std::string>& inputs, bool want_keys, ImpKeys& out) {
  for (const std::string& path : inputs) {
    std::unique_ptr<std::istream> in = OpenInputStream(path);
    LineReader reader(*in);
    std::string_view line;
    bool first = true;
    while (reader.ReadLine(line)) {
      if (first && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
      first = false;
      if (!line.starts_with("$$$")) continue;
      std::string key(TrimKey(line.substr(3)));
      if (!out.kind && !IsHeadingKey(key)) {
        out.kind = KindOfKey(key);
        if (!want_keys && *out.kind != ModuleKind::kDictionary) return;
      }
      if (want_keys || out.kind == ModuleKind::kDictionary) {
        if (!key.empty() &&
            std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
          std::uint64_t value = std::stoull(key.substr(0, 18));
          out.by_number.emplace(value, key);
        }
        out.keys.insert(std::move(key));
      }
    }
  }
}

bool IsUtf8(std::string_view text) {
  int substitutions = 0;
  Utf8ToUtf16(text, u'?', &substitutions);
  return substitutions == 0;
}

bool LooksLikeGbf(std::string_view text) {
  bool upper = false;
  for (std::size_t i = text.find('<'); i != std::string_view::npos; i = text.find('<', i + 1)) {
    if (i + 2 >= text.size()) break;
    char a = text[i + 1], b = text[i + 2];
    if ((a >= 'a' && a <= 'z') || (a == '/' && b >= 'a' && b <= 'z')) return false;
    if (a >= 'A' && a <= 'Z' && b >= 'A' && b <= 'Z') upper = true;
  }
  return upper;
}

// GBF's codes as the elements the composer knows.
void GbfText(std::string_view text, EntryComposer& composer, InputPosition at) {
  struct Code {
    std::string_view open, close, element;
  };
  static constexpr Code kCodes[] = {
      {"FB", "Fb", "b"},    {"FI", "Fi", "i"},     {"FU", "Fu", "u"},
      {"FR", "Fr", "font"}, {"TS", "Ts", "title"}, {"RF", "Rf", "note"},
      {"FO", "Fo", ""},     {"FS", "Fs", ""},      {"FV", "Fv", ""}};
  std::vector<std::string_view> open;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lt = text.find('<', pos);
    std::size_t gt = lt == std::string_view::npos ? lt : text.find('>', lt);
    if (lt == std::string_view::npos || gt == std::string_view::npos) {
      composer.Text(text.substr(pos), at);
      break;
    }
    composer.Text(text.substr(pos, lt - pos), at);
    std::string_view code = text.substr(lt + 1, gt - lt - 1);
    pos = gt + 1;
    if (code == "CM" || code == "CL") {
      composer.BreakLine();
      continue;
    }
    for (const Code& c : kCodes) {
      if (c.element.empty()) continue;
      if (code == c.open) {
        MarkupAttributes attributes;
        if (c.element == "font") attributes.push_back({"color", "red"});
        composer.StartElement(c.element, attributes, at);
        open.push_back(c.element);
      } else if (code == c.close && !open.empty() && open.back() == c.element) {
        composer.EndElement(c.element);
        open.pop_back();
      }
    }
    // Strong's numbers, morphology and the other codes carry no text.
  }
  while (!open.empty()) {
    composer.EndElement(open.back());
    open.pop_back();
  }
}

class ImpImport {
 public:
  ImpImport(const ImportRequest& request, EntrySink& sink, EntryComposer& composer,
            ImportFindings& findings)
      : request_(request), sink_(sink), composer_(composer), findings_(findings) {}

  bool Run() {
    for (const std::string& path : request_.inputs) {
      if (!ReadFile(path)) return false;
    }
    return true;
  }

 private:
  bool ReadFile(const std::string& path) {
    std::unique_ptr<std::istream> in = OpenInputStream(path);
    LineReader reader(*in);
    composer_.SetFile(path);
    std::string_view line;
    std::int64_t line_number = 0;
    bool have_key = false, warned_before = false;
    std::string key, text;
    std::int64_t key_line = 0;
    while (reader.ReadLine(line)) {
      ++line_number;
      if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
      if (line.starts_with("$$$")) {
        if (have_key && !Entry(path, key, key_line, text)) return false;
        have_key = true;
        key = TrimKey(line.substr(3));
        key_line = line_number;
        text.clear();
        continue;
      }
      if (!have_key) {
        if (!warned_before && !IsBlankText(line)) {
          findings_.Warn(path, {line_number, 1}, Message::kImportTextBeforeFirstEntry,
                         {Shortened(line)});
          warned_before = true;
        }
        continue;
      }
      if (!text.empty()) text += '\n';
      text += line;
    }
    return !have_key || Entry(path, key, key_line, text);
  }

  bool Entry(const std::string& path, std::string key, std::int64_t key_line, std::string& text) {
    const InputPosition at{key_line, 1};
    if (!IsUtf8(text) || !IsUtf8(key)) {
      findings_.Warn(path, at, Message::kImportNotUtf8);
      if (!IsUtf8(text)) text = CodePageToUtf8(1252, text);
      if (!IsUtf8(key)) key = CodePageToUtf8(1252, key);
    }
    if (!IsBlankText(text)) Convert(path, key_line, text);
    std::vector<std::string> lines = composer_.TakeLines();
    composer_.ResetElements();
    if (!result_ok_) return false;
    const ModuleKind kind = sink_.Kind();
    if (!KindInfo(kind).verse) {
      std::string name = key;
      if (kind == ModuleKind::kWriting) {
        while (name.starts_with("/")) name.erase(0, 1);
        if (name.empty()) name = request_.name.empty() ? Stem(path) : request_.name;
      }
      sink_.Named(name, std::move(lines), path, at);
      return true;
    }
    if (IsHeadingKey(key)) {
      sink_.Introduction(key, std::move(lines), path, at, true);
      return true;
    }
    RefReading reading = ReadEnglishRef(key);
    if (reading.kind == RefReading::Kind::kVerse) {
      sink_.Verse(reading.ref, key, std::move(lines), path, at);
    } else if (reading.kind == RefReading::Kind::kOutsideBook) {
      findings_.Warn(path, at, Message::kImportBookOutside, {reading.book_text, "entry left out"});
    } else {
      findings_.Warn(path, at, Message::kImportNotAVerse, {key});
    }
    return true;
  }

  void Convert(const std::string& path, std::int64_t key_line, const std::string& text) {
    EntryMarkup markup = request_.markup;
    if (markup == EntryMarkup::kAuto) {
      if (text.find('<') == std::string::npos && text.find('&') == std::string::npos)
        markup = EntryMarkup::kPlain;
      else if (LooksLikeGbf(text))
        markup = EntryMarkup::kGbf;
      else
        markup = EntryMarkup::kOsis;
    }
    if (markup == EntryMarkup::kPlain) {
      composer_.PlainText(text, {key_line + 1, 1});
      return;
    }
    if (markup == EntryMarkup::kGbf) {
      GbfText(text, composer_, {key_line + 1, 1});
      return;
    }
    // The entry's first line is line 2 of the fragment, as it is the line after its key.
    MarkupStream stream(MarkupStream::Syntax::kXml, composer_, findings_, path, key_line);
    const std::string fragment = "<x>\n" + XmlFragment(text) + "\n</x>";
    std::size_t done = 0;
    MarkupStream::Source source = [&](char* data, std::size_t size) {
      std::size_t n = std::min(size, fragment.size() - done);
      std::copy_n(fragment.data() + done, n, data);
      done += n;
      return n;
    };
    if (!stream.Parse(source)) result_ok_ = false;
  }

  const ImportRequest& request_;
  EntrySink& sink_;
  EntryComposer& composer_;
  ImportFindings& findings_;
  bool result_ok_ = true;
};

// ---- OSIS documents ----

// Reads a whole document's structure: verses of commentaries, keywords of glossaries, the div
// tree of general books; the markup inside goes to the composer.
class OsisDocument : public MarkupEvents {
 public:
  OsisDocument(ModuleKind kind, EntrySink& sink, EntryComposer& composer, ImportFindings& findings)
      : verse_(KindInfo(kind).verse),
        dictionary_(kind == ModuleKind::kDictionary || kind == ModuleKind::kTopics),
        sink_(sink),
        composer_(composer),
        findings_(findings) {}

  void SetFile(const std::string& file) {
    file_ = file;
    composer_.SetFile(file);
  }
  const std::string& WorkTitle() const { return work_title_; }

  void StartElement(std::string_view name, const MarkupAttributes& attributes,
                    InputPosition at) override {
    Role role = Role::kForward;
    const std::string_view s_id = AttributeValue(attributes, "sid");
    const std::string_view e_id = AttributeValue(attributes, "eid");
    if (name == "header") {
      ++in_header_;
      role = Role::kHeader;
    } else if (in_header_ > 0) {
      role = Role::kHeader;
      if (name == "title" && work_title_.empty() && !composer_.InName()) {
        composer_.BeginName();
        role = Role::kHeaderTitle;
      }
    } else if (verse_ && name == "verse" && !e_id.empty()) {
      EndVerse();
      role = Role::kNone;
    } else if (verse_ && name == "verse" && !AttributeValue(attributes, "osisid").empty()) {
      StartVerse(AttributeValue(attributes, "osisid"), at);
      role = s_id.empty() ? Role::kVerse : Role::kNone;
    } else if (verse_ && name == "div" && !AttributeValue(attributes, "annotateref").empty()) {
      StartVerse(AttributeValue(attributes, "annotateref"), at);
      role = Role::kVerse;
    } else if (dictionary_ && name == "seg" && AttributeValue(attributes, "type") == "keyword") {
      EmitNamed();
      composer_.BeginName();
      name_at_ = at;
      role = Role::kKeyword;
    } else if (dictionary_ && name == "div" && AttributeValue(attributes, "type") == "x-keyword") {
      role = Role::kKeywordDiv;
    } else if (!verse_ && !dictionary_ && name == "div" && s_id.empty() && e_id.empty() &&
               !IsParagraphDiv(attributes)) {
      EmitNamed();
      have_name_ = true;
      name_ = std::string(AttributeValue(attributes, "n"));
      name_at_ = at;
      awaiting_title_ = true;
      role = Role::kSection;
    } else if (!verse_ && !dictionary_ && awaiting_title_ && (name == "title" || name == "head") &&
               !composer_.HasText()) {
      composer_.BeginName();
      role = Role::kSectionTitle;
    }
    roles_.push_back(role);
    if (role == Role::kForward) composer_.StartElement(name, attributes, at);
  }

  void EndElement(std::string_view name) override {
    if (roles_.empty()) return;
    Role role = roles_.back();
    roles_.pop_back();
    switch (role) {
      case Role::kForward:
        composer_.EndElement(name);
        break;
      case Role::kHeader:
        break;
      case Role::kHeaderTitle:
        work_title_ = composer_.EndName();
        break;
      case Role::kVerse:
        EndVerse();
        break;
      case Role::kKeyword:
        name_ = composer_.EndName();
        have_name_ = true;
        break;
      case Role::kKeywordDiv:
        EmitNamed();
        break;
      case Role::kSection:
        break;
      case Role::kSectionTitle: {
        std::string title = composer_.EndName();
        if (!title.empty()) name_ = title;
        awaiting_title_ = false;
        break;
      }
      case Role::kNone:
        break;
    }
    if (role == Role::kHeader || role == Role::kHeaderTitle) {
      if (name == "header") --in_header_;
    }
  }

  void Text(std::string_view utf8, InputPosition at) override {
    if (in_header_ > 0 && !composer_.InName()) return;
    if (!IsBlankText(utf8) && !composer_.InName()) awaiting_title_ = false;
    composer_.Text(utf8, at);
  }

  void Finish() {
    if (verse_) {
      EndVerse();
      std::vector<std::string> left = composer_.TakeLines();
      if (!left.empty())
        findings_.Warn(file_, last_at_, Message::kImportTextLeftOut, {Shortened(left.front())});
    } else {
      EmitNamed();
    }
  }

 private:
  enum class Role {
    kForward,
    kNone,
    kHeader,
    kHeaderTitle,
    kVerse,
    kKeyword,
    kKeywordDiv,
    kSection,
    kSectionTitle
  };

  static bool IsParagraphDiv(const MarkupAttributes& attributes) {
    std::string_view type = AttributeValue(attributes, "type");
    return type == "paragraph" || type == "x-p" || type == "x-milestone" || type == "colophon";
  }

  void StartVerse(std::string_view ids, InputPosition at) {
    EndVerse();
    std::vector<std::string> before = composer_.TakeLines();
    if (!before.empty()) {
      const std::string key = Shortened(before.front());
      sink_.Introduction(key, std::move(before), file_, at, true);
    }
    std::string_view first = ids.substr(0, ids.find(' '));
    std::string_view last =
        ids.substr(ids.rfind(' ') == std::string_view::npos ? 0 : ids.rfind(' ') + 1);
    RefReading reading = ReadOsisRef(first);
    if (reading.kind == RefReading::Kind::kVerse && last != first) {
      RefReading end = ReadOsisRef(last);
      if (end.kind == RefReading::Kind::kVerse && end.ref.book == reading.ref.book) {
        reading.ref.end_chapter = end.ref.chapter;
        reading.ref.end_verse = end.ref.verse;
      }
    }
    verse_open_ = true;
    verse_reading_ = reading;
    verse_key_ = std::string(ids);
    verse_at_ = last_at_ = at;
  }

  void EndVerse() {
    if (!verse_open_) return;
    verse_open_ = false;
    std::vector<std::string> lines = composer_.TakeLines();
    if (verse_reading_.kind == RefReading::Kind::kVerse) {
      sink_.Verse(verse_reading_.ref, verse_key_, std::move(lines), file_, verse_at_);
    } else if (verse_reading_.kind == RefReading::Kind::kOutsideBook) {
      findings_.Warn(file_, verse_at_, Message::kImportBookOutside,
                     {verse_reading_.book_text, "entry left out"});
    } else {
      findings_.Warn(file_, verse_at_, Message::kImportNotAVerse, {verse_key_});
    }
  }

  void EmitNamed() {
    std::vector<std::string> lines = composer_.TakeLines();
    if (!have_name_) {
      if (!lines.empty())
        findings_.Warn(file_, name_at_, Message::kImportTextBeforeFirstEntry,
                       {Shortened(lines.front())});
      return;
    }
    have_name_ = false;
    if (name_.empty()) {
      name_ = "Section " + std::to_string(++untitled_);
      findings_.Warn(file_, name_at_, Message::kImportUntitledSection, {name_});
    }
    sink_.Named(name_, std::move(lines), file_, name_at_);
    name_.clear();
  }

  bool verse_;
  bool dictionary_;
  EntrySink& sink_;
  EntryComposer& composer_;
  ImportFindings& findings_;
  std::string file_;
  std::vector<Role> roles_;
  int in_header_ = 0;
  std::string work_title_;
  bool verse_open_ = false;
  RefReading verse_reading_;
  std::string verse_key_;
  InputPosition verse_at_, last_at_, name_at_;
  bool have_name_ = false;
  std::string name_;
  bool awaiting_title_ = false;
  int untitled_ = 0;
};

// The kind an OSIS document makes: commentaries have verses, glossaries keywords, the rest are
// general books. Read through once, up to the first sign.
ModuleKind KindOfOsis(const std::vector<std::string>& inputs) {
  std::string window;
  for (const std::string& path : inputs) {
    std::unique_ptr<std::istream> in = OpenInputStream(path);
    std::string block(kReadBlock, '\0');
    window.clear();
    while (in->read(block.data(), static_cast<std::streamsize>(block.size())) || in->gcount() > 0) {
      window.append(block.data(), static_cast<std::size_t>(in->gcount()));
      if (window.find("<verse") != std::string::npos ||
          window.find("annotateRef") != std::string::npos)
        return ModuleKind::kCommentary;
      if (window.find("\"keyword\"") != std::string::npos ||
          window.find("\"x-keyword\"") != std::string::npos ||
          window.find("\"glossary\"") != std::string::npos)
        return ModuleKind::kDictionary;
      window.erase(0, window.size() > 32 ? window.size() - 32 : 0);
    }
  }
  return ModuleKind::kWriting;
}

// Streams one XML or HTML file through a reader of events.
bool StreamFile(const std::string& path, MarkupStream::Syntax syntax, MarkupEvents& events,
                ImportFindings& findings) {
  std::unique_ptr<std::istream> in = OpenInputStream(path);
  MarkupStream stream(syntax, events, findings, path);
  return stream.Parse([&in](char* data, std::size_t size) {
    in->read(data, static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(in->gcount());
  });
}

// ---- HTML and XHTML ----

class HtmlDocument : public MarkupEvents {
 public:
  HtmlDocument(int split_level, EntrySink& sink, EntryComposer& composer, ImportFindings& findings)
      : split_level_(split_level), sink_(sink), composer_(composer), findings_(findings) {}

  void BeginFile(const std::string& path) {
    file_ = path;
    composer_.SetFile(path);
    composer_.SetHtml(true);
    doc_title_.clear();
    in_head_ = 0;
    if (split_level_ == 0 || !have_name_) {
      have_name_ = split_level_ == 0;
      name_.clear();
      name_from_file_ = true;
      name_at_ = {};
    }
  }

  void EndFile() {
    if (split_level_ == 0) Emit();
  }

  void Finish() { Emit(); }

  void StartElement(std::string_view name, const MarkupAttributes& attributes,
                    InputPosition at) override {
    Role role = Role::kForward;
    if (name == "head") {
      ++in_head_;
      role = Role::kHead;
    } else if (in_head_ > 0) {
      role = Role::kHead;
      if (name == "title" && !composer_.InName()) {
        composer_.BeginName();
        role = Role::kTitle;
      }
    } else if (HeadingLevel(name) > 0 && HeadingLevel(name) <= split_level_ &&
               !composer_.InName()) {
      Emit();
      have_name_ = true;
      name_from_file_ = false;
      name_at_ = at;
      composer_.BeginName();
      role = Role::kHeading;
    }
    roles_.push_back(role);
    if (role == Role::kForward) composer_.StartElement(name, attributes, at);
  }

  void EndElement(std::string_view name) override {
    if (roles_.empty()) return;
    Role role = roles_.back();
    roles_.pop_back();
    switch (role) {
      case Role::kForward:
        composer_.EndElement(name);
        break;
      case Role::kHead:
        if (name == "head") --in_head_;
        break;
      case Role::kTitle:
        doc_title_ = composer_.EndName();
        break;
      case Role::kHeading:
        name_ = composer_.EndName();
        break;
    }
  }

  void Text(std::string_view utf8, InputPosition at) override {
    if (in_head_ > 0 && !composer_.InName()) return;
    composer_.Text(utf8, at);
  }

 private:
  enum class Role { kForward, kHead, kTitle, kHeading };

  static int HeadingLevel(std::string_view name) {
    if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6')
      return name[1] - '0';
    return 0;
  }

  void Emit() {
    std::vector<std::string> lines = composer_.TakeLines();
    if (!have_name_ && lines.empty()) return;
    if (!have_name_ || name_from_file_) name_ = doc_title_.empty() ? Stem(file_) : doc_title_;
    if (name_.empty()) {
      name_ = "Section " + std::to_string(++untitled_);
      findings_.Warn(file_, name_at_, Message::kImportUntitledSection, {name_});
    }
    sink_.Named(name_, std::move(lines), file_, name_at_);
    have_name_ = false;
    name_.clear();
  }

  int split_level_;
  EntrySink& sink_;
  EntryComposer& composer_;
  ImportFindings& findings_;
  std::string file_;
  std::vector<Role> roles_;
  int in_head_ = 0;
  std::string doc_title_;
  bool have_name_ = false;
  bool name_from_file_ = false;
  std::string name_;
  InputPosition name_at_;
  int untitled_ = 0;
};

// The module name a document gives in its title, read ahead from its first 64 KiB.
std::string HtmlTitle(const std::string& path) {
  std::unique_ptr<std::istream> in = OpenInputStream(path);
  std::string head(kReadBlock, '\0');
  in->read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in->gcount()));
  std::string lower = head;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  std::size_t start = lower.find("<title");
  if (start == std::string::npos || (start = lower.find('>', start)) == std::string::npos)
    return {};
  std::size_t end = lower.find("</title", start);
  if (end == std::string::npos) return {};
  std::string title;
  for (char c : head.substr(start + 1, end - start - 1)) {
    if (static_cast<unsigned char>(c) <= ' ') {
      if (!title.empty() && title.back() != ' ') title += ' ';
    } else {
      title += c;
    }
  }
  while (!title.empty() && title.back() == ' ') title.pop_back();
  return title.find('&') == std::string::npos && IsUtf8(title) ? title : std::string();
}

std::string OsisWorkTitle(const std::string& path) {
  std::unique_ptr<std::istream> in = OpenInputStream(path);
  std::string head(kReadBlock, '\0');
  in->read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in->gcount()));
  std::size_t work = head.find("<work");
  std::size_t start = work == std::string::npos ? work : head.find("<title>", work);
  std::size_t end = start == std::string::npos ? start : head.find("</title>", start);
  if (end == std::string::npos) return {};
  std::string title = head.substr(start + 7, end - start - 7);
  return title.find_first_of("<&") == std::string::npos && IsUtf8(title) ? title : std::string();
}

}  // namespace

std::optional<ImportFormat> ImportFormatFromWord(std::string_view word) {
  if (word == "imp") return ImportFormat::kImp;
  if (word == "osis") return ImportFormat::kOsis;
  if (word == "html") return ImportFormat::kHtml;
  return std::nullopt;
}

std::optional<EntryMarkup> EntryMarkupFromWord(std::string_view word) {
  if (word == "auto") return EntryMarkup::kAuto;
  if (word == "osis") return EntryMarkup::kOsis;
  if (word == "thml") return EntryMarkup::kThml;
  if (word == "tei") return EntryMarkup::kTei;
  if (word == "gbf") return EntryMarkup::kGbf;
  if (word == "plain") return EntryMarkup::kPlain;
  return std::nullopt;
}

bool ImportableKind(ModuleKind kind) { return kind != ModuleKind::kJumplist; }

std::optional<ImportFormat> GuessImportFormat(const std::string& path) {
  std::string extension = PathText(FilePath(path).extension());
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (extension == ".imp") return ImportFormat::kImp;
  if (extension == ".html" || extension == ".htm" || extension == ".xhtml")
    return ImportFormat::kHtml;
  try {
    std::unique_ptr<std::istream> in = OpenInputStream(path);
    std::string head(4096, '\0');
    in->read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in->gcount()));
    if (head.find("$$$") != std::string::npos) return ImportFormat::kImp;
    if (head.find("<osis") != std::string::npos) return ImportFormat::kOsis;
    std::string lower = head;
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lower.find("<html") != std::string::npos) return ImportFormat::kHtml;
  } catch (const Exception&) {
  }
  return std::nullopt;
}

ImportResult RunImport(const ImportRequest& request) {
  ImportResult result;
  ImportFindings& findings = result.findings;
  const std::string first_input = request.inputs.empty() ? std::string() : request.inputs[0];
  const std::string folder = request.program_folder.empty() ? ApPath() : request.program_folder;

  ComposerSettings settings;
  std::optional<int> charset = CharsetChoiceFromWord(request.charset);
  settings.module_code_page = CharacterSetOf(charset.value_or(0)).code_page;
  VerseMap map;
  try {
    BookNameTable books(TextLocale::User());
    books.LoadFromFile(folder + std::string(kBookNamesFileName));
    for (int b = 1; b <= std::min(books.Count(), kBookCount); ++b)
      settings.book_names.push_back(CodePageToUtf8(TextLocale::User().CodePage(), books.Name(b)));
    map = LoadVerseMap(folder);
  } catch (const Exception& e) {
    findings.Error(first_input, {}, Message::kImportNoBookNames, {e.what()});
    return result;
  }
  settings.in_map = [&map](const BibleRef& ref) {
    return map.IsInVerseMap(ref.book, ref.chapter, ref.verse);
  };

  try {
    // The kind, and what the reading needs to know ahead.
    ImpKeys keys;
    ModuleKind kind = ModuleKind::kWriting;
    if (request.format == ImportFormat::kImp) {
      bool dictionary_asked =
          request.kind && !KindInfo(*request.kind).verse && *request.kind != ModuleKind::kWriting;
      if (!request.kind || dictionary_asked) ScanImpKeys(request.inputs, dictionary_asked, keys);
      kind = request.kind.value_or(keys.kind.value_or(ModuleKind::kDictionary));
      if (!KindInfo(kind).verse && kind != ModuleKind::kWriting) {
        settings.local_key = [&keys](std::string_view,
                                     std::string_view key) -> std::optional<std::string> {
          std::string wanted(key);
          if (keys.keys.contains(wanted)) return wanted;
          if (!wanted.empty() && wanted.size() < 18 &&
              std::all_of(wanted.begin(), wanted.end(),
                          [](char c) { return c >= '0' && c <= '9'; })) {
            auto it = keys.by_number.find(std::stoull(wanted));
            if (it != keys.by_number.end()) return it->second;
          }
          return std::nullopt;
        };
      }
    } else if (request.format == ImportFormat::kOsis) {
      kind = request.kind.value_or(KindOfOsis(request.inputs));
    } else {
      kind = request.kind.value_or(ModuleKind::kWriting);
    }
    result.kind = kind;
    if (!ImportableKind(kind)) {
      findings.Error(first_input, {}, Message::kImportKindNotImported, {KindInfo(kind).word});
      return result;
    }

    // The module name of the build command.
    std::string name = request.name;
    if (name.empty() && request.format == ImportFormat::kOsis) name = OsisWorkTitle(first_input);
    if (name.empty() && request.format == ImportFormat::kHtml) name = HtmlTitle(first_input);
    if (name.empty()) name = Stem(first_input);
    result.module_name = name;
    std::string options;
    if (HasModuleName(kind)) options += " --name " + ShellQuoted(name);
    if (SupportsNewFormat(kind) && charset && *charset != 0)
      options += " --charset " + request.charset;

    const char* format_word = request.format == ImportFormat::kImp    ? "imp"
                              : request.format == ImportFormat::kOsis ? "osis"
                                                                      : "html";
    MarkedTextWriter writer(request.output, "Marked text written by tavrin-cli import " +
                                                std::string(format_word) + ".");
    writer.SetBuild(kind, options);
    result.build_command = writer.BuildCommand();
    EntrySink sink(kind, writer, findings, settings);
    EntryComposer composer(settings, findings);

    bool read = true;
    if (request.format == ImportFormat::kImp) {
      ImpImport imp(request, sink, composer, findings);
      read = imp.Run();
    } else if (request.format == ImportFormat::kOsis) {
      OsisDocument document(kind, sink, composer, findings);
      for (const std::string& path : request.inputs) {
        document.SetFile(path);
        if (!(read = StreamFile(path, MarkupStream::Syntax::kXml, document, findings))) break;
        document.Finish();
        composer.ResetElements();
      }
    } else {
      int split = request.split_level;
      if (split < 0) split = request.inputs.size() > 1 ? 0 : 2;
      HtmlDocument document(split, sink, composer, findings);
      for (const std::string& path : request.inputs) {
        document.BeginFile(path);
        if (!(read = StreamFile(path, MarkupStream::Syntax::kHtml, document, findings))) break;
        document.EndFile();
        composer.ResetElements();
      }
      if (read) document.Finish();
    }
    if (!read) return result;
    sink.Finish();
    if (writer.Entries() == 0) {
      findings.Error(first_input, {}, Message::kImportNoEntries);
      return result;
    }
    writer.Finish();
    result.entries = writer.Entries();
    result.written = true;
  } catch (const EFOpenError& e) {
    findings.Error(first_input, {}, Message::kImportCannotRead, {e.what()});
  } catch (const EFCreateError& e) {
    findings.Error(request.output, {}, Message::kImportCannotWrite, {e.what()});
  } catch (const Exception& e) {
    // A read or write that failed midway names its file itself.
    findings.Error(first_input, {}, Message::kImportFileError, {e.what()});
  } catch (const std::exception& e) {
    findings.Error(first_input, {}, Message::kImportFileError, {e.what()});
  }
  return result;
}

}  // namespace tavrin
