#include "mstrlist/mstrlist.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <limits>
#include <optional>
#include <thread>
#include <utility>

#include "platform/exceptions.h"

namespace tavrin {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char AsciiUpperByte(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int Sign(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Whether `needle` occurs in `haystack` with ASCII letters compared without case.
bool ContainsAsciiNoCase(std::string_view haystack, std::string_view needle) {
  // An empty text occurs in every string, the empty one too (std::search would miss that one).
  if (needle.empty()) return true;
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char a, char b) { return AsciiUpperByte(a) == AsciiUpperByte(b); }) !=
         haystack.end();
}

}  // namespace

double KeyNumber(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t p = 0;
  while (p < n && text[p] == ' ') ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  const std::size_t mantissa = p;
  // Decimal magnitude of the first significant digit, to tell overflow from underflow.
  int magnitude = 0;
  bool significant = false;
  int digits = 0;
  for (; p < n && IsDigit(text[p]); ++p, ++digits) {
    if (text[p] != '0') significant = true;
    if (significant) ++magnitude;
  }
  if (p < n && text[p] == '.') {
    for (++p; p < n && IsDigit(text[p]); ++p, ++digits) {
      if (text[p] != '0') significant = true;
      if (!significant) --magnitude;
    }
  }
  // No digit at all ('abc', '-', '.'): the value is 0.
  if (digits == 0) return 0;
  // An exponent counts only when it has digits; '1e' and '1e+' stop before the marker.
  long long exponent = 0;
  if (p < n && (text[p] == 'e' || text[p] == 'E')) {
    std::size_t q = p + 1;
    bool exponent_negative = false;
    if (q < n && (text[q] == '+' || text[q] == '-')) exponent_negative = text[q++] == '-';
    if (q < n && IsDigit(text[q])) {
      for (; q < n && IsDigit(text[q]); ++q)
        exponent = std::min(exponent * 10 + (text[q] - '0'), 1000000000LL);
      if (exponent_negative) exponent = -exponent;
      p = q;
    }
  }
  if (!significant) return negative ? -0.0 : 0.0;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + mantissa, text.data() + p, value);
  if (error == std::errc::result_out_of_range) {
    value = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

TmStrList::TmStrList(const TextLocale& locale) : locale_(locale) {}

TmStrList::~TmStrList() {
  // Nothing is notified while the list is torn down; the objects stay with their owners.
  on_change_ = nullptr;
  on_changing_ = nullptr;
}

std::string TmStrList::Get(int index) const {
  CheckIndex(index);
  return entries_[static_cast<std::size_t>(index)].text;
}

std::string_view TmStrList::View(int index) const {
  CheckIndex(index);
  return entries_[static_cast<std::size_t>(index)].text;
}

int TmStrList::GetCount() const { return static_cast<int>(entries_.size()); }

TObject* TmStrList::GetObject(int index) const {
  CheckIndex(index);
  return entries_[static_cast<std::size_t>(index)].object;
}

void TmStrList::Put(int index, const std::string& text) {
  CheckNotSorted();
  CheckIndex(index);
  Changing();
  entries_[static_cast<std::size_t>(index)].text = text;
  Changed();
}

void TmStrList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  entries_[static_cast<std::size_t>(index)].object = object;
  Changed();
}

int TmStrList::Add(const std::string& text) {
  int index = GetCount();
  if (sorted_) {
    // The new string's key decides its place, so the list stays ordered whatever the key.
    if (FindKey(KeyOf(text), index)) {
      if (duplicates_ == dupIgnore) return index;
      if (duplicates_ == dupError) throw EListError("String list does not allow duplicates");
    }
  }
  InsertItem(index, text);
  return index;
}

void TmStrList::Clear() {
  if (entries_.empty()) return;
  Changing();
  std::vector<Entry>().swap(entries_);
  capacity_ = 0;
  Changed();
}

void TmStrList::Delete(int index) {
  CheckIndex(index);
  Changing();
  entries_.erase(entries_.begin() + index);
  Changed();
}

void TmStrList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(entries_[static_cast<std::size_t>(index1)], entries_[static_cast<std::size_t>(index2)]);
  Changed();
}

int TmStrList::IndexOf(const std::string& text) const {
  if (sorted_) {
    int index = 0;
    return Find(text, index) ? index : -1;
  }
  const int count = GetCount();
  if (substring_search_ && sort_type_ == soString) {
    for (int i = 0; i < count; ++i)
      if (ContainsAsciiNoCase(entries_[static_cast<std::size_t>(i)].text, text)) return i;
    return -1;
  }
  if (substring_search_ && sort_type_ == soStringCaseSensitive) {
    for (int i = 0; i < count; ++i)
      if (entries_[static_cast<std::size_t>(i)].text.find(text) != std::string::npos) return i;
    return -1;
  }
  // Whole-key equality; also the rule for numbers and dates when substrings are asked for.
  Operand operand{text};
  for (int i = 0; i < count; ++i)
    if (Compare(KeyOf(entries_[static_cast<std::size_t>(i)].text), operand) == 0) return i;
  return -1;
}

