#include "builders/verse_ref.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin {
namespace {

// The creation log's line of a reference line's warning, empty when it has none.
std::string WarningLine(const ReferenceLine& r) { return r.warning ? LogLine(*r.warning) : ""; }

// Book 1 with chapters of 31 and 25 verses, then one-chapter books of 5 verses up to book 9.
VerseMap SmallMap() {
  std::string bytes;
  auto add = [&](int b, int c, int verses) {
    for (int v = 1; v <= verses; ++v) bytes += {char(b), char(c), char(v)};
  };
  add(1, 1, 31);
  add(1, 2, 25);
  for (int b = 2; b <= 9; ++b) add(b, 1, 5);
  return VerseMap::FromBytes(bytes, "m.map");
}

class VerseRefTest : public ::testing::Test {
 protected:
  void SetUp() override {
    books_.SetNames({"Gen", "Exod", "Lev", "Num", "Deut", "Josh", "Judg", "Ruth", "1 Sam"});
  }
  // Parses text as typed (separators not yet held).
  VerseRef Parse(std::string text) {
    for (char& c : text)
      if (IsReferenceSeparator(c)) c = '%';
    return ParseVerseRef(text, books_);
  }
  ReferenceLine Read(const std::string& line, int mark_type = 0, std::string mark = "#") {
    return ReadReferenceLine(line, 7, mark_type, mark, books_, map_);
  }

