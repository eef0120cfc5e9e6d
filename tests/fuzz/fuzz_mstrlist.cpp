// Operation sequences on a TmStrList checked against a plain vector of (string, object) pairs:
// the list holds what the vector holds after every operation, sorts keep the fixed leading
// block and the multiset of entries and leave the rest ordered by the key, searches return
// entries that match, and failures raise the fixed messages and change nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "harness.h"
#include "mstrlist/mstrlist.h"
#include "platform/exceptions.h"

using namespace tavrin;

namespace {

struct Item {
  std::string text;
  TObject* object;
  bool operator==(const Item&) const = default;
  bool operator<(const Item& o) const {
    return text != o.text ? text < o.text : std::less<TObject*>()(object, o.object);
  }
};

constexpr const char* kWords[] = {"",    "a",        "A",        "b",          "10",
                                  "9",   "0",        "-1",       "1e3",        "12,5",
                                  "abc", "Apple",    "apple",    "12/31/2020", "1/2/2021 10:30",
                                  " 7",  "\xE4pfel", "\xC4PFEL", "zz",         "xx10a"};

class ListFuzz {
 public:
  explicit ListFuzz(FuzzedDataProvider& in) : in_(in), list_(fuzz::Locale()) {
    for (int i = 0; i < 8; ++i) objects_.push_back(std::make_unique<TNumberObject>(i));
    list_.SetOnChanging([this](TmStrList&) { ++changing_; });
    list_.SetOnChange([this](TmStrList&) { ++changed_; });
  }

  void Run() {
    for (int step = 0; step < 80 && in_.remaining_bytes() > 0; ++step) {
      bool raised = false;
      before_ = model_;
      try {
        Step();
      } catch (const EConvertError&) {
        // Only dates fail to convert; an interrupted sort keeps every entry.
        raised = true;
        CheckSameItems("interrupted sort");
        Resync();
      }
      CheckMirror();
      if (!raised && list_.UpdateCount() == 0)
        fuzz::Check(changing_ == changed_, "Changing and Changed out of step");
      changing_ = changed_ = 0;
    }
  }

 private:
  std::string Text() {
    if (in_.ConsumeBool()) return in_.PickValueInArray(kWords);
    return in_.ConsumeRandomLengthString(10);
  }
  TObject* Object() {
    const int k = in_.ConsumeIntegralInRange(-1, 7);
    return k < 0 ? nullptr : objects_[k].get();
  }
  int Index() { return in_.ConsumeIntegralInRange(-1, static_cast<int>(model_.size()) + 1); }
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(model_.size()); }

  std::string_view Key(std::string_view text) const {
    return fuzz::KeyOf(text, list_.KeyPos(), list_.KeyLen());
  }
  int Compare(std::string_view a, std::string_view b) const {
    return fuzz::CompareKeys(list_.SortType(), a, b);
  }
  bool Equal(std::string_view key, std::string_view text) const {
    if (list_.SortType() == soNumeric) return KeyNumber(key) == KeyNumber(text);
    return Compare(key, text) == 0;
  }

  template <typename F>
  void ExpectListError(const std::string& message, F&& operation) {
    try {
      operation();
    } catch (const EListError& e) {
      fuzz::Check(e.what() == message, "wrong list error message", e.what());
      CheckMirror();
      return;
    }
    fuzz::Fail("no EListError:", message);
  }
  static std::string OutOfBounds(int index) {
    return "List index out of bounds (" + std::to_string(index) + ")";
  }

  // After a sort: the leading block in place, the same entries, the rest in key order.
  void CheckSorted(const std::vector<Item>& before) {
    model_ = Snapshot();
    CheckSameItems("sort lost or made entries", &before);
    const int start = std::max(0, list_.SortStart());
    for (int i = 0; i < std::min<int>(start, static_cast<int>(before.size())); ++i)
      fuzz::Check(model_[i] == before[i], "sort moved an entry before SortStart");
    for (int i = start + 1; i < static_cast<int>(model_.size()); ++i) {
      int c = Compare(Key(model_[i - 1].text), Key(model_[i].text));
      if (list_.SortDescending()) c = -c;
      fuzz::Check(c <= 0, "not in key order after sorting",
                  model_[i - 1].text + "|" + model_[i].text);
    }
  }
  void Sorting(auto&& operation) {
    const std::vector<Item> before = model_;
    before_ = before;
    operation();
    CheckSorted(before);
  }

