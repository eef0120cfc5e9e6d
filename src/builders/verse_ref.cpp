#include "builders/verse_ref.h"

#include <limits>

#include "source/text_util.h"

namespace tavrin {
namespace {

constexpr char kHeldSeparator = '%';

// The value of a decimal number; 0 for anything else (also for a number too large to hold).
std::uint32_t NumberValue(std::string_view text) {
  if (text.empty()) return 0;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  }
  return static_cast<std::uint32_t>(value);
}

// Cuts the text before the first held separator off `rest` (with the separator); all of `rest`
// when there is none.
std::string_view TakePart(std::string_view& rest) {
  const std::size_t at = rest.find(kHeldSeparator);
  std::string_view part = rest.substr(0, at);
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  return part;
}

}  // namespace

BookNameTable::BookNameTable(const TextLocale& locale, const TextLocale& text_locale)
    : names_(locale), text_locale_(text_locale) {}

void BookNameTable::LoadFromFile(const std::string& path) {
  names_.LoadFromFile(path);
  IndexNames();
}

void BookNameTable::SetNames(const std::vector<std::string>& names) {
  names_.Clear();
  for (const std::string& name : names) names_.Add(name);
  IndexNames();
}

void BookNameTable::IndexNames() {
  book_by_key_.clear();
  spelled_.clear();
  const int count = names_.Count();
  for (int i = 0; i < count; ++i)
    book_by_key_.emplace(names_.Locale().SortKey(names_.Get(i)), i + 1);  // first line wins
}

int BookNameTable::BookOf(std::string_view name) const {
  // Sources spell the same few names over and over: remember each spelling's answer. With mark
  // type 1 every line's first word is looked up, so the memory is bounded.
  if (auto seen = spelled_.find(name); seen != spelled_.end()) return seen->second;
  auto found = book_by_key_.find(text_locale_.SortKey(name));
  const int book = found == book_by_key_.end() ? 0 : found->second;
  if (spelled_.size() >= kSpellingCacheLimit) spelled_.clear();
  spelled_.emplace(std::string(name), book);
  return book;
}

bool IsReferenceSeparator(char c) {
  switch (c) {
    case ' ':
    case '#':
    case ',':
    case '-':
    case '.':
    case '/':
    case ':':
    case ';':
    case '<':
    case '>':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '{':
    case '|':
    case '}':
    case '\xA6':
      return true;
    default:
      return false;
  }
}

std::string_view ReferenceProbe(std::string_view line) {
  return TrimControl(line).substr(0, kReferenceProbeLength);
}

VerseRef ParseVerseRef(std::string_view probe, const BookNameTable& books) {
  // Leading separators go, runs become one.
  std::string p;
  p.reserve(probe.size());
  for (char c : probe) {
    if (c == kHeldSeparator && (p.empty() || p.back() == kHeldSeparator)) continue;
    p.push_back(c);
  }
  // Numbered book names: "1 Sam", "1.Sam" and "1-Sam" are all "1 Sam".
  if (p.size() >= 2 && p[0] >= '0' && p[0] <= '9' && p[1] == kHeldSeparator) p[1] = ' ';

  std::string_view rest = p;
  std::string_view name;
  if (rest.find(kHeldSeparator) != std::string_view::npos) name = TakePart(rest);
  std::string_view chapter_text = TakePart(rest);
  std::string_view verse_text = TakePart(rest);  // anything after the verse is ignored

  VerseRef ref;
  ref.book = static_cast<std::uint32_t>(books.BookOf(name));
  ref.chapter = chapter_text.empty() ? 1 : NumberValue(chapter_text);
  ref.verse = verse_text.empty() ? 1 : NumberValue(verse_text);
  return ref;
}

ReferenceLine ReadReferenceLine(std::string_view line, std::int64_t line_number, int mark_type,
                                std::string_view mark, const BookNameTable& books,
                                const VerseMap& map) {
  ReferenceLine result;
  std::string_view probe = ReferenceProbe(line);
  if (probe.empty()) return result;
  const bool marked = mark_type == 0;
  if (marked) {
    if (mark.empty() || !probe.starts_with(mark)) return result;
    probe.remove_prefix(mark.size());
  }
  std::string held(probe);
  for (char& c : held)
    if (IsReferenceSeparator(c)) c = kHeldSeparator;
  result.ref = ParseVerseRef(held, books);

  if (!result.ref.IsReference()) {
    if (marked) {
      result.kind = ReferenceLine::Kind::kInvalid;
      result.warning.emplace(Message::kInvalidReference, line_number,
                             std::initializer_list<std::string_view>{line});
    }
    return result;
  }
  result.kind = ReferenceLine::Kind::kReference;
  result.book_name = books.Name(static_cast<int>(result.ref.book));
  // Parts beyond int range cannot occur: NumberValue holds them to 31 bits and the book is a
  // line number of the table.
  const int book = static_cast<int>(result.ref.book);
  const int chapter = static_cast<int>(result.ref.chapter);
  const int verse = static_cast<int>(result.ref.verse);
  if (!map.IsInVerseMap(book, chapter, verse))
    result.warning.emplace(
        Message::kReferenceOutOfBounds, line_number,
        std::initializer_list<std::string_view>{result.book_name + " " + std::to_string(chapter) +
                                                ":" + std::to_string(verse)});
  result.index = map.ClampedVerseIndex(book, chapter, verse);
  return result;
}

}  // namespace tavrin
