#include "mstrlist/mstrlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {
namespace {

const TextLocale& Western() {
  static const TextLocale locale("en_US", 1252);
  return locale;
}

// The strings joined with '|', for compact expectations.
std::string Joined(const TStrings& list) {
  std::string out;
  for (int i = 0; i < list.Count(); ++i) out += (i ? "|" : "") + list.Get(i);
  return out;
}

void Fill(TmStrList& list, std::initializer_list<const char*> texts) {
  for (const char* t : texts) list.Add(t);
}

template <typename E, typename F>
std::string MessageOf(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "<no exception>";
}

TEST(KeyNumberTest, LongestLeadingNumber) {
  EXPECT_EQ(KeyNumber("1e3"), 1000);
  EXPECT_EQ(KeyNumber("12,5"), 12);
  EXPECT_EQ(KeyNumber("12abc"), 12);
  EXPECT_EQ(KeyNumber("  7 apples"), 7);
  EXPECT_EQ(KeyNumber("3.5.1"), 3.5);
  EXPECT_EQ(KeyNumber("abc"), 0);
  EXPECT_EQ(KeyNumber(""), 0);
  EXPECT_EQ(KeyNumber("-2.5E-1"), -0.25);
  EXPECT_EQ(KeyNumber("+.5"), 0.5);
  EXPECT_EQ(KeyNumber("\t5"), 0);  // only code 32 is skipped
  // Incomplete numbers: the complete part before them counts.
  EXPECT_EQ(KeyNumber("1e"), 1);
  EXPECT_EQ(KeyNumber("2e+x"), 2);
  EXPECT_EQ(KeyNumber("-"), 0);
  EXPECT_TRUE(std::isinf(KeyNumber("1e999")));
  EXPECT_EQ(KeyNumber("1e-999"), 0);
}

TEST(TmStrListTest, DefaultsSortWholeStringsIgnoringCase) {
  TmStrList list(Western());
  EXPECT_EQ(list.KeyLen(), 2147483647);
  Fill(list, {"genesis", "Exodus", "Leviticus", "alpha"});
  EXPECT_EQ(list.IndexOf("GENESIS"), 0);
  EXPECT_EQ(list.IndexOf("Numbers"), -1);
  list.Sort();
  EXPECT_EQ(Joined(list), "alpha|Exodus|genesis|Leviticus");
}

TEST(TmStrListTest, KeyCutFromPositionAndLength) {
  TmStrList list(Western());
  Fill(list, {"xx10a", "yy02b", "zz"});
  list.SetKeyPos(3);
  list.SetKeyLen(2);
  EXPECT_EQ(Joined(list), "xx10a|yy02b|zz");  // unsorted: settings do not reorder
  list.Sort();
  EXPECT_EQ(Joined(list), "zz|yy02b|xx10a");
  // The argument of IndexOf is a key, compared whole.
  EXPECT_EQ(list.IndexOf("02"), 1);
  EXPECT_EQ(list.IndexOf("yy02b"), -1);
  // Sorted insertion places a new string by its own key.
  list.Clear();
  list.SetSorted(true);
  Fill(list, {"xx10a", "yy02b", "zz"});
  EXPECT_EQ(Joined(list), "zz|yy02b|xx10a");

  list.SetKeyPos(0);
  list.SetKeyLen(-5);
  EXPECT_EQ(list.KeyPos(), 1);
  EXPECT_EQ(list.KeyLen(), 1);
}

TEST(TmStrListTest, NumericZeroRunIsAlphabetical) {
  TmStrList list(Western());
  list.SetSortType(soNumeric);
  Fill(list, {"10", "9", "b", "a", "0", "-1"});
  list.Sort();
  EXPECT_EQ(Joined(list), "-1|0|a|b|9|10");
  EXPECT_EQ(list.SortType(), soNumeric);
  list.Add("B2");
  list.SetSortDescending(true);
  list.Sort();
  EXPECT_EQ(Joined(list), "10|9|B2|b|a|0|-1");
}

TEST(TmStrListTest, EqualKeysTakeTheQuicksortOrder) {
  TmStrList list(Western());
  list.SetSortType(soStringCaseSensitive);
  list.SetKeyLen(1);
  Fill(list, {"b1", "a1", "b2", "a2", "a3"});
  list.Sort();
  // Not the stable order: the partitioning moves equal keys.
  EXPECT_EQ(Joined(list), "a2|a1|a3|b1|b2");
  // Bytes compare unsigned; a prefix is the lesser.
  list.SetKeyLen(9);
  Fill(list, {"\xE9t\xE9", "B", "ab"});
  list.Sort();
  EXPECT_EQ(Joined(list), "B|a1|a2|a3|ab|b1|b2|\xE9t\xE9");
}

TEST(TmStrListTest, SortStartKeepsLeadingEntries) {
  TmStrList list(Western());
  Fill(list, {"zeta", "gamma", "alpha", "beta"});
  list.SetSortStart(1);
  list.Sort();
  EXPECT_EQ(Joined(list), "zeta|alpha|beta|gamma");
  // A start past the end sorts nothing; a negative one sorts everything.
  list.SetSortDescending(true);
  list.SetSortStart(10);
  list.Sort();
  EXPECT_EQ(Joined(list), "zeta|alpha|beta|gamma");
  list.SetSortStart(-3);
  list.Sort();
  EXPECT_EQ(Joined(list), "zeta|gamma|beta|alpha");
}

TEST(TmStrListTest, SortedListResortsOnSettingChanges) {
  TmStrList list(Western());
  Fill(list, {"b2", "a3", "c1"});
  list.SetSorted(true);
  EXPECT_EQ(Joined(list), "a3|b2|c1");
  list.SetKeyPos(2);
  EXPECT_EQ(Joined(list), "c1|b2|a3");
  // Sort is a no-op while the list keeps itself sorted; clearing the flag only stores it.
  list.Exchange(0, 2);
  list.Sort();
  list.SetSorted(false);
  EXPECT_EQ(Joined(list), "a3|b2|c1");
}

TEST(TmStrListTest, SortedAddAndDuplicates) {
  TmStrList list(Western());
  list.SetSorted(true);
  Fill(list, {"m", "c", "x"});
  EXPECT_EQ(list.Add("M"), 1);  // dupIgnore: the existing index
  EXPECT_EQ(list.Count(), 3);
  list.SetDuplicates(dupError);
  EXPECT_EQ(MessageOf<EListError>([&] { list.Add("C"); }), "String list does not allow duplicates");
  EXPECT_EQ(list.Count(), 3);

  list.SetDuplicates(dupAccept);
  Fill(list, {"m", "M", "a", "y"});
  EXPECT_EQ(Joined(list), "a|c|M|m|m|x|y");
  int index = -1;
  EXPECT_TRUE(list.Find("m", index));
  EXPECT_EQ(index, 2);  // the first of the equal entries
  EXPECT_FALSE(list.Find("n", index));
  EXPECT_EQ(index, 5);
  EXPECT_FALSE(list.Find("z", index));
  EXPECT_EQ(index, 7);
  list.SetDuplicates(dupIgnore);
  EXPECT_TRUE(list.Find("m", index));
  EXPECT_EQ(index, 3);  // the equal entry met first
  EXPECT_EQ(list.IndexOf("q"), -1);
}

TEST(TmStrListTest, IndexErrorsAndSortedRestrictions) {
  TmStrList list(Western());
  Fill(list, {"a", "b", "c"});
  EXPECT_EQ(MessageOf<EListError>([&] { list.Delete(3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Insert(4, "x"); }), "List index out of bounds (4)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Exchange(0, 7); }), "List index out of bounds (7)");
  list.Insert(3, "d");
  list.Put(0, "A");
  EXPECT_EQ(Joined(list), "A|b|c|d");

  list.SetSorted(true);
  EXPECT_EQ(MessageOf<EListError>([&] { list.Insert(0, "x"); }),
            "Operation not allowed on sorted list");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Put(0, "x"); }),
            "Operation not allowed on sorted list");
  EXPECT_EQ(Joined(list), "A|b|c|d");
}

