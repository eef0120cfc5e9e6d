#include "import/bible_books.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <unordered_map>
#include <vector>

namespace tavrin {
namespace {

struct BookRow {
  std::string_view osis;           // OSIS identifier
  std::string_view key_name;       // SWORD's key name
  std::string_view full;           // the usual English name, whose prefixes are read too
  std::string_view abbreviations;  // further forms, blank-separated, lower case, no dots
  int chapters;
};

// Line k is book k of tavrin.bok.
constexpr auto kBooks = std::to_array<BookRow>({
    {"Gen", "Genesis", "genesis", "gn gen", 50},
    {"Exod", "Exodus", "exodus", "ex exo exod", 40},
    {"Lev", "Leviticus", "leviticus", "lv lev", 27},
    {"Num", "Numbers", "numbers", "nm nb num", 36},
    {"Deut", "Deuteronomy", "deuteronomy", "dt deu deut", 34},
    {"Josh", "Joshua", "joshua", "jos josh", 24},
    {"Judg", "Judges", "judges", "jdg jdgs judg jg", 21},
    {"Ruth", "Ruth", "ruth", "rth ru", 4},
    {"1Sam", "I Samuel", "1samuel", "1sa 1sam 1sm 1s", 31},
    {"2Sam", "II Samuel", "2samuel", "2sa 2sam 2sm 2s", 24},
    {"1Kgs", "I Kings", "1kings", "1ki 1kgs 1kg 1k", 22},
    {"2Kgs", "II Kings", "2kings", "2ki 2kgs 2kg 2k", 25},
    {"1Chr", "I Chronicles", "1chronicles", "1ch 1chr 1chron", 29},
    {"2Chr", "II Chronicles", "2chronicles", "2ch 2chr 2chron", 36},
    {"Ezra", "Ezra", "ezra", "ezr", 10},
    {"Neh", "Nehemiah", "nehemiah", "ne neh", 13},
    {"Esth", "Esther", "esther", "es est esth", 10},
    {"Job", "Job", "job", "jb job", 42},
    {"Ps", "Psalms", "psalms", "ps psa psalm pss psm", 150},
    {"Prov", "Proverbs", "proverbs", "pr prv prov", 31},
    {"Eccl", "Ecclesiastes", "ecclesiastes", "ec ecc eccl eccles qoh qoheleth", 12},
    {"Song", "Song of Solomon", "songofsolomon", "so sos song songofsongs songs canticles cant ss",
     8},
    {"Isa", "Isaiah", "isaiah", "is isa", 66},
    {"Jer", "Jeremiah", "jeremiah", "je jer jr", 52},
    {"Lam", "Lamentations", "lamentations", "la lam", 5},
    {"Ezek", "Ezekiel", "ezekiel", "eze ezek ezk", 48},
    {"Dan", "Daniel", "daniel", "da dan dn", 12},
    {"Hos", "Hosea", "hosea", "ho hos", 14},
    {"Joel", "Joel", "joel", "jl joe", 3},
    {"Amos", "Amos", "amos", "am amo", 9},
    {"Obad", "Obadiah", "obadiah", "ob oba obad", 1},
    {"Jonah", "Jonah", "jonah", "jnh jon", 4},
    {"Mic", "Micah", "micah", "mi mic", 7},
    {"Nah", "Nahum", "nahum", "na nah", 3},
    {"Hab", "Habakkuk", "habakkuk", "hab", 3},
    {"Zeph", "Zephaniah", "zephaniah", "zep zeph zp", 3},
    {"Hag", "Haggai", "haggai", "hag hg", 2},
    {"Zech", "Zechariah", "zechariah", "zec zech zc", 14},
    {"Mal", "Malachi", "malachi", "mal ml", 4},
    {"Matt", "Matthew", "matthew", "mt mat matt", 28},
    {"Mark", "Mark", "mark", "mk mr mrk", 16},
    {"Luke", "Luke", "luke", "lk lu luk", 24},
    {"John", "John", "john", "jn jhn joh", 21},
    {"Acts", "Acts", "acts", "ac act", 28},
    {"Rom", "Romans", "romans", "ro rom rm", 16},
    {"1Cor", "I Corinthians", "1corinthians", "1co 1cor", 16},
    {"2Cor", "II Corinthians", "2corinthians", "2co 2cor", 13},
    {"Gal", "Galatians", "galatians", "ga gal", 6},
    {"Eph", "Ephesians", "ephesians", "ep eph", 6},
    {"Phil", "Philippians", "philippians", "php phil pp", 4},
    {"Col", "Colossians", "colossians", "col", 4},
    {"1Thess", "I Thessalonians", "1thessalonians", "1th 1thes 1thess", 5},
    {"2Thess", "II Thessalonians", "2thessalonians", "2th 2thes 2thess", 3},
    {"1Tim", "I Timothy", "1timothy", "1ti 1tim 1tm", 6},
    {"2Tim", "II Timothy", "2timothy", "2ti 2tim 2tm", 4},
    {"Titus", "Titus", "titus", "tit ti", 3},
    {"Phlm", "Philemon", "philemon", "phm phlm philem", 1},
    {"Heb", "Hebrews", "hebrews", "he heb", 13},
    {"Jas", "James", "james", "jas jm", 5},
    {"1Pet", "I Peter", "1peter", "1pe 1pet 1pt 1p", 5},
    {"2Pet", "II Peter", "2peter", "2pe 2pet 2pt 2p", 3},
    {"1John", "I John", "1john", "1jn 1jo 1joh 1jhn", 5},
    {"2John", "II John", "2john", "2jn 2jo 2joh 2jhn", 1},
    {"3John", "III John", "3john", "3jn 3jo 3joh 3jhn", 1},
    {"Jude", "Jude", "jude", "jud jde", 1},
    {"Rev", "Revelation of John", "revelation",
     "re rev rv apoc apocalypse revelations revelationofjohn", 22},
});
static_assert(kBooks.size() == kBookCount);

// Books of other canons: named only to say that they are outside the 66.
constexpr std::string_view kOutsideBooks[] = {"tob",
                                              "tobit",
                                              "jdt",
                                              "judith",
                                              "wis",
                                              "wisdom",
                                              "wisdomofsolomon",
                                              "sir",
                                              "sirach",
                                              "ecclesiasticus",
                                              "bar",
                                              "baruch",
                                              "1macc",
                                              "2macc",
                                              "3macc",
                                              "4macc",
                                              "1maccabees",
                                              "2maccabees",
                                              "1esd",
                                              "2esd",
                                              "1esdras",
                                              "2esdras",
                                              "prman",
                                              "prayerofmanasseh",
                                              "addesth",
                                              "epjer",
                                              "prazar",
                                              "sus",
                                              "susanna",
                                              "bel",
                                              "belandthedragon",
                                              "esg",
                                              "ps151",
                                              "addps",
                                              "odes",
                                              "pssol",
                                              "1en",
                                              "jub",
                                              "laodiceans"};

// The name as the lookups compare it: lower-case letters and digits only, a leading number
// (1, I, First, 1st) as one digit.
std::string NormalName(std::string_view name) {
  std::string words;
  for (char c : name) words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Leading ordinal words and roman numerals, when a blank or dot follows them.
  static constexpr std::pair<std::string_view, char> kOrdinals[] = {
      {"first", '1'}, {"second", '2'}, {"third", '3'}, {"1st", '1'}, {"2nd", '2'},
      {"3rd", '3'},   {"iii", '3'},    {"ii", '2'},    {"i", '1'}};
  for (const auto& [word, digit] : kOrdinals) {
    if (words.size() > word.size() && words.compare(0, word.size(), word) == 0 &&
        (words[word.size()] == ' ' || words[word.size()] == '.')) {
      words = std::string(1, digit) + words.substr(word.size());
      break;
    }
  }
  std::string out;
  for (char c : words)
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
  return out;
}

class BookIndex {
 public:
  BookIndex() {
    for (int b = 0; b < kBookCount; ++b) {
      const BookRow& row = kBooks[static_cast<std::size_t>(b)];
      exact_[NormalName(row.osis)] = b + 1;
      exact_[NormalName(row.key_name)] = b + 1;
      std::string_view list = row.abbreviations;
      while (!list.empty()) {
        std::size_t blank = list.find(' ');
        exact_[std::string(list.substr(0, blank))] = b + 1;
        list = blank == std::string_view::npos ? std::string_view() : list.substr(blank + 1);
      }
    }
    for (std::string_view name : kOutsideBooks) outside_.emplace(name, 0);
  }

