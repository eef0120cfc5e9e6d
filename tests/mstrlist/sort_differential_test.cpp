// Sorting by collation sort keys against the quicksort that asks the collator at every
// comparison: the same order, also of equal keys (told apart by their objects).

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "mstrlist/mstrlist.h"

namespace tavrin {
namespace {

struct Item {
  std::string text;
  TObject* object;
};

struct Settings {
  bool descending;
  int key_pos;
  int key_len;
};

std::string_view Key(const std::string& s, const Settings& settings) {
  std::size_t pos = static_cast<std::size_t>(settings.key_pos) - 1;
  if (pos >= s.size()) return {};
  return std::string_view(s).substr(pos, static_cast<std::size_t>(settings.key_len));
}

// The list's quicksort in its plain form, comparing with CompareText each time.
void ReferenceQuickSort(std::vector<Item>& items, int left, int right, const TextLocale& locale,
                        const Settings& settings) {
  const int before = settings.descending ? 1 : -1;
  for (;;) {
    int i = left;
    int j = right;
    const std::string pivot(
        Key(items[static_cast<std::size_t>((left + right) / 2)].text, settings));
    do {
      while (i < right && locale.CompareText(Key(items[i].text, settings), pivot) == before) ++i;
      while (j > left && locale.CompareText(Key(items[j].text, settings), pivot) == -before) --j;
      if (i <= j) {
        std::swap(items[i], items[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) ReferenceQuickSort(items, left, j, locale, settings);
    left = i;
    if (i >= right) break;
  }
}

TEST(SortDifferential, SortKeysGiveTheCollatorsOrder) {
  TextLocale locale("en_US", 1252);
  std::mt19937 rng(4242);
  // Few letters, so that keys repeat and differ only in case or accents.
  const std::vector<std::string> letters = {"a", "A", "b", "B",    "\xE9", "\xC9", "e",
                                            " ", "-", "1", "\xDF", "ss",   "z"};
  std::vector<std::unique_ptr<TObject>> objects;
  for (int i = 0; i < 400; ++i) objects.push_back(std::make_unique<TObject>());

  for (int round = 0; round < 200; ++round) {
    Settings settings{rng() % 2 == 0, 1 + static_cast<int>(rng() % 3),
                      rng() % 2 == 0 ? TmStrList::kMaxKeyLen : 1 + static_cast<int>(rng() % 3)};
    const int count = 1 + static_cast<int>(rng() % 120);
    const int sort_start = rng() % 4 == 0 ? static_cast<int>(rng() % count) : 0;
    TmStrList list(locale);
    list.SetKeyPos(settings.key_pos);
    list.SetKeyLen(settings.key_len);
    list.SetSortDescending(settings.descending);
    list.SetSortStart(sort_start);
    std::vector<Item> items;
    for (int i = 0; i < count; ++i) {
      // Every other round the texts share a long beginning: keys equal in their first bytes.
      std::string text = round % 2 == 1 ? "Shared Beginning " : "";
      for (int k = static_cast<int>(rng() % 5); k > 0; --k) text += letters[rng() % letters.size()];
      items.push_back({text, objects[static_cast<std::size_t>(i)].get()});
      list.AddObject(text, items.back().object);
    }
    list.Sort();
    if (sort_start < count - 1) ReferenceQuickSort(items, sort_start, count - 1, locale, settings);
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(list.Get(i), items[static_cast<std::size_t>(i)].text) << "round " << round;
      ASSERT_EQ(list.GetObject(i), items[static_cast<std::size_t>(i)].object)
          << "round " << round << " index " << i;
    }
  }
}

// Long lists make their keys and sort on two threads: still the same order, also for names that
// the code page's byte table cannot decode (they go through the converter) and for equal keys.
TEST(SortDifferential, LongListsSortedOnTwoThreadsKeepTheOrder) {
  TextLocale locale("en_US", 1252);
  std::mt19937 rng(77);
  const std::vector<std::string> letters = {"a", "A", "b", "\xE9", "\xC9", " ", "\x81", "ss"};
  for (const auto& [count, descending, sort_start] :
       {std::tuple<int, bool, int>{TmStrList::kSortOnTwoThreads, false, 0},
        {TmStrList::kSortOnTwoThreads - 1, true, 0},
        {12000, false, 3000}}) {
    std::vector<std::unique_ptr<TObject>> objects;
    std::vector<Item> items;
    TmStrList list(locale);
    list.SetSortDescending(descending);
    list.SetSortStart(sort_start);
    for (int i = 0; i < count; ++i) {
      std::string text;
      for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k)
        text += letters[rng() % letters.size()];
      if (i % 997 == 0) text += std::string(300, 'x');  // too long for the byte table
      objects.push_back(std::make_unique<TObject>());
      items.push_back({text, objects.back().get()});
      list.AddObject(text, items.back().object);
    }
    list.Sort();
    ReferenceQuickSort(items, sort_start, count - 1, locale,
                       Settings{descending, 1, TmStrList::kMaxKeyLen});
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(list.GetObject(i), items[static_cast<std::size_t>(i)].object)
          << "count " << count << " index " << i;
    }
  }
}

}  // namespace
}  // namespace tavrin
