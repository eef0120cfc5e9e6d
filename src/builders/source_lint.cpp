#include "builders/source_lint.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "builders/build_request.h"
#include "builders/commentary_builder.h"
#include "source/entry_text_conversion.h"
#include "source/session.h"
#include "source/text_util.h"

namespace tavrin {

namespace {

// A finding's values, made only when the finding is kept.
using Values = std::vector<std::string>;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The letters right behind `from` of `text`, lower-cased (ASCII: tag names are).
std::string LetterRun(std::string_view text, std::size_t from) {
  std::string name;
  for (; from < text.size() && IsAsciiLetter(text[from]); ++from)
    name += static_cast<char>(text[from] | 0x20);
  return name;
}

// A scheme is letters, then letters, digits, "+", "-" or ".", then ":".
bool HasScheme(std::string_view address) {
  if (address.empty() || !IsAsciiLetter(address[0])) return false;
  for (char c : address.substr(1)) {
    if (c == ':') return true;
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
      return false;
  }
  return false;
}

// Source text a message quotes is cut after this many bytes: many tags that end at one ">" far
// behind them must not make the findings as long as the entry times their number.
constexpr std::size_t kQuoteLimit = 200;

std::string Quoted(std::string_view text) {
  if (text.size() <= kQuoteLimit) return std::string(text);
  return std::string(text.substr(0, kQuoteLimit)) + "...";
}

// A link tag longer than this is no link an author meant (its target is not looked at, which
// would cost its length once for each of the links that can overlap it).
constexpr std::size_t kLinkCheckLimit = 2048;

}  // namespace

SourceLint::SourceLint(const BuildJob& job, LintReport& report) : job_(job), report_(report) {}

SourceLint::~SourceLint() = default;

void SourceLint::Line(std::size_t offset, std::int64_t line, std::string_view raw) {
  places_.push_back({offset, line, raw_lines_.size(), raw.size()});
  raw_lines_ += raw;
}

std::pair<std::int64_t, std::int64_t> SourceLint::Locate(std::string_view text,
                                                         std::size_t offset) {
  if (places_.empty() || offset < places_.front().offset)
    return {places_.empty() ? 0 : places_.front().line, 1};
  // The place of the line the offset stands in: the last that begins at or before it, found
  // by going on from the place asked last (offsets come in growing order).
  std::size_t index = columns_place_;
  if (index >= places_.size() || places_[index].offset > offset) {
    const auto after = std::upper_bound(places_.begin(), places_.end(), offset,
                                        [](std::size_t o, const Place& p) { return o < p.offset; });
    index = static_cast<std::size_t>(after - places_.begin()) - 1;
  }
  while (index + 1 < places_.size() && places_[index + 1].offset <= offset) ++index;
  const Place& place = places_[index];
  if (index != columns_place_) {
    const std::size_t end = index + 1 < places_.size() ? places_[index + 1].offset : text.size();
    columns_ = RawColumns(std::string_view(raw_lines_).substr(place.raw_begin, place.raw_size),
                          text.substr(place.offset, end - place.offset));
    columns_place_ = index;
  }
  return {place.line, columns_.Column(offset - place.offset)};
}

void SourceLint::Entry(std::int64_t first_line, std::string_view name, std::string_view text,
                       bool finished_empty) {
  columns_place_ = SIZE_MAX;
  if (finished_empty) report_.AtSourceLine(first_line, 1, Message::kEmptyEntry);
  if (KindInfo(job_.kind).names_entries) names_.emplace_back(name);

  verdicts_.clear();
  if (text.find('<') != std::string_view::npos)
    ExplainTags(text, job_.Markup(), verdicts_, buffers_);
  const TagTable& table = job_.session.Tags();
  // The closing tag of a tag that fails its rule is text as well, but says nothing new.
  std::vector<std::size_t> explained;
  for (const TagVerdict& v : verdicts_)
    if (v.decision == TagVerdict::Decision::kFailsRule) explained.push_back(v.closing);
  std::sort(explained.begin(), explained.end());
  for (const TagVerdict& v : verdicts_) {
    if (v.decision == TagVerdict::Decision::kNotATag &&
        std::binary_search(explained.begin(), explained.end(), v.open))
      continue;
    auto at = [&] {
      auto [line, column] = Locate(text, v.open);
      return std::pair(line != 0 ? line : first_line, column);
    };
    auto tag_text = [&] {
      return Quoted(text.substr(v.open, v.close == TagVerdict::kNone ? 1 : v.close - v.open + 1));
    };
    // A finding at the tag; its message is only made when it is kept.
    auto report = [&](Message id, const auto& make_values) {
      if (!report_.Enabled(Row(id).check)) return;
      const auto [line, column] = at();
      report_.AtSourceLineWith(line, column, id, [&] { return MessageText(id, make_values()); });
    };
    switch (v.decision) {
      case TagVerdict::Decision::kNoClosingBracket:
        break;  // a lone "<" is text
      case TagVerdict::Decision::kNotATag: {
        const std::size_t behind = v.open + 1;
        if (behind < text.size() && text[behind] == '/') {
          const std::string name = LetterRun(text, behind + 1);
          if (table.IndexOf(name) < 0) {
            if (!name.empty() && name != "br")
              report(Message::kUnknownTag, [&] { return Values{tag_text()}; });
          } else {
            report(Message::kClosingWithoutOpening, [&] { return Values{tag_text()}; });
          }
        } else if (behind < text.size() && IsAsciiLetter(text[behind])) {
          if (LetterRun(text, behind) != "br")
            report(Message::kUnknownTag, [&] { return Values{tag_text()}; });
        }
        break;
      }
      case TagVerdict::Decision::kNoClosingTag:
      case TagVerdict::Decision::kFailsRule: {
        const TagDefinition& definition = table.Definition(v.kind);
        if (v.decision == TagVerdict::Decision::kFailsRule || !v.rule_ok) {
          report(Message::kTagFailsRule, [&] {
            return Values{tag_text(), TagRuleText(definition)};
          });
        } else if (definition.name == "lines") {
          report(Message::kLinesNeverClosed, [] { return Values{}; });
        } else {
          report(Message::kNoClosingTag, [&] {
            return Values{tag_text(), std::string(definition.name)};
          });
        }
        break;
      }
      case TagVerdict::Decision::kAccepted:
        if (table.Definition(v.kind).name == "link" && report_.Enabled(Check::kLinkTarget)) {
          auto [line, column] = at();
          CheckLink(text.substr(v.open, v.close - v.open + 1), line, column);
        }
        break;
    }
  }
  places_.clear();
  raw_lines_.clear();
  columns_place_ = SIZE_MAX;
}

void SourceLint::CheckLink(std::string_view tag, std::int64_t line, std::int64_t column) {
  auto report = [&](Message id, std::initializer_list<std::string_view> values) {
    report_.AtSourceLine(line, column, id, values);
  };
  if (tag.size() > kLinkCheckLimit) {
    report(Message::kLinkTooLong, {Quoted(tag), std::to_string(kLinkCheckLimit)});
    return;
  }
  // The link as the module will hold it: aliases replaced, folders put in front.
  const std::string link = RewriteLinks(tag, job_.Markup());
  const std::string lower = AsciiLower(link);
  const std::size_t eq = lower.find('=');
  if (eq == std::string::npos) {
    report(Message::kLinkWithoutTarget, {Quoted(link)});
    return;
  }
  const std::string type(TrimControl(std::string_view(lower).substr(5, eq - 5)));
  const std::string value(TrimControl(std::string_view(link).substr(eq + 1, link.size() - eq - 2)));
  if (type == "local") {
    if (KindInfo(job_.kind).names_entries) local_links_.push_back({value, line, column});
  } else if (type == "bible") {
    const VerseSources* verses = Verses();
    if (verses == nullptr) return;
    const ReferenceLine ref = ReadReferenceLine(value, 0, 1, "", verses->books, verses->map);
    if (ref.kind != ReferenceLine::Kind::kReference)
      report(Message::kBibleLinkNoReference, {Quoted(value)});
    else if (ref.warning)
      report(Message::kBibleLinkOutsideMap, {Quoted(value)});
  } else if (type == "picture" || type == "sound" || type == "file") {
    std::string path = value;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::path(report_.source_folder) / path, ec))
      report(Message::kFileLinkMissing, {type, Quoted(value)});
  } else if (type == "url") {
    if (!HasScheme(value)) report(Message::kUrlWithoutScheme, {Quoted(value)});
  } else if (type == "email") {
    if (value.find('@') == std::string::npos) report(Message::kEmailWithoutAt, {Quoted(value)});
  }
}

const VerseSources* SourceLint::Verses() {
  if (!verses_tried_) {
    verses_tried_ = true;
    try {
      auto verses = std::make_unique<VerseSources>(job_.session.Locale(), job_.Locale());
      const std::string& folder = job_.session.ProgramFolder();
      verses->map = LoadVerseMap(folder);
      verses->books.LoadFromFile((std::filesystem::path(folder) / kBookNamesFileName).string());
      verses_ = std::move(verses);
    } catch (const std::exception&) {
      // Without the data files bible links cannot be checked; a verse build says why itself.
    }
  }
  return verses_.get();
}

void SourceLint::Finish() {
  if (local_links_.empty()) return;
  const TextLocale& locale = job_.Locale();
  std::unordered_set<std::string> keys;
  for (const std::string& name : names_) keys.insert(locale.SortKey(name));
  for (const LocalLink& link : local_links_)
    if (!keys.contains(locale.SortKey(link.target)))
      report_.AtSourceLine(link.line, link.column, Message::kLocalLinkMissing,
                           {Quoted(link.target)});
}

}  // namespace tavrin