TEST(TmStrListTest, NotificationsFireAroundEveryChange) {
  TmStrList list(Western());
  std::string events;
  list.SetOnChanging([&](TmStrList& l) { events += &l == &list ? "-" : "?"; });
  list.SetOnChange([&](TmStrList&) { events += "+"; });
  list.Add("b");
  TNumberObject one(1);
  list.AddObject("a", &one);  // Add, then PutObject
  EXPECT_EQ(events, "-+-+-+");
  events.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Exchange(0, 1);
  list.EndUpdate();
  list.EndUpdate();
  list.EndUpdate();  // unmatched: ignored
  EXPECT_EQ(events, "--++");
  events.clear();
  list.SetSortType(soNumeric);  // unsorted: no re-sort, no notification
  list.Clear();
  list.Clear();  // empty: nothing happens
  list.Sort();   // fewer than two entries
  EXPECT_EQ(events, "-+");
}

TEST(TmStrListTest, CapacityGrowsInSmallSteps) {
  TmStrList list(Western());
  std::vector<int> seen{list.Capacity()};
  for (int i = 0; i < 50; ++i) {
    list.Add("x");
    if (seen.back() != list.Capacity()) seen.push_back(list.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 4, 8, 16, 32, 48, 64}));
  list.Delete(0);
  EXPECT_EQ(list.Capacity(), 64);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(TmStrListTest, SubstringSearch) {
  TmStrList list(Western());
  Fill(list, {"In the beginning", "Genesis 1", "g\xE9n\xE9se", "G\xC9N\xC9SE"});
  list.SetSubstringSearch(true);
  EXPECT_EQ(list.IndexOf("GINNI"), 0);
  EXPECT_EQ(list.IndexOf("esis"), 1);
  EXPECT_EQ(list.IndexOf("G\xC9N"), 3);  // only a..z are folded
  list.SetSortType(soStringCaseSensitive);
  EXPECT_EQ(list.IndexOf("GINNI"), -1);
  EXPECT_EQ(list.IndexOf("begin"), 0);
  // The whole string is searched, not the key ("the" of the first entry).
  list.SetKeyPos(4);
  list.SetKeyLen(3);
  EXPECT_EQ(list.IndexOf("begin"), 0);
  list.SetSortType(soString);
  EXPECT_EQ(list.IndexOf("GINNI"), 0);
  list.SetKeyPos(1);
  list.SetKeyLen(2147483647);
  list.SetSortType(soNumeric);
  Fill(list, {"1e1", "10"});
  EXPECT_EQ(list.IndexOf("10"), 4);  // equal values, not substrings
  EXPECT_EQ(list.IndexOf("1"), -1);
}

