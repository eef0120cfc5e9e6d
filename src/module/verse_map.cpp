#include "module/verse_map.h"

#include <algorithm>
#include <filesystem>

#include "platform/system.h"

namespace tavrin {
namespace {

std::string Describe(const VerseMapRecord& r) {
  return std::to_string(r.book) + " " + std::to_string(r.chapter) + ":" + std::to_string(r.verse);
}

std::string RecordName(std::size_t position) {
  return "record #" + std::to_string(position + 1) + " (byte " + std::to_string(position * 3) + ")";
}

}  // namespace

VerseMap VerseMap::FromBytes(std::string_view bytes, const std::string& origin) {
  if (bytes.empty()) throw EVerseMapError(origin, "the file is empty");
  const std::size_t count = bytes.size() / 3;
  if (bytes.size() % 3 != 0)
    throw EVerseMapError(origin, RecordName(count) + " is incomplete: the file holds " +
                                     std::to_string(bytes.size()) + " bytes, not a multiple of 3");
  if (count > kMaxVerses)
    throw EVerseMapError(origin, RecordName(kMaxVerses) + " is one verse too many: at most " +
                                     std::to_string(kMaxVerses) + " verses");

  VerseMap map;
  map.book_first_chapter_.clear();
  map.records_.reserve(count);
  VerseMapRecord previous;
  for (std::size_t k = 0; k < count; ++k) {
    VerseMapRecord r{static_cast<std::uint8_t>(bytes[3 * k]),
                     static_cast<std::uint8_t>(bytes[3 * k + 1]),
                     static_cast<std::uint8_t>(bytes[3 * k + 2])};
    // Each record is the next verse, the first verse of the next chapter or of the next book;
    // then a record's position is its index and every lookup can be computed.
    const bool next_verse = k > 0 && r.book == previous.book && r.chapter == previous.chapter &&
                            r.verse == previous.verse + 1;
    const bool next_chapter =
        k > 0 && r.book == previous.book && r.chapter == previous.chapter + 1 && r.verse == 1;
    const bool next_book = r.book == previous.book + 1 && r.chapter == 1 && r.verse == 1;
    if (!next_verse && !next_chapter && !next_book) {
      std::string expected =
          k == 0
              ? std::string("1 1:1")
              : Describe({previous.book, previous.chapter,
                          static_cast<std::uint8_t>(previous.verse + 1)}) +
                    ", " +
                    Describe({previous.book, static_cast<std::uint8_t>(previous.chapter + 1), 1}) +
                    " or " + Describe({static_cast<std::uint8_t>(previous.book + 1), 1, 1});
      throw EVerseMapError(origin, RecordName(k) + " reads " + Describe(r) + " where " + expected +
                                       " must follow (records out of order or a gap)");
    }
    if (next_book) map.book_first_chapter_.push_back(static_cast<int>(map.chapters_.size()));
    if (next_book || next_chapter) map.chapters_.push_back({static_cast<int>(k), 0});
    ++map.chapters_.back().verse_count;
    map.records_.push_back(r);
    previous = r;
  }
  // One start per book, then the end of the last book.
  map.book_first_chapter_.push_back(static_cast<int>(map.chapters_.size()));
  return map;
}

int VerseMap::ChapterCount(int book) const {
  if (book < 1 || book > BookCount()) return 0;
  return book_first_chapter_[book] - book_first_chapter_[book - 1];
}

int VerseMap::VerseCountOf(int book, int chapter) const {
  if (chapter < 1 || chapter > ChapterCount(book)) return 0;
  return chapters_[book_first_chapter_[book - 1] + chapter - 1].verse_count;
}

bool VerseMap::IsInVerseMap(int book, int chapter, int verse) const {
  return verse >= 1 && verse <= VerseCountOf(book, chapter);
}

VerseIndex VerseMap::ClampedVerseIndex(int book, int chapter, int verse) const {
  if (book > BookCount()) return static_cast<VerseIndex>(records_.size() - 1);
  book = std::max(book, 1);
  const int chapters = ChapterCount(book);
  if (chapter > chapters) {
    const Chapter& last = chapters_[book_first_chapter_[book] - 1];
    return static_cast<VerseIndex>(last.first_index + last.verse_count - 1);
  }
  const Chapter& c = chapters_[book_first_chapter_[book - 1] + std::max(chapter, 1) - 1];
  return static_cast<VerseIndex>(c.first_index + std::clamp(verse, 1, c.verse_count) - 1);
}

int VerseMap::ExactVerseIndex(int book, int chapter, int verse) const {
  if (!IsInVerseMap(book, chapter, verse)) return -1;
  return chapters_[book_first_chapter_[book - 1] + chapter - 1].first_index + verse - 1;
}

VerseMap LoadVerseMap(const std::string& program_folder) {
  const std::string path = PathText(FilePath(program_folder) / kVerseMapFileName);
  return VerseMap::FromBytes(ReadWholeFile(path), path);
}

void AppendVerseEntry(ByteStream& stream, const VerseEntry& entry) {
  stream.AppendByte(entry.book);
  stream.AppendByte(entry.chapter);
  stream.AppendByte(entry.verse);
  stream.AppendByte(0);
  stream.AppendInt32(static_cast<std::int32_t>(entry.offset));
}

}  // namespace tavrin
