#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "module/byte_stream.h"
#include "platform/exceptions.h"

namespace tavrin {

// A verse's position in canonical order: 0-based, at most 65,536 verses.
using VerseIndex = std::uint16_t;
inline constexpr std::size_t kMaxVerses = 65536;
inline constexpr std::string_view kVerseMapFileName = "master.map";

// One record of master.map: the verse at that position.
struct VerseMapRecord {
  std::uint8_t book = 0;
  std::uint8_t chapter = 0;
  std::uint8_t verse = 0;
  friend bool operator==(const VerseMapRecord&, const VerseMapRecord&) = default;
};

// A master.map whose records the lookups cannot trust: empty, cut short, out of order, with a
// gap or too long. The message names the file and the first bad record.
class EVerseMapError : public EFileError {
 public:
  EVerseMapError(const std::string& path, const std::string& problem)
      : EFileError(MessageText(Message::kVerseMapDamaged, {path, problem}), path) {}
};

// The versification of one build: which books, chapters and verses exist and their canonical
// order. Every lookup is an array access.
class VerseMap {
 public:
  // Checks and indexes the records of a verse map file held in memory; `origin` names the file
  // in messages. Raises EVerseMapError unless the records run book 1 chapter 1 verse 1, then
  // each the next verse, the first verse of the next chapter or of the next book.
  static VerseMap FromBytes(std::string_view bytes, const std::string& origin);

  int BookCount() const { return static_cast<int>(book_first_chapter_.size()) - 1; }
  // 0 for a book the map does not have.
  int ChapterCount(int book) const;
  // 0 for a chapter the map does not have.
  int VerseCountOf(int book, int chapter) const;
  // Number of records; the size of the verse-indexed lists.
  int VerseCount() const { return static_cast<int>(records_.size()); }

  // Whether book, chapter and verse (each nonzero) name a verse of the map.
  bool IsInVerseMap(int book, int chapter, int verse) const;
  // The verse, or the nearest one before it: a book beyond the map gives the map's last verse,
  // a chapter beyond the book the book's last verse, a verse beyond the chapter its last verse.
  VerseIndex ClampedVerseIndex(int book, int chapter, int verse) const;
  // The verse's index, or -1 when any part is 0 or beyond the map.
  int ExactVerseIndex(int book, int chapter, int verse) const;
  // The record at an index (which must be below VerseCount()).
  VerseMapRecord VerseAt(VerseIndex index) const { return records_[index]; }

 private:
  struct Chapter {
    int first_index;
    int verse_count;
  };

  std::vector<VerseMapRecord> records_;
  // For book b (1-based): its chapters are chapters_[book_first_chapter_[b - 1] ..
  // book_first_chapter_[b] - 1]; one extra element closes the last book.
  std::vector<int> book_first_chapter_{0};
  std::vector<Chapter> chapters_;
};

// Reads master.map from the program folder. Raises EFOpenError
// ("Cannot open file %s") when it cannot be read, EVerseMapError when it is not a verse map.
VerseMap LoadVerseMap(const std::string& program_folder);

// The 8-byte index record of commentaries, note sets and jumplists.
struct VerseEntry {
  std::uint8_t book = 0;
  std::uint8_t chapter = 0;
  std::uint8_t verse = 0;
  std::uint32_t offset = 0;  // from the start of the text section
};
inline constexpr std::size_t kVerseEntrySize = 8;

// Appends the record: book, chapter, verse, a zero padding byte, the offset little-endian.
void AppendVerseEntry(ByteStream& stream, const VerseEntry& entry);

}  // namespace tavrin
