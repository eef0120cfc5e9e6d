#include "module/verse_map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace tavrin {
namespace {

// master.map bytes for books given as their chapters' verse counts.
std::string MapBytes(const std::vector<std::vector<int>>& books) {
  std::string bytes;
  for (std::size_t b = 0; b < books.size(); ++b)
    for (std::size_t c = 0; c < books[b].size(); ++c)
      for (int v = 1; v <= books[b][c]; ++v) {
        bytes.push_back(static_cast<char>(b + 1));
        bytes.push_back(static_cast<char>(c + 1));
        bytes.push_back(static_cast<char>(v));
      }
  return bytes;
}

std::string Damage(const std::string& bytes) {
  try {
    VerseMap::FromBytes(bytes, "m.map");
  } catch (const EVerseMapError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(VerseMapTest, LookupsFollowRecordPositions) {
  // Book 1: chapters of 3 and 2 verses; book 2: one chapter of 4 verses.
  VerseMap map = VerseMap::FromBytes(MapBytes({{3, 2}, {4}}), "m.map");
  EXPECT_EQ(map.VerseCount(), 9);
  EXPECT_EQ(map.BookCount(), 2);
  EXPECT_EQ(map.ChapterCount(1), 2);
  EXPECT_EQ(map.ChapterCount(3), 0);
  EXPECT_EQ(map.VerseCountOf(1, 2), 2);
  for (int i = 0; i < map.VerseCount(); ++i) {
    VerseMapRecord r = map.VerseAt(static_cast<VerseIndex>(i));
    EXPECT_EQ(map.ExactVerseIndex(r.book, r.chapter, r.verse), i);
    EXPECT_EQ(map.ClampedVerseIndex(r.book, r.chapter, r.verse), i);
  }
  EXPECT_TRUE(map.IsInVerseMap(2, 1, 4));
  EXPECT_FALSE(map.IsInVerseMap(2, 1, 5));
  EXPECT_FALSE(map.IsInVerseMap(1, 3, 1));
  EXPECT_FALSE(map.IsInVerseMap(3, 1, 1));

  // Clamping: verse beyond the chapter, chapter beyond the book, book beyond the map.
  EXPECT_EQ(map.VerseAt(map.ClampedVerseIndex(1, 1, 9)), (VerseMapRecord{1, 1, 3}));
  EXPECT_EQ(map.VerseAt(map.ClampedVerseIndex(1, 7, 1)), (VerseMapRecord{1, 2, 2}));
  EXPECT_EQ(map.VerseAt(map.ClampedVerseIndex(9, 1, 1)), (VerseMapRecord{2, 1, 4}));
  EXPECT_EQ(map.VerseAt(map.ClampedVerseIndex(1, 2, 300)), (VerseMapRecord{1, 2, 2}));

  // The exact lookup never clamps.
  EXPECT_EQ(map.ExactVerseIndex(1, 1, 4), -1);
  EXPECT_EQ(map.ExactVerseIndex(0, 1, 1), -1);
  EXPECT_EQ(map.ExactVerseIndex(1, 0, 1), -1);
  EXPECT_EQ(map.ExactVerseIndex(1, 1, 0), -1);
  EXPECT_EQ(map.ExactVerseIndex(3, 1, 1), -1);
}

TEST(VerseMapTest, DamagedMapsAreRefusedNamingTheFirstBadRecord) {
  EXPECT_EQ(Damage(""), "Verse map file 'm.map' is damaged: the file is empty");
  EXPECT_EQ(Damage(std::string("\1\1\1\1\1", 5)),
            "Verse map file 'm.map' is damaged: record #2 (byte 3) is incomplete: the file "
            "holds 5 bytes, not a multiple of 3");
  EXPECT_EQ(Damage(std::string("\1\1\2", 3)),
            "Verse map file 'm.map' is damaged: record #1 (byte 0) reads 1 1:2 where 1 1:1 must "
            "follow (records out of order or a gap)");

  std::string gap = MapBytes({{3}});
  gap[8] = 4;  // 1 1:1, 1 1:2, 1 1:4
  EXPECT_EQ(Damage(gap),
            "Verse map file 'm.map' is damaged: record #3 (byte 6) reads 1 1:4 where 1 1:3, 1 2:1 "
            "or 2 1:1 must follow (records out of order or a gap)");
  std::string swapped = MapBytes({{2}, {2}});
  std::swap(swapped[0], swapped[6]);  // book 2 first
  EXPECT_NE(Damage(swapped).find("record #1 (byte 0) reads 2 1:1"), std::string::npos);
  EXPECT_NE(Damage(MapBytes({{2}, {}, {1}})).find("record #3 (byte 6) reads 3 1:1"),
            std::string::npos);  // a book missing
  EXPECT_NE(Damage(MapBytes({{2, 0, 1}})).find("record #3 (byte 6) reads 1 3:1"),
            std::string::npos);  // a chapter missing

  // 65,536 verses fit; one more does not.
  std::vector<std::vector<int>> big(1, std::vector<int>(255, 255));  // 65,025 verses
  big.push_back({255, 255, 1});
  VerseMap full = VerseMap::FromBytes(MapBytes(big), "m.map");
  EXPECT_EQ(full.VerseCount(), 65536);
  EXPECT_EQ(full.VerseAt(65535), (VerseMapRecord{2, 3, 1}));
  EXPECT_EQ(full.ClampedVerseIndex(3, 1, 1), 65535);
  big.back().back() = 2;
  EXPECT_EQ(Damage(MapBytes(big)),
            "Verse map file 'm.map' is damaged: record #65537 (byte 196608) is one verse too "
            "many: at most 65536 verses");
}

TEST(VerseMapTest, LoadsFromTheProgramFolder) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tavrin-vm-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  EXPECT_THROW(LoadVerseMap(dir.string()), EFOpenError);
  std::ofstream(dir / "master.map", std::ios::binary) << MapBytes({{1, 2}});
  EXPECT_EQ(LoadVerseMap(dir.string()).VerseCount(), 3);
  fs::remove_all(dir);
}

TEST(VerseMapTest, VerseEntryBytes) {
  ByteStream stream;
  AppendVerseEntry(stream, {66, 22, 21, 0x01020304});
  EXPECT_EQ(stream.Bytes(), std::string("\x42\x16\x15\0\x04\x03\x02\x01", 8));
}

}  // namespace
}  // namespace tavrin