  TextLocale locale_{"en_US", 1252};
  BookNameTable books_{locale_};
  VerseMap map_ = SmallMap();
};

TEST_F(VerseRefTest, ReferenceExamples) {
  EXPECT_EQ(Parse("Gen 1:1"), (VerseRef{1, 1, 1}));
  EXPECT_EQ(Parse("gen.1.1"), (VerseRef{1, 1, 1}));
  EXPECT_EQ(Parse("GEN 2:3"), (VerseRef{1, 2, 3}));
  EXPECT_EQ(Parse("Gen 1"), (VerseRef{1, 1, 1}));
  EXPECT_EQ(Parse("Gen").chapter, 0u);
  EXPECT_EQ(Parse("1 Sam 3:4"), (VerseRef{9, 3, 4}));
  EXPECT_EQ(Parse("1.Sam 3:4"), (VerseRef{9, 3, 4}));
  EXPECT_EQ(Parse("1-Sam 3 4"), (VerseRef{9, 3, 4}));
  EXPECT_EQ(Parse("1  Sam 3:4").book, 9u);  // runs of separators are one
  EXPECT_EQ(Parse("Gen 1:x").verse, 0u);
  EXPECT_EQ(Parse("Song of Songs 1:1").book, 0u);
  EXPECT_EQ(Parse("::Gen 1:2-5 and more"), (VerseRef{1, 1, 2}));
  EXPECT_EQ(Parse("Gen 1:257"), (VerseRef{1, 1, 257}));  // kept whole, not cut to 8 bits
  EXPECT_EQ(Parse("Gen 0256:1"), (VerseRef{1, 256, 1}));
  EXPECT_EQ(Parse("Gen 1:99999999999").verse, 0u);  // too large to be a number
  EXPECT_EQ(Parse("Gen\t1:1").book, 0u);            // a tab is no separator
  for (char c : std::string(" #,-./:;<>@[\\]{|}\xA6")) {
    EXPECT_TRUE(IsReferenceSeparator(c)) << c;
    EXPECT_EQ(Parse(std::string("Gen") + c + "2" + c + "3"), (VerseRef{1, 2, 3})) << c;
  }
  EXPECT_FALSE(IsReferenceSeparator('\t'));
  EXPECT_FALSE(IsReferenceSeparator('_'));
}

TEST_F(VerseRefTest, BookNames) {
  EXPECT_EQ(Parse("12").book, 0u);  // no separator: the name is empty
  books_.SetNames({"Gen", "", "gen"});
  EXPECT_EQ(Parse("12"), (VerseRef{2, 12, 1}));  // ...and matches the first empty line
  EXPECT_EQ(Parse("GEN 1").book, 1u);            // the first of equal names wins
  EXPECT_EQ(books_.Name(3), "gen");
  books_.SetNames({"Song of Songs", "Gen.", " Gen"});
  EXPECT_EQ(Parse("Song of Songs 1:1").book, 0u);  // names holding separators never match
  EXPECT_EQ(Parse("Gen. 1:1").book, 0u);
  EXPECT_EQ(Parse(" Gen 1:1").book, 0u);  // lines are not trimmed
}

TEST_F(VerseRefTest, MarkTypes) {
  ReferenceLine r = Read("  #Gen 2:3 text  ");
  EXPECT_EQ(r.kind, ReferenceLine::Kind::kReference);
  EXPECT_EQ(r.index, 31 + 2);
  EXPECT_EQ(r.book_name, "Gen");
  EXPECT_EQ(WarningLine(r), "");
  EXPECT_EQ(Read("Gen 2:3").kind, ReferenceLine::Kind::kNone);  // unmarked
  EXPECT_EQ(Read("##Gen 2:3", 0, "##").kind, ReferenceLine::Kind::kReference);
  EXPECT_EQ(Read("#Gen 2:3", 0, "").kind, ReferenceLine::Kind::kNone);  // empty mark
  EXPECT_EQ(Read("#Gen 2:3", 0, "##").kind, ReferenceLine::Kind::kNone);

  r = Read(" #Foo 1:1\t");
  EXPECT_EQ(r.kind, ReferenceLine::Kind::kInvalid);
  EXPECT_EQ(WarningLine(r), "line #7 - Warning: invalid reference ( #Foo 1:1\t)");

  EXPECT_EQ(Read("Gen 2:3", 1).index, 31 + 2);
  EXPECT_EQ(Read("#Gen 2:3", 1).kind, ReferenceLine::Kind::kReference);  // leading separator
  r = Read("Genesis says", 1);  // mark type 1 tries every line, silently
  EXPECT_EQ(r.kind, ReferenceLine::Kind::kNone);
  EXPECT_EQ(WarningLine(r), "");
  EXPECT_EQ(Read("Exod said", 1).kind, ReferenceLine::Kind::kNone);
  EXPECT_EQ(Read("Exod 1 3 went", 1).index, 56 + 2);
  EXPECT_EQ(Read("", 1).kind, ReferenceLine::Kind::kNone);
}

TEST_F(VerseRefTest, ProbeIsTheFirstFiftyBytes) {
  // The mark counts: "#", 44 separators and "Gen 1" end exactly at byte 50.
  const std::string fits = "#" + std::string(44, ':') + "Gen 2";
  ReferenceLine r = Read("\t " + fits + " and a long text behind it");
  EXPECT_EQ(map_.VerseAt(r.index), (VerseMapRecord{1, 2, 1}));
  // One separator more and the probe ends in "Gen ", chapter 1.
  r = Read(" #:" + fits.substr(1));
  EXPECT_EQ(map_.VerseAt(r.index), (VerseMapRecord{1, 1, 1}));
  // Three more and only "Ge" is left.
  EXPECT_EQ(Read("#:::" + fits.substr(1)).kind, ReferenceLine::Kind::kInvalid);
  EXPECT_EQ(ReferenceProbe("  ab  "), "ab");
  EXPECT_EQ(ReferenceProbe(std::string(60, 'a')).size(), 50u);
}

TEST_F(VerseRefTest, OutOfBoundsIsAdjustedAndWarned) {
  struct Case {
    std::string line;
    VerseMapRecord adjusted;
    std::string printed;
  };
  for (const Case& c : std::vector<Case>{
           {"#gen 1:40", {1, 1, 31}, "Gen 1:40"},
           {"#Gen 3:1", {1, 2, 25}, "Gen 3:1"},
           {"#Gen 1:257", {1, 1, 31}, "Gen 1:257"},  // not Gen 1:1
           {"#Gen 256:1", {1, 2, 25}, "Gen 256:1"},
           {"#1 sam 2", {9, 1, 5}, "1 Sam 2:1"},
       }) {
    ReferenceLine r = Read(c.line);
    EXPECT_EQ(r.kind, ReferenceLine::Kind::kReference) << c.line;
    EXPECT_EQ(map_.VerseAt(r.index), c.adjusted) << c.line;
    EXPECT_EQ(WarningLine(r),
              "line #7 - Warning: reference out of bounds (" + c.printed + ") adjusted");
  }
  // A book the names file knows but the map does not: the map's last verse.
  books_.SetNames({"Gen", "Exod", "Lev", "Num", "Deut", "Josh", "Judg", "Ruth", "1 Sam", "Mal"});
  ReferenceLine r = Read("#Mal 1:1");
  EXPECT_EQ(map_.VerseAt(r.index), (VerseMapRecord{9, 1, 5}));
  EXPECT_EQ(WarningLine(r), "line #7 - Warning: reference out of bounds (Mal 1:1) adjusted");
}

}  // namespace
}  // namespace tavrin
