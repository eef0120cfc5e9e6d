#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The 66 books as English texts name them: OSIS identifiers, SWORD's key names, the usual
// names and abbreviations, and the readers of references written with them.

namespace tavrin {

inline constexpr int kBookCount = 66;

// A verse as a reference names it; book 1..66 in the order of tavrin.bok.
struct BibleRef {
  int book = 0;
  int chapter = 0;  // 0: a book's introduction
  int verse = 0;    // 0: a chapter's introduction
  // The last verse of a range; equal to the first when there is none.
  int end_chapter = 0;
  int end_verse = 0;
  bool IsRange() const { return end_chapter != chapter || end_verse != verse; }
};

// What reading a reference found.
struct RefReading {
  enum class Kind { kNone, kVerse, kOutsideBook };
  Kind kind = Kind::kNone;
  BibleRef ref;
  std::string book_text;  // the book as written, for messages
};

// The book of a name or abbreviation ("Genesis", "Gen", "ge", "1Ch", "I Chronicles", "1 John",
// "Revelation of John"); 0 when none of the 66. `outside` is set when it names a book the 66
// lack (Tobit, Sirach, 1 Maccabees ...).
int BookOfName(std::string_view name, bool* outside = nullptr);

// The SWORD key name of a book ("I Samuel", "Revelation of John").
std::string_view BookKeyName(int book);

// An OSIS reference: "Gen.1.1", "Exod.6.16-Exod.6.20", "Ps.23", "Bible:Gen.1.1!a"; the first of
// several (blank-separated). Falls back on English text ("ge 1") when it is no OSIS identifier.
RefReading ReadOsisRef(std::string_view text);

// A reference written as English text: "Gen 1:1", "joh 7:7", "Ro 3:23", "1Ch 6:3", "Re20:4-6",
// "MHCC:Heb 1:4", "Ps 23", "Genesis 1:0", "Jude 5"; blanks around it ignored, nothing after it.
RefReading ReadEnglishRef(std::string_view text);

}  // namespace tavrin