  void Step() {
    const int op = in_.ConsumeIntegralInRange(0, 17);
    if (fuzz::Tracing()) fuzz::Trace("op " + std::to_string(op) + Describe());
    switch (op) {
      case 0:
      case 1: {
        const std::string text = Text();
        TObject* object = op == 1 ? Object() : nullptr;
        before_ = model_;
        if (!list_.Sorted()) {
          const int index = op == 1 ? list_.AddObject(text, object) : list_.Add(text);
          fuzz::Check(index == static_cast<int>(model_.size()), "Add did not append");
          model_.push_back({text, object});
          return;
        }
        // Whether the new string's key is cut before the search is the list's choice, so the
        // outcome is read from the list and checked for consistency.
        int index = 0;
        try {
          index = op == 1 ? list_.AddObject(text, object) : list_.Add(text);
        } catch (const EListError& e) {
          fuzz::Check(list_.Duplicates() == dupError &&
                          std::string_view(e.what()) == "String list does not allow duplicates",
                      "unexpected list error from Add", e.what());
          return;
        }
        if (list_.Count() == static_cast<int>(model_.size())) {
          fuzz::Check(list_.Duplicates() == dupIgnore && Valid(index),
                      "Add to a sorted list added nothing");
          if (op == 1) model_[index].object = object;
          return;
        }
        fuzz::Check(
            index >= 0 && index <= static_cast<int>(model_.size()) && list_.Get(index) == text,
            "Add to a sorted list: wrong index");
        model_.insert(model_.begin() + index, {text, op == 1 ? object : nullptr});
        return;
      }
      case 2: {
        const int index = Index();
        const std::string text = Text();
        if (list_.Sorted())
          ExpectListError("Operation not allowed on sorted list",
                          [&] { list_.Insert(index, text); });
        else if (index < 0 || index > static_cast<int>(model_.size()))
          ExpectListError(OutOfBounds(index), [&] { list_.Insert(index, text); });
        else {
          list_.Insert(index, text);
          model_.insert(model_.begin() + index, {text, nullptr});
        }
        return;
      }
      case 3: {
        const int index = Index();
        if (!Valid(index)) return ExpectListError(OutOfBounds(index), [&] { list_.Delete(index); });
        list_.Delete(index);
        model_.erase(model_.begin() + index);
        return;
      }
      case 4: {
        const int i = Index(), j = Index();
        if (!Valid(i) || !Valid(j))
          return ExpectListError(OutOfBounds(Valid(i) ? j : i), [&] { list_.Exchange(i, j); });
        list_.Exchange(i, j);
        std::swap(model_[i], model_[j]);
        return;
      }
      case 5: {
        const int index = Index();
        const std::string text = Text();
        if (list_.Sorted())
          ExpectListError("Operation not allowed on sorted list", [&] { list_.Put(index, text); });
        else if (!Valid(index))
          ExpectListError(OutOfBounds(index), [&] { list_.Put(index, text); });
        else {
          list_.Put(index, text);
          model_[index].text = text;
        }
        return;
      }
      case 6: {
        const int index = Index();
        TObject* object = Object();
        if (!Valid(index))
          return ExpectListError(OutOfBounds(index), [&] { list_.PutObject(index, object); });
        list_.PutObject(index, object);
        model_[index].object = object;
        return;
      }
      case 7:
        if (in_.ConsumeIntegralInRange(0, 3) == 0) {
          // Clear releases the storage only when there is something to clear.
          const bool had_entries = !model_.empty();
          list_.Clear();
          model_.clear();
          if (had_entries) fuzz::Check(list_.Capacity() == 0, "Clear kept the storage");
        }
        return;
      case 8: {
        const bool was_sorted = list_.Sorted();
        if (was_sorted || model_.size() < 2) {
          const auto before = model_;
          list_.Sort();
          fuzz::Check(Snapshot() == before, "Sort on a sorted or short list changed it");
          return;
        }
        return Sorting([&] { list_.Sort(); });
      }
      case 9: {
        const bool value = in_.ConsumeBool();
        if (value && !list_.Sorted() && model_.size() >= 2) {
          // The list that keeps itself sorted is sorted once, here.
          return Sorting([&] { list_.SetSorted(true); });
        }
        list_.SetSorted(value);
        fuzz::Check(list_.Sorted() == value, "Sorted not stored");
        return;
      }
      case 10:
      case 11:
      case 12: {
        const int value = op == 10   ? in_.ConsumeIntegralInRange(0, 3)
                          : op == 11 ? in_.ConsumeIntegralInRange(-2, 6)
                                     : (in_.ConsumeBool() ? TmStrList::kMaxKeyLen
                                                          : in_.ConsumeIntegralInRange(-2, 6));
        auto set = [&] {
          if (op == 10)
            list_.SetSortType(static_cast<TMSortType>(value));
          else if (op == 11)
            list_.SetKeyPos(value);
          else
            list_.SetKeyLen(value);
        };
        if (list_.Sorted() && model_.size() >= 2) {
          // A sorted list re-sorts at once when the key changes (nothing when it does not).
          const auto before = model_;
          const int old = op == 10 ? list_.SortType() : op == 11 ? list_.KeyPos() : list_.KeyLen();
          set();
          const int now = op == 10 ? list_.SortType() : op == 11 ? list_.KeyPos() : list_.KeyLen();
          if (old == now)
            fuzz::Check(Snapshot() == before, "an unchanged setting re-sorted");
          else
            CheckSorted(before);
        } else {
          set();
        }
        fuzz::Check(list_.KeyPos() >= 1 && list_.KeyLen() >= 1, "KeyPos or KeyLen below 1");
        return;
      }
      case 13: {
        const std::string text = Text();
        const int index = list_.IndexOf(text);
        fuzz::Check(index >= -1 && index < static_cast<int>(model_.size()), "IndexOf range");
        if (list_.Sorted()) {
          // The binary search of Find: see there.
          if (index >= 0 && list_.Duplicates() != dupAccept)
            fuzz::Check(Equal(Key(model_[index].text), text), "IndexOf: no match");
          return;
        }
        int expected = -1;
        for (int i = 0; i < static_cast<int>(model_.size()) && expected < 0; ++i) {
          const std::string& s = model_[i].text;
          bool match;
          if (list_.SubstringSearch() && list_.SortType() == soString)
            match = AsciiUpper(s).find(AsciiUpper(text)) != std::string::npos;
          else if (list_.SubstringSearch() && list_.SortType() == soStringCaseSensitive)
            match = s.find(text) != std::string::npos;
          else if (list_.SubstringSearch() && list_.SortType() == soDate)
            return;  // never combined by the program: any behaviour will do
          else
            match = Equal(Key(s), text);
          if (match) expected = i;
        }
        fuzz::Check(index == expected, "IndexOf found another entry",
                    text + " | " + std::to_string(index) + " | " + std::to_string(expected));
        return;
      }
      case 14: {
        const std::string text = Text();
        int index = -7;
        const bool found = list_.Find(text, index);
        fuzz::Check(index >= 0 && index <= static_cast<int>(model_.size()), "Find index range");
        // Under dupAccept the search runs on to the first of the equal keys, which only an
        // ordered list makes meaningful; otherwise it stops at the equal key it met.
        if (found && list_.Duplicates() != dupAccept)
          fuzz::Check(Equal(Key(model_[index].text), text), "Find: no match", text);
        return;
      }
      case 15:
        switch (in_.ConsumeIntegralInRange(0, 3)) {
          case 0:
            list_.SetDuplicates(static_cast<TDuplicates>(in_.ConsumeIntegralInRange(0, 2)));
            return;
          case 1:
            list_.SetSubstringSearch(in_.ConsumeBool());
            return;
          case 2:
            list_.SetSortDescending(in_.ConsumeBool());
            return;
          default:
            list_.SetSortStart(in_.ConsumeIntegralInRange(-1, 4));
            return;
        }
      case 16: {
        // AddStrings on an unsorted list appends every entry with its object, in order.
        if (list_.Sorted()) return;
        TmStrList other(fuzz::Locale());
        const int n = in_.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < n; ++i) other.AddObject(Text(), Object());
        list_.AddStrings(other);
        for (int i = 0; i < n; ++i) model_.push_back({other.Get(i), other.GetObject(i)});
        return;
      }
      default: {
        const int index = Index();
        if (!Valid(index)) return ExpectListError(OutOfBounds(index), [&] { list_.Get(index); });
        return;
      }
    }
  }

  std::string Describe() const {
    std::string out =
        " sorted=" + std::to_string(list_.Sorted()) + " type=" + std::to_string(list_.SortType()) +
        " pos=" + std::to_string(list_.KeyPos()) + " len=" + std::to_string(list_.KeyLen()) +
        " start=" + std::to_string(list_.SortStart()) +
        " desc=" + std::to_string(list_.SortDescending()) +
        " dup=" + std::to_string(list_.Duplicates()) + " [";
    for (int i = 0; i < list_.Count(); ++i) out += "'" + list_.Get(i) + "' ";
    return out + "]";
  }
  std::vector<Item> Snapshot() const {
    std::vector<Item> items;
    for (int i = 0; i < list_.Count(); ++i) items.push_back({list_.Get(i), list_.GetObject(i)});
    return items;
  }
  void Resync() { model_ = Snapshot(); }
  void CheckSameItems(std::string_view what, const std::vector<Item>* before = nullptr) {
    std::vector<Item> a = before != nullptr ? *before : before_;
    std::vector<Item> b = Snapshot();
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    fuzz::Check(a == b, what);
  }
  void CheckMirror() {
    fuzz::Check(list_.Count() == static_cast<int>(model_.size()), "count differs from the model");
    for (int i = 0; i < list_.Count(); ++i) {
      fuzz::Check(list_.Get(i) == model_[i].text, "string differs from the model", model_[i].text);
      fuzz::Check(list_.GetObject(i) == model_[i].object, "object differs from the model");
    }
  }

  FuzzedDataProvider& in_;
  std::vector<std::unique_ptr<TNumberObject>> objects_;
  TmStrList list_;
  std::vector<Item> model_;
  std::vector<Item> before_;
  int changing_ = 0;
  int changed_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  ListFuzz(in).Run();
  return 0;
}