void TmStrList::Insert(int index, const std::string& text) {
  CheckNotSorted();
  if (index < 0 || index > GetCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  InsertItem(index, text);
}

bool TmStrList::Find(const std::string& text, int& index) const { return FindKey(text, index); }

bool TmStrList::FindKey(std::string_view key, int& index) const {
  Operand operand{key};
  int lo = 0;
  int hi = GetCount() - 1;
  bool found = false;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = Compare(KeyOf(entries_[static_cast<std::size_t>(mid)].text), operand);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TmStrList::Sort() {
  if (sorted_ || GetCount() < 2) return;
  Changing();
  SortRange();
  Changed();
}

void TmStrList::SetSortType(TMSortType value) {
  if (value == sort_type_) return;
  sort_type_ = value;
  ResortAfterSettingChange();
}

void TmStrList::SetKeyLen(int value) {
  value = std::max(value, 1);
  if (value == key_len_) return;
  key_len_ = value;
  ResortAfterSettingChange();
}

void TmStrList::SetKeyPos(int value) {
  value = std::max(value, 1);
  if (value == key_pos_) return;
  key_pos_ = value;
  ResortAfterSettingChange();
}

void TmStrList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

std::string_view TmStrList::KeyOf(std::string_view text) const {
  const std::size_t pos = static_cast<std::size_t>(key_pos_) - 1;
  if (pos >= text.size()) return {};
  return text.substr(pos, static_cast<std::size_t>(key_len_));
}

void TmStrList::SetUpdateState(bool updating) {
  if (updating) {
    Changing();
  } else {
    Changed();
  }
}

void TmStrList::Changed() {
  if (on_change_) on_change_(*this);
}

void TmStrList::Changing() {
  if (on_changing_) on_changing_(*this);
}

void TmStrList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TmStrList::CheckNotSorted() const {
  if (sorted_) throw EListError("Operation not allowed on sorted list");
}

void TmStrList::InsertItem(int index, const std::string& text) {
  Changing();
  if (GetCount() == capacity_) {
    // The reported capacity follows the small fixed steps; the storage itself grows
    // geometrically so that filling a large list stays linear.
    capacity_ += capacity_ > 8 ? 16 : (capacity_ > 4 ? 8 : 4);
  }
  entries_.insert(entries_.begin() + index, Entry{text, nullptr});
  Changed();
}

double TmStrList::KeyValue(std::string_view text) const {
  return sort_type_ == soNumeric ? KeyNumber(text) : locale_.ParseDateTime(text);
}

int TmStrList::Compare(std::string_view key, Operand& operand) const {
  switch (sort_type_) {
    case soString:
      return locale_.CompareText(key, operand.text);
    case soStringCaseSensitive: {
      // string_view compares chars as unsigned bytes; a prefix is the lesser.
      const int c = key.compare(operand.text);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case soNumeric:
    case soDate:
      break;
  }
  if (!operand.has_number) {
    operand.number = KeyValue(operand.text);
    operand.has_number = true;
  }
  return Sign(KeyValue(key), operand.number);
}

void TmStrList::ResortAfterSettingChange() {
  if (!sorted_ || GetCount() < 2) return;
  Changing();
  SortRange();
  Changed();
}

void TmStrList::SortRange() {
  const int first = std::max(sort_start_, 0);
  if (first < GetCount() - 1) SortEntries(first, GetCount() - 1);
  if (sort_type_ == soNumeric) SortZeroRun();
}

void TmStrList::SortEntries(int left, int right) {
  if (sort_type_ != soString) {
    QuickSort(left, right);
    return;
  }
  // Comparing sort keys gives the collator's order; made once per entry instead of decoding
  // both strings at every comparison. The keys lie in one buffer, and the sort moves small
  // records instead of the entries, which take their places once at the end.
  const auto count = static_cast<std::size_t>(right - left) + 1;
  // A long list makes the keys of its second half on another thread, into a buffer of its own.
  const bool two_threads = count >= static_cast<std::size_t>(kSortOnTwoThreads) &&
                           std::thread::hardware_concurrency() > 1;
  const std::size_t half = two_threads ? count / 2 : count;
  std::string keys[2];
  std::vector<std::size_t> ends(count);  // the end of each key in its half's buffer
  auto make_keys = [&](std::size_t from, std::size_t to, std::string& buffer, const auto& append) {
    buffer.reserve((to - from) * 32);
    for (std::size_t k = from; k < to; ++k) {
      append(KeyOf(entries_[static_cast<std::size_t>(left) + k].text), buffer);
      ends[k] = buffer.size();
    }
  };
  std::optional<TextLocale::SortKeyMaker> maker;
  std::exception_ptr failure;
  std::thread other;
  if (half < count) {
    try {
      maker.emplace(locale_);
      other = std::thread([&] {
        try {
          make_keys(half, count, keys[1],
                    [&](std::string_view text, std::string& out) { maker->Append(text, out); });
        } catch (...) {
          failure = std::current_exception();
        }
      });
    } catch (const std::exception&) {
      maker.reset();
    }
  }
  const std::size_t here = other.joinable() ? half : count;
  make_keys(0, here, keys[0],
            [&](std::string_view text, std::string& out) { locale_.AppendSortKey(text, out); });
  if (other.joinable()) other.join();
  if (failure) std::rethrow_exception(failure);
  std::vector<KeyedEntry> keyed(count);
  for (std::size_t k = 0; k < count; ++k) {
    const bool second = k >= here;
    const std::size_t start = k == 0 || k == here ? 0 : ends[k - 1];
    const std::string_view key =
        std::string_view(keys[second ? 1 : 0]).substr(start, ends[k] - start);
    std::uint64_t prefix = 0;
    for (std::size_t b = 0; b < 8; ++b)
      prefix = (prefix << 8) | (b < key.size() ? static_cast<unsigned char>(key[b]) : 0U);
    keyed[k] = {prefix, key, static_cast<std::uint32_t>(k)};
  }
  QuickSortByKeys(0, static_cast<int>(count) - 1, keyed, two_threads);
  std::vector<Entry> sorted;
  sorted.reserve(count);
  for (const KeyedEntry& k : keyed)
    sorted.push_back(std::move(entries_[static_cast<std::size_t>(left) + k.entry]));
  std::move(sorted.begin(), sorted.end(), entries_.begin() + left);
}

void TmStrList::QuickSortByKeys(int left, int right, std::vector<KeyedEntry>& keyed,
                                bool two_threads) const {
  // Step for step the quicksort below, so equal keys end in the same order.
  auto at = [&](int i) -> const KeyedEntry& { return keyed[static_cast<std::size_t>(i)]; };
  auto compare = [](const KeyedEntry& a, const KeyedEntry& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix ? -1 : 1;
    const int c = a.key.compare(b.key);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  };
  while (left < right) {
    int i = left;
    int j = right;
    const KeyedEntry pivot = at((left + right) / 2);
    const int before = sort_descending_ ? 1 : -1;
    do {
      while (i < right && compare(at(i), pivot) == before) ++i;
      while (j > left && compare(at(j), pivot) == -before) --j;
      if (i <= j) {
        std::swap(keyed[static_cast<std::size_t>(i)], keyed[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (two_threads) {
      // The two parts never meet again: the first is sorted on another thread meanwhile, with
      // the same steps and so the same order.
      std::thread first;
      try {
        if (left < j) first = std::thread([&, left, j] { QuickSortByKeys(left, j, keyed, false); });
      } catch (const std::exception&) {
        QuickSortByKeys(left, j, keyed, false);
      }
      if (i < right) QuickSortByKeys(i, right, keyed, false);
      if (first.joinable()) first.join();
      return;
    }
    if (j - left < right - i) {
      if (left < j) QuickSortByKeys(left, j, keyed, false);
      left = i;
    } else {
      if (i < right) QuickSortByKeys(i, right, keyed, false);
      right = j;
    }
  }
}

void TmStrList::QuickSort(int left, int right) {
  // Hoare partitioning around the middle entry. Disjoint parts sort independently, so
  // recursing into the smaller part and looping on the larger gives the same order with a
  // stack depth of O(log n).
  while (left < right) {
    int i = left;
    int j = right;
    // The pivot's key is copied: swaps below move the strings it would point into.
    const std::string pivot_key(KeyOf(entries_[static_cast<std::size_t>((left + right) / 2)].text));
    Operand pivot{pivot_key};
    if (sort_type_ == soNumeric || sort_type_ == soDate) {
      pivot.number = KeyValue(pivot_key);
      pivot.has_number = true;
    }
    const int before = sort_descending_ ? 1 : -1;  // sign of "belongs before the pivot"
    do {
      while (i < right &&
             Compare(KeyOf(entries_[static_cast<std::size_t>(i)].text), pivot) == before)
        ++i;
      while (j > left &&
             Compare(KeyOf(entries_[static_cast<std::size_t>(j)].text), pivot) == -before)
        --j;
      if (i <= j) {
        std::swap(entries_[static_cast<std::size_t>(i)], entries_[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - left < right - i) {
      if (left < j) QuickSort(left, j);
      left = i;
    } else {
      if (i < right) QuickSort(i, right);
      right = j;
    }
  }
}

void TmStrList::SortZeroRun() {
  const int count = GetCount();
  int first = std::max(sort_start_, 0);
  while (first < count && KeyNumber(KeyOf(entries_[static_cast<std::size_t>(first)].text)) != 0)
    ++first;
  if (first >= count) return;
  int last = first;
  while (last + 1 < count &&
         KeyNumber(KeyOf(entries_[static_cast<std::size_t>(last) + 1].text)) == 0)
    ++last;
  if (last == first) return;
  // Text that is no number shares the value 0 with real zeros: order that block as text.
  sort_type_ = soString;
  try {
    SortEntries(first, last);
  } catch (...) {
    sort_type_ = soNumeric;
    throw;
  }
  sort_type_ = soNumeric;
}

}  // namespace tavrin