  int Find(std::string_view name, bool* outside) const {
    std::string normal = NormalName(name);
    if (outside) *outside = false;
    if (normal.empty()) return 0;
    if (auto it = exact_.find(normal); it != exact_.end()) return it->second;
    // A prefix of one full name alone ("gene", "revel"), at least two letters past a number.
    const std::size_t letters = normal.size() - (normal[0] >= '0' && normal[0] <= '9' ? 1 : 0);
    if (letters >= 2) {
      int found = 0;
      for (int b = 0; b < kBookCount; ++b) {
        if (kBooks[static_cast<std::size_t>(b)].full.starts_with(normal)) {
          if (found) return 0;  // ambiguous ("jo")
          found = b + 1;
        }
      }
      if (found) return found;
    }
    if (outside && outside_.contains(normal)) *outside = true;
    return 0;
  }

 private:
  std::unordered_map<std::string, int> exact_;
  std::unordered_map<std::string, int> outside_;
};

const BookIndex& Index() {
  static const BookIndex index;
  return index;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

// Reads a decimal number of at most six digits at `pos`; -1 when there is none.
int ReadNumber(std::string_view text, std::size_t& pos) {
  std::size_t start = pos;
  int value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    if (pos - start < 6) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return pos == start ? -1 : value;
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
}

// Chapter, verse and the end of a range behind a book; false when they do not read.
bool ReadNumbers(std::string_view text, int chapters, BibleRef& ref) {
  std::size_t pos = 0;
  SkipBlanks(text, pos);
  int first = ReadNumber(text, pos);
  if (first < 0) return false;
  int chapter = first, verse = -1;
  if (pos < text.size() && (text[pos] == ':' || text[pos] == '.' || text[pos] == ',') &&
      pos + 1 < text.size() && IsDigit(text[pos + 1])) {
    ++pos;
    verse = ReadNumber(text, pos);
  }
  if (verse < 0) {
    // "Jude 5": the one chapter of a book, and a verse of it.
    if (chapters == 1) {
      verse = chapter;
      chapter = 1;
    } else {
      verse = 1;
    }
  }
  ref.chapter = chapter;
  ref.verse = verse;
  ref.end_chapter = chapter;
  ref.end_verse = verse;
  SkipBlanks(text, pos);
  if (pos < text.size() && (text[pos] == '-' || text.substr(pos).starts_with("\u2013"))) {
    pos += text[pos] == '-' ? 1 : 3;
    SkipBlanks(text, pos);
    int end = ReadNumber(text, pos);
    if (end < 0) return false;
    if (pos < text.size() && (text[pos] == ':' || text[pos] == '.') && pos + 1 < text.size() &&
        IsDigit(text[pos + 1])) {
      ++pos;
      ref.end_chapter = end;
      ref.end_verse = ReadNumber(text, pos);
    } else {
      ref.end_verse = end;
    }
  }
  // Whatever follows a full reference (a second one after ";" or ",") is not read.
  return pos == text.size() || text[pos] == ';' || text[pos] == ',' || text[pos] == ' ';
}

}  // namespace

int BookOfName(std::string_view name, bool* outside) { return Index().Find(name, outside); }

std::string_view BookKeyName(int book) {
  return kBooks.at(static_cast<std::size_t>(book - 1)).key_name;
}

RefReading ReadEnglishRef(std::string_view text) {
  RefReading reading;
  text = Trim(text);
  // A work's name in front: "MHCC:Heb 1:4", "KJV:1Jo 5:20".
  std::size_t colon = text.find(':');
  if (colon != std::string_view::npos && colon > 0) {
    std::string_view work = text.substr(0, colon);
    bool is_word = std::all_of(work.begin(), work.end(),
                               [](char c) { return IsLetter(c) || IsDigit(c) || c == '_'; });
    std::string_view rest = text.substr(colon + 1);
    if (is_word && !rest.empty() &&
        (IsLetter(rest[0]) || (rest.size() > 1 && IsDigit(rest[0]) && IsLetter(rest[1]))))
      text = Trim(rest);
  }
  // The book: an optional leading number, then words up to the first digit behind a letter.
  std::size_t pos = 0;
  if (pos < text.size() && IsDigit(text[pos])) {
    ++pos;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '.')) ++pos;
  }
  std::size_t letters_start = pos;
  while (pos < text.size() && (IsLetter(text[pos]) || text[pos] == ' ' || text[pos] == '.')) ++pos;
  if (pos == letters_start) return reading;
  std::string_view book_text = Trim(text.substr(0, pos));
  bool outside = false;
  int book = BookOfName(book_text, &outside);
  reading.book_text = std::string(book_text);
  if (book == 0) {
    if (outside) reading.kind = RefReading::Kind::kOutsideBook;
    return reading;
  }
  BibleRef ref;
  ref.book = book;
  if (!ReadNumbers(text.substr(pos), kBooks[static_cast<std::size_t>(book - 1)].chapters, ref)) {
    return reading;
  }
  reading.kind = RefReading::Kind::kVerse;
  reading.ref = ref;
  return reading;
}