TEST(TmStrListTest, DatesSortAndReportBadText) {
  TmStrList list(Western());
  list.SetSortType(soDate);
  Fill(list, {"12/24/2023", "1/2/2023 10:00", "1/2/2023", "6/1/1999"});
  list.Sort();
  EXPECT_EQ(Joined(list), "6/1/1999|1/2/2023|1/2/2023 10:00|12/24/2023");
  EXPECT_EQ(list.IndexOf("01/02/2023"), 1);

  list.Add("someday");
  EXPECT_EQ(MessageOf<EConvertError>([&] { list.Sort(); }),
            "'someday' is not a valid date and time");
  EXPECT_EQ(list.Count(), 5);
  EXPECT_GE(list.IndexOf("12/24/2023"), 0);  // interrupted, but nothing lost
  int index = 0;
  EXPECT_EQ(MessageOf<EConvertError>([&] { list.Find("never", index); }),
            "'never' is not a valid date and time");
}

TEST(TmStrListTest, AddStringsCarriesObjectsAndServesAsPermutation) {
  // The grid's use: tag each entry with its old index, sort once, read the permutation.
  std::vector<TNumberObject> numbers{TNumberObject(0), TNumberObject(1), TNumberObject(2),
                                     TNumberObject(3)};
  TmStrList cells(Western());
  Fill(cells, {"3", "x", "1", "2"});
  for (int i = 0; i < 4; ++i) cells.PutObject(i, &numbers[i]);
  TmStrList list(Western());
  list.SetSortType(soNumeric);
  list.SetSortDescending(true);
  list.AddStrings(cells);
  list.SetSorted(true);
  list.SetSorted(false);
  std::string permutation;
  for (int i = 0; i < list.Count(); ++i)
    permutation += std::to_string(static_cast<TNumberObject*>(list.GetObject(i))->Value());
  EXPECT_EQ(permutation, "0321");

  list.AddStrings(list);  // into itself: doubles once
  EXPECT_EQ(list.Count(), 8);
  EXPECT_EQ(list.GetObject(4), list.GetObject(0));
}

TEST(TmStrListTest, FilesLoadMixedLineEndsAndSaveCrLf) {
  const std::filesystem::path dir = CreateTempFile("mstrlist_test");
  std::filesystem::remove(dir);
  std::filesystem::create_directory(dir);
  const std::string in = (dir / "in.txt").string();
  std::ofstream(in, std::ios::binary) << "one\r\ntwo\nthree\rfour\n\nsix\r\r\nseven\r\n";
  TmStrList list(Western());
  list.Add("old");
  list.LoadFromFile(in);
  EXPECT_EQ(Joined(list), "one|two|three|four||six||seven");

  const std::string out = (dir / "out.txt").string();
  list.SaveToFile(out);
  EXPECT_EQ(ReadWholeFile(out), "one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n\r\nseven\r\n");

  const std::string missing = (dir / "missing.txt").string();
  EXPECT_EQ(MessageOf<EFOpenError>([&] { list.LoadFromFile(missing); }),
            "Cannot open file " + missing);
  EXPECT_EQ(MessageOf<EFOpenError>([&] { list.LoadFromFile(dir.string()); }),
            "Cannot open file " + dir.string());
  EXPECT_EQ(list.Count(), 8);
  const std::string bad = (dir / "no" / "file.txt").string();
  EXPECT_EQ(MessageOf<EFCreateError>([&] { list.SaveToFile(bad); }), "Cannot create file " + bad);

  // A load that fails half way still closes its update batch.
  std::ofstream(in, std::ios::binary | std::ios::trunc) << "a\nb\nA";
  list.SetSorted(true);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.LoadFromFile(in), EListError);
  EXPECT_EQ(list.UpdateCount(), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tavrin
