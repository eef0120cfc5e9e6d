#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "messages/messages.h"
#include "module/verse_map.h"
#include "mstrlist/mstrlist.h"
#include "platform/text_locale.h"

namespace tavrin {

inline constexpr std::string_view kBookNamesFileName = "tavrin.bok";
// A reference is looked for only in this many leading bytes of the trimmed line.
inline constexpr std::size_t kReferenceProbeLength = 50;

// The book names of one build: line k of tavrin.bok names book k. Lines are kept as they stand;
// a name matches a line when they compare equal ignoring case under the user's locale, and the
// first such line wins. The file is in the user's code page; the names looked up are in the
// module's (`text_locale`: the same collation reading another code page), and each side is
// decoded in its own.
class BookNameTable {
 public:
  explicit BookNameTable(const TextLocale& locale) : BookNameTable(locale, locale) {}
  BookNameTable(const TextLocale& locale, const TextLocale& text_locale);

  // Replaces the names by the lines of a file (CR LF, CR or LF); raises EFOpenError ("Cannot
  // open file %s") when it cannot be read.
  void LoadFromFile(const std::string& path);
  void SetNames(const std::vector<std::string>& names);

  int Count() const { return names_.Count(); }
  // The name of a book as the file spells it (book 1..Count()).
  std::string Name(int book) const { return names_.Get(book - 1); }
  // 1 + the index of the first line equal to `name`; 0 when none is.
  int BookOf(std::string_view name) const;
  const TmStrList& Names() const { return names_; }

 private:
  void IndexNames();

  TmStrList names_;
  const TextLocale& text_locale_;
  // Collation key of each name -> its book number; one key lookup per reference line instead
  // of a comparison with every name.
  std::unordered_map<std::string, int> book_by_key_;
  // Spellings met in the source -> book number (0: none), a cache in front of the keys.
  static constexpr std::size_t kSpellingCacheLimit = 4096;
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  mutable std::unordered_map<std::string, int, Hash, std::equal_to<>> spelled_;
};

// The parts of a verse reference as typed. 0 in any part: the text is not a reference.
// Numbers are kept whole (not cut to 8 bits), so that a number above 255 is seen as out of
// bounds instead of landing on some other verse.
struct VerseRef {
  std::uint32_t book = 0;
  std::uint32_t chapter = 0;
  std::uint32_t verse = 0;
  bool IsReference() const { return book != 0 && chapter != 0 && verse != 0; }
  friend bool operator==(const VerseRef&, const VerseRef&) = default;
};

// The bytes that separate the parts of a reference: blank # , - . / : ; < > @ [ \ ] { | } and
// 0xA6. A tab is not one.
bool IsReferenceSeparator(char c);

// The leading bytes of the line, trimmed at both ends, in which a reference is looked for.
std::string_view ReferenceProbe(std::string_view line);

// Parses a probe whose separators are already "%": book name, chapter text, verse text. An
// empty chapter or verse text means 1; a text that is not a decimal number means 0. Never fails.
VerseRef ParseVerseRef(std::string_view probe, const BookNameTable& books);

// What the reference-line step made of one source line.
struct ReferenceLine {
  enum class Kind {
    kNone,       // no reference: an ordinary line
    kInvalid,    // a marked line whose reference is invalid: an ordinary line with a warning
    kReference,  // a reference line
  };
  Kind kind = Kind::kNone;
  VerseRef ref;                       // as typed
  std::string book_name;              // as the book names file spells it
  VerseIndex index = 0;               // the verse, adjusted into the map
  std::optional<Diagnostic> warning;  // a warning to log (and the warnings flag to set)
};

// The reference-line step of the verse-based builders for line `line_number`. Mark type 0: only
// lines whose probe begins with `mark` are tried (an empty mark matches nothing), and a failed
// one is warned about; mark type 1: every line is tried, silently.
ReferenceLine ReadReferenceLine(std::string_view line, std::int64_t line_number, int mark_type,
                                std::string_view mark, const BookNameTable& books,
                                const VerseMap& map);

}  // namespace tavrin
