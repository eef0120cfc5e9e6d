#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mstrlist/strings.h"
#include "platform/text_locale.h"

namespace tavrin {

// How keys compare: locale text ignoring case, bytes, numbers (KeyNumber), or dates of the locale.
enum TMSortType : std::uint8_t { soString, soStringCaseSensitive, soNumeric, soDate };

// What Add does on a sorted list that already holds an equal key.
enum TDuplicates : std::uint8_t { dupIgnore, dupAccept, dupError };

// The numeric value of a text: the longest leading decimal number ('.' is the only decimal
// separator; leading blanks skipped; optional exponent). '12abc' -> 12, 'abc' -> 0, '1e3' -> 1000.
double KeyNumber(std::string_view text);

class TmStrList;
using TNotifyEvent = std::function<void(TmStrList&)>;

// An indexed list of strings with objects, ordered and searched by a key: the part of each string
// from KeyPos (1-based) for KeyLen characters, compared by SortType.
class TmStrList : public TStrings {
 public:
  static constexpr int kMaxKeyLen = 2147483647;
  // From this many entries on, a sort makes its keys and sorts on two threads.
  static constexpr int kSortOnTwoThreads = 8192;

  explicit TmStrList(const TextLocale& locale = TextLocale::User());
  ~TmStrList() override;

  // TStrings
  std::string Get(int index) const override;
  int GetCount() const override;
  TObject* GetObject(int index) const override;
  void Put(int index, const std::string& text) override;
  void PutObject(int index, TObject* object) override;
  int Add(const std::string& text) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const std::string& text) const override;
  void Insert(int index, const std::string& text) override;

  // Binary search for `text` taken whole as a key; assumes ascending order. Returns whether an
  // equal key exists; `index` is its position (the first of equals under dupAccept) or else the
  // insertion point.
  virtual bool Find(const std::string& text, int& index) const;
  // Orders SortStart..Count-1 unless the list keeps itself sorted.
  virtual void Sort();

  TMSortType SortType() const { return sort_type_; }
  void SetSortType(TMSortType value);
  int KeyLen() const { return key_len_; }
  void SetKeyLen(int value);
  int KeyPos() const { return key_pos_; }
  void SetKeyPos(int value);
  int SortStart() const { return sort_start_; }
  void SetSortStart(int value) { sort_start_ = value; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates value) { duplicates_ = value; }
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent handler) { on_change_ = std::move(handler); }
  const TNotifyEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(TNotifyEvent handler) { on_changing_ = std::move(handler); }
  bool SubstringSearch() const { return substring_search_; }
  void SetSubstringSearch(bool value) { substring_search_ = value; }
  bool SortDescending() const { return sort_descending_; }
  void SetSortDescending(bool value) { sort_descending_ = value; }

  // Entries the list has room for; grows by 4, 8 or 16 as it fills.
  int Capacity() const { return capacity_; }
  // Preallocation requests are ignored: the list grows by itself.
  void SetCapacity(int) {}

  // String `index` without a copy; valid until the list changes.
  std::string_view View(int index) const;

  // The key of a string under the current KeyPos and KeyLen (a view into `text`).
  std::string_view KeyOf(std::string_view text) const;
  const TextLocale& Locale() const { return locale_; }

 protected:
  void SetUpdateState(bool updating) override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Entry {
    std::string text;
    TObject* object = nullptr;
  };
  // One side of a comparison whose number (under soNumeric and soDate) is converted once.
  struct Operand {
    std::string_view text;
    bool has_number = false;
    double number = 0;
  };

  void CheckIndex(int index) const;
  void CheckNotSorted() const;
  void InsertItem(int index, const std::string& text);
  bool FindKey(std::string_view key, int& index) const;
  double KeyValue(std::string_view text) const;
  int Compare(std::string_view key, Operand& operand) const;
  void ResortAfterSettingChange();
  void SortRange();
  // Quicksort of left..right under the current mode; under soString through sort keys.
  void SortEntries(int left, int right);
  void QuickSort(int left, int right);
  // An entry's collation sort key and its place before the sort. The key's first eight bytes
  // as one big-endian number (zeros behind a shorter key, as no key byte is zero) settle most
  // comparisons without a library call.
  struct KeyedEntry {
    std::uint64_t prefix = 0;
    std::string_view key;
    std::uint32_t entry = 0;
  };
  // The same quicksort over the sort keys made once per entry, left..right of `keyed`; the
  // entries are put in the keys' order afterwards. With `two_threads` the two parts of the
  // first split are sorted side by side.
  void QuickSortByKeys(int left, int right, std::vector<KeyedEntry>& keyed, bool two_threads) const;
  void SortZeroRun();

  const TextLocale& locale_;
  TMSortType sort_type_ = soString;
  int key_len_ = kMaxKeyLen;
  int key_pos_ = 1;
  int sort_start_ = 0;
  std::vector<Entry> entries_;
  int capacity_ = 0;
  bool sorted_ = false;
  TDuplicates duplicates_ = dupIgnore;
  TNotifyEvent on_change_;
  TNotifyEvent on_changing_;
  bool substring_search_ = false;
  bool sort_descending_ = false;
};

}  // namespace tavrin
