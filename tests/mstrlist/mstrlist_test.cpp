#include "mstrlist/mstrlist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace tavrin {
namespace {

const TextLocale& Western() {
  static const TextLocale locale("en_US", 1252);
  return locale;
}

std::vector<std::string> Items(const TStrings& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
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

using V = std::vector<std::string>;

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
  EXPECT_EQ(KeyNumber("."), 0);
  EXPECT_TRUE(std::isinf(KeyNumber("1e999")));
  EXPECT_EQ(KeyNumber("1e-999"), 0);
}

TEST(TmStrListTest, DefaultsSortWholeStringsIgnoringCase) {
  TmStrList list(Western());
  EXPECT_EQ(list.SortType(), soString);
  EXPECT_EQ(list.KeyLen(), 2147483647);
  EXPECT_EQ(list.KeyPos(), 1);
  EXPECT_EQ(list.Duplicates(), dupIgnore);
  Fill(list, {"genesis", "Exodus", "exodus", "Leviticus", "Genesis", "alpha"});
  EXPECT_EQ(list.IndexOf("GENESIS"), 0);
  EXPECT_EQ(list.IndexOf("Numbers"), -1);
  list.Sort();
  const V sorted = Items(list);
  EXPECT_EQ(sorted[0], "alpha");
  EXPECT_EQ(sorted[5], "Leviticus");
  const int genesis = list.IndexOf("genesis");
  EXPECT_TRUE(genesis == 3 || genesis == 4) << genesis;
}

TEST(TmStrListTest, KeyCutFromPositionAndLength) {
  TmStrList list(Western());
  Fill(list, {"xx10a", "yy02b", "zz"});
  list.SetKeyPos(3);
  list.SetKeyLen(2);
  EXPECT_EQ(list.KeyOf("xx10a"), "10");
  EXPECT_EQ(list.KeyOf("zz"), "");
  EXPECT_EQ(Items(list), (V{"xx10a", "yy02b", "zz"}));  // unsorted: settings do not reorder
  list.Sort();
  EXPECT_EQ(Items(list), (V{"zz", "yy02b", "xx10a"}));
  // The argument of IndexOf is a key, compared whole.
  EXPECT_EQ(list.IndexOf("02"), 1);
  EXPECT_EQ(list.IndexOf("yy02b"), -1);

  list.SetKeyPos(0);
  EXPECT_EQ(list.KeyPos(), 1);
  list.SetKeyLen(-5);
  EXPECT_EQ(list.KeyLen(), 1);
}

TEST(TmStrListTest, NumericZeroRunIsAlphabetical) {
  TmStrList list(Western());
  list.SetSortType(soNumeric);
  Fill(list, {"10", "9", "b", "a", "0", "-1"});
  list.Sort();
  EXPECT_EQ(Items(list), (V{"-1", "0", "a", "b", "9", "10"}));
  EXPECT_EQ(list.SortType(), soNumeric);

  list.Clear();
  list.SetSortDescending(true);
  Fill(list, {"10", "9", "b", "a", "0", "-1", "B2"});
  list.Sort();
  EXPECT_EQ(Items(list), (V{"10", "9", "B2", "b", "a", "0", "-1"}));
}

TEST(TmStrListTest, EqualKeysTakeTheQuicksortOrder) {
  TmStrList list(Western());
  list.SetSortType(soStringCaseSensitive);
  list.SetKeyLen(1);
  Fill(list, {"b1", "a1", "b2", "a2", "a3"});
  list.Sort();
  // Not the stable order a1 a2 a3: the partitioning moves equal keys.
  EXPECT_EQ(Items(list), (V{"a2", "a1", "a3", "b1", "b2"}));
}

TEST(TmStrListTest, CaseSensitiveComparesUnsignedBytes) {
  TmStrList list(Western());
  list.SetSortType(soStringCaseSensitive);
  Fill(list, {"\xE9t\xE9", "abc", "B", "ab", "a"});
  list.Sort();
  EXPECT_EQ(Items(list), (V{"B", "a", "ab", "abc", "\xE9t\xE9"}));
  EXPECT_EQ(list.IndexOf("b"), -1);
  EXPECT_EQ(list.IndexOf("B"), 0);
}

TEST(TmStrListTest, SortStartKeepsLeadingEntries) {
  TmStrList list(Western());
  Fill(list, {"zeta", "gamma", "alpha", "beta"});
  list.SetSortStart(1);
  list.Sort();
  EXPECT_EQ(Items(list), (V{"zeta", "alpha", "beta", "gamma"}));
  // A start beyond the end or below zero neither crashes nor moves anything wrongly.
  list.SetSortStart(10);
  list.SetSortDescending(true);
  list.Sort();
  EXPECT_EQ(Items(list), (V{"zeta", "alpha", "beta", "gamma"}));
  list.SetSortStart(-3);
  list.Sort();
  EXPECT_EQ(Items(list), (V{"zeta", "gamma", "beta", "alpha"}));
}

TEST(TmStrListTest, SortedListResortsOnSettingChanges) {
  TmStrList list(Western());
  Fill(list, {"b2", "a3", "c1"});
  list.SetSorted(true);
  EXPECT_EQ(Items(list), (V{"a3", "b2", "c1"}));
  list.SetKeyPos(2);
  EXPECT_EQ(Items(list), (V{"c1", "b2", "a3"}));
  list.SetSortType(soNumeric);
  EXPECT_EQ(Items(list), (V{"c1", "b2", "a3"}));
  // Sort is a no-op while the list keeps itself sorted.
  list.Exchange(0, 2);
  list.Sort();
  EXPECT_EQ(Items(list), (V{"a3", "b2", "c1"}));
  // Turning Sorted off only stores the flag.
  list.SetSorted(false);
  EXPECT_EQ(Items(list), (V{"a3", "b2", "c1"}));
}

TEST(TmStrListTest, SortedAddAndDuplicates) {
  TmStrList list(Western());
  list.SetSorted(true);
  EXPECT_EQ(list.Add("m"), 0);
  EXPECT_EQ(list.Add("c"), 0);
  EXPECT_EQ(list.Add("x"), 2);
  EXPECT_EQ(list.Add("M"), 1);  // dupIgnore: the existing index
  EXPECT_EQ(list.Count(), 3);

  list.SetDuplicates(dupError);
  EXPECT_EQ(MessageOf<EListError>([&] { list.Add("C"); }), "String list does not allow duplicates");
  EXPECT_EQ(list.Count(), 3);

  list.SetDuplicates(dupAccept);
  Fill(list, {"m", "M", "a", "y"});
  EXPECT_EQ(Items(list), (V{"a", "c", "M", "m", "m", "x", "y"}));
  int index = -1;
  EXPECT_TRUE(list.Find("m", index));
  EXPECT_EQ(index, 2);  // the first of the equal entries
  EXPECT_FALSE(list.Find("n", index));
  EXPECT_EQ(index, 5);
  EXPECT_FALSE(list.Find("0", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.Find("z", index));
  EXPECT_EQ(index, 7);
  list.SetDuplicates(dupIgnore);
  EXPECT_TRUE(list.Find("m", index));
  EXPECT_EQ(index, 3);  // the equal entry met first
  EXPECT_EQ(list.IndexOf("M"), 3);
  EXPECT_EQ(list.IndexOf("q"), -1);
}

TEST(TmStrListTest, SortedAddPlacesByTheNewStringsKey) {
  TmStrList list(Western());
  list.SetKeyPos(3);
  list.SetKeyLen(2);
  list.SetSorted(true);
  Fill(list, {"xx10a", "yy02b", "zz"});
  EXPECT_EQ(Items(list), (V{"zz", "yy02b", "xx10a"}));
  EXPECT_EQ(list.Add("qq10"), 2);  // equal key "10": ignored
  EXPECT_EQ(list.Count(), 3);
}

TEST(TmStrListTest, IndexErrorsAndSortedRestrictions) {
  TmStrList list(Western());
  Fill(list, {"a", "b", "c"});
  EXPECT_EQ(MessageOf<EListError>([&] { list.Delete(3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Insert(4, "x"); }), "List index out of bounds (4)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Exchange(0, 7); }), "List index out of bounds (7)");
  EXPECT_EQ(MessageOf<EListError>([&] { list.PutObject(3, nullptr); }),
            "List index out of bounds (3)");
  list.Insert(3, "d");
  list.Insert(0, "_");
  list.Put(1, "A");
  EXPECT_EQ(Items(list), (V{"_", "A", "b", "c", "d"}));

  list.SetSorted(true);
  const V before = Items(list);
  EXPECT_EQ(MessageOf<EListError>([&] { list.Insert(0, "x"); }),
            "Operation not allowed on sorted list");
  EXPECT_EQ(MessageOf<EListError>([&] { list.Put(0, "x"); }),
            "Operation not allowed on sorted list");
  EXPECT_EQ(Items(list), before);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 4);
}

TEST(TmStrListTest, NotificationsFireAroundEveryChange) {
  TmStrList list(Western());
  std::vector<char> events;
  list.SetOnChanging([&](TmStrList& l) {
    EXPECT_EQ(&l, &list);
    events.push_back('-');
  });
  list.SetOnChange([&](TmStrList&) { events.push_back('+'); });
  list.Add("b");
  EXPECT_EQ(std::string(events.begin(), events.end()), "-+");
  events.clear();
  TNumberObject one(1);
  list.AddObject("a", &one);  // Add, then PutObject
  EXPECT_EQ(events.size(), 4u);
  events.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Exchange(0, 1);
  list.EndUpdate();
  list.EndUpdate();
  list.EndUpdate();  // unmatched: ignored
  EXPECT_EQ(std::string(events.begin(), events.end()), "--++");
  events.clear();
  list.Sort();
  EXPECT_EQ(std::string(events.begin(), events.end()), "-+");
  events.clear();
  list.SetSortType(soNumeric);  // unsorted: no re-sort, no notification
  list.Clear();
  list.Clear();  // empty: nothing happens
  list.Sort();   // fewer than two entries
  EXPECT_EQ(std::string(events.begin(), events.end()), "-+");
}

TEST(TmStrListTest, CapacityGrowsInSmallSteps) {
  TmStrList list(Western());
  EXPECT_EQ(list.Capacity(), 0);
  std::vector<int> seen;
  for (int i = 0; i < 50; ++i) {
    list.Add("x");
    if (seen.empty() || seen.back() != list.Capacity()) seen.push_back(list.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int>{4, 8, 16, 32, 48, 64}));
  list.SetCapacity(1000);
  EXPECT_EQ(list.Capacity(), 64);
  list.Delete(0);
  EXPECT_EQ(list.Capacity(), 64);
  list.Clear();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(TmStrListTest, SubstringSearch) {
  TmStrList list(Western());
  Fill(list, {"In the beginning", "Genesis 1",
              "g\xE9n\xE9"
              "se",
              "G\xC9N\xC9SE"});
  list.SetSubstringSearch(true);
  EXPECT_EQ(list.IndexOf("GINNI"), 0);
  EXPECT_EQ(list.IndexOf("esis"), 1);
  EXPECT_EQ(list.IndexOf("G\xC9N"), 3);  // only a..z are folded
  EXPECT_EQ(list.IndexOf(""), 0);
  list.SetSortType(soStringCaseSensitive);
  EXPECT_EQ(list.IndexOf("GINNI"), -1);
  EXPECT_EQ(list.IndexOf("begin"), 0);
  list.SetSortType(soNumeric);
  list.Clear();
  Fill(list, {"x", "1e1", "10"});
  EXPECT_EQ(list.IndexOf("10"), 1);  // equal values, not substrings
  EXPECT_EQ(list.IndexOf("1"), -1);
}

TEST(TmStrListTest, DatesSortAndReportBadText) {
  TmStrList list(Western());
  list.SetSortType(soDate);
  Fill(list, {"12/24/2023", "1/2/2023 10:00", "1/2/2023", "6/1/1999"});
  list.Sort();
  EXPECT_EQ(Items(list), (V{"6/1/1999", "1/2/2023", "1/2/2023 10:00", "12/24/2023"}));
  EXPECT_EQ(list.IndexOf("01/02/2023"), 1);

  list.Add("someday");
  std::vector<std::string> before = Items(list);
  EXPECT_EQ(MessageOf<EConvertError>([&] { list.Sort(); }),
            "'someday' is not a valid date and time");
  std::vector<std::string> after = Items(list);
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);  // interrupted, but nothing lost
  int index = 0;
  EXPECT_EQ(MessageOf<EConvertError>([&] { list.Find("never", index); }),
            "'never' is not a valid date and time");
  EXPECT_EQ(MessageOf<EConvertError>([&] { list.IndexOf("never"); }),
            "'never' is not a valid date and time");
  EXPECT_EQ(list.SortType(), soDate);
}

TEST(TmStrListTest, AddStringsCarriesObjectsAndServesAsPermutation) {
  // The grid's use: tag each entry with its old index, sort once, read the permutation.
  std::vector<TNumberObject> numbers;
  for (int i = 0; i < 4; ++i) numbers.emplace_back(i);
  TmStrList cells(Western());
  Fill(cells, {"3", "x", "1", "2"});
  for (int i = 0; i < 4; ++i) cells.PutObject(i, &numbers[i]);
  TmStrList list(Western());
  list.SetSortType(soNumeric);
  list.SetSortDescending(true);
  list.AddStrings(cells);
  list.SetSorted(true);
  list.SetSorted(false);
  std::vector<int> permutation;
  for (int i = 0; i < list.Count(); ++i)
    permutation.push_back(static_cast<TNumberObject*>(list.GetObject(i))->Value());
  EXPECT_EQ(permutation, (std::vector<int>{0, 3, 2, 1}));

  list.AddStrings(list);  // into itself: doubles once
  EXPECT_EQ(list.Count(), 8);
  EXPECT_EQ(list.GetObject(4), list.GetObject(0));
}

class TmStrListFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("mstrlist_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

TEST_F(TmStrListFileTest, LoadSplitsMixedLineEndsAndSaveWritesCrLf) {
  const std::string in = PathOf("in.txt");
  {
    std::ofstream out(in, std::ios::binary);
    out << "one\r\ntwo\nthree\rfour\n\nsix\r\r\nseven\r\n";
  }
  TmStrList list(Western());
  list.Add("old");
  int changes = 0;
  list.SetOnChange([&](TmStrList&) { ++changes; });
  list.LoadFromFile(in);
  EXPECT_EQ(Items(list), (V{"one", "two", "three", "four", "", "six", "", "seven"}));
  EXPECT_GT(changes, 0);
  EXPECT_EQ(list.UpdateCount(), 0);

  const std::string saved = PathOf("out.txt");
  list.SaveToFile(saved);
  std::ifstream back(saved, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n\r\nseven\r\n");

  {
    std::ofstream out(in, std::ios::binary | std::ios::trunc);
    out << "last";
  }
  list.LoadFromFile(in);
  EXPECT_EQ(Items(list), (V{"last"}));
}

TEST_F(TmStrListFileTest, FileErrors) {
  TmStrList list(Western());
  list.Add("kept");
  const std::string missing = PathOf("missing.txt");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { list.LoadFromFile(missing); }),
            "Cannot open file " + missing);
  EXPECT_EQ(Items(list), (V{"kept"}));
  const std::string bad = PathOf("no/such/folder.txt");
  EXPECT_EQ(MessageOf<EFCreateError>([&] { list.SaveToFile(bad); }), "Cannot create file " + bad);

  // A load that fails half way (a duplicate under dupError) still closes its update batch.
  const std::string dup = PathOf("dup.txt");
  {
    std::ofstream out(dup, std::ios::binary);
    out << "a\nb\nA\n";
  }
  list.SetSorted(true);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.LoadFromFile(dup), EListError);
  EXPECT_EQ(list.UpdateCount(), 0);
}

}  // namespace
}  // namespace tavrin