RefReading ReadOsisRef(std::string_view text) {
  text = Trim(text);
  std::string_view first = text.substr(0, text.find(' '));
  // A work's name in front ("Bible:Gen.1.1", "KJV:Gen.1.1").
  if (std::size_t colon = first.find(':'); colon != std::string_view::npos)
    first = first.substr(colon + 1);
  std::string_view start = first.substr(0, first.find('-'));
  std::string_view end =
      first.find('-') == std::string_view::npos ? start : first.substr(first.find('-') + 1);
  auto parts = [](std::string_view id, std::string_view& book, int& chapter, int& verse) {
    id = id.substr(0, id.find('!'));  // a grain ("Gen.1.1!a")
    std::size_t dot = id.find('.');
    book = id.substr(0, dot);
    chapter = 0;
    verse = 0;
    if (dot == std::string_view::npos) return true;
    std::string_view rest = id.substr(dot + 1);
    std::size_t pos = 0;
    chapter = ReadNumber(rest, pos);
    if (chapter < 0) return false;
    if (pos == rest.size()) return true;
    if (rest[pos] != '.') return false;
    ++pos;
    verse = ReadNumber(rest, pos);
    return verse >= 0 && pos == rest.size();
  };
  std::string_view book_id, end_book;
  int chapter = 0, verse = 0, end_chapter = 0, end_verse = 0;
  bool outside = false;
  if (parts(start, book_id, chapter, verse) && parts(end, end_book, end_chapter, end_verse)) {
    // Only an identifier spelled as OSIS spells it; other spellings are read as English text.
    int book = 0;
    for (int b = 0; b < kBookCount; ++b)
      if (kBooks[static_cast<std::size_t>(b)].osis == book_id) book = b + 1;
    if (book != 0) {
      RefReading reading;
      reading.kind = RefReading::Kind::kVerse;
      reading.book_text = std::string(book_id);
      BibleRef& ref = reading.ref;
      ref.book = book;
      ref.chapter = chapter == 0 ? 1 : chapter;
      ref.verse = verse == 0 ? 1 : verse;
      ref.end_chapter = end_book == book_id && end_chapter != 0 ? end_chapter : ref.chapter;
      ref.end_verse = end_book == book_id && end_verse != 0 ? end_verse : ref.verse;
      return reading;
    }
    BookOfName(book_id, &outside);
    if (outside && !book_id.empty()) {
      RefReading reading;
      reading.kind = RefReading::Kind::kOutsideBook;
      reading.book_text = std::string(book_id);
      return reading;
    }
  }
  // "ge 1", "Gen 1:1": English text in an OSIS attribute.
  std::string spaced(text);
  return ReadEnglishRef(spaced);
}

}  // namespace tavrin
