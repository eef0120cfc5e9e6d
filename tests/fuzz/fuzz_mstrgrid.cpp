// Operation sequences on a TmStrGrid checked against a plain model: a map of stored cells (text
// and object, also beyond the counts) with the row, column and fixed counts. Editing and pasting
// are mirrored in the model; a sort must keep what is outside its range, permute only whole
// lines (or cells within a line), leave its range in key order, and be undone (and redone) by
// UndoSort; a search must find exactly the matching cells of its area, in its order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "harness.h"
#include "mstrgrid/mstrgrid.h"
#include "platform/exceptions.h"

using namespace tavrin;

namespace {

struct Item {
  std::string text;
  TObject* object = nullptr;
  bool operator==(const Item&) const = default;
  bool operator<(const Item& o) const {
    return text != o.text ? text < o.text : std::less<TObject*>()(object, o.object);
  }
};
using Table = std::vector<std::vector<Item>>;  // [line][position]

constexpr const char* kWords[] = {"",        "a",    "A",          "b",  "10",  "9",
                                  "0",       "2",    "1",          "-1", "an",  "Daniel",
                                  "Genesis", "x\ty", "12/31/2020", "zz", "\xE4"};

Table Transposed(const Table& t) {
  Table out;
  if (t.empty()) return out;
  out.assign(t[0].size(), std::vector<Item>(t.size()));
  for (std::size_t r = 0; r < t.size(); ++r)
    for (std::size_t c = 0; c < t[r].size(); ++c) out[c][r] = t[r][c];
  return out;
}

std::vector<Item> Sorted(std::vector<Item> items) {
  std::sort(items.begin(), items.end());
  return items;
}

class GridFuzz {
 public:
  explicit GridFuzz(FuzzedDataProvider& in) : in_(in), grid_(fuzz::Locale()) {
    for (int i = 0; i < 6; ++i) objects_.push_back(std::make_unique<TNumberObject>(i));
    grid_.SetClipboard(&clipboard_);
  }

  void Run() {
    for (int step = 0; step < 60 && in_.remaining_bytes() > 0; ++step) {
      Step();
      CheckMirror();
      if (deep_) CheckStore();
    }
  }
  // Cells beyond the counts show only when the grid grows: grow it over the whole store,
  // compare, and shrink it back. For replaying a failing input.
  void CheckStore() {
    int max_row = rows_, max_col = cols_;
    for (const auto& [pos, item] : cells_) {
      max_row = std::max(max_row, pos.first + 1);
      max_col = std::max(max_col, pos.second + 1);
    }
    const int rows = rows_, cols = cols_;
    grid_.SetRowCount(max_row);
    grid_.SetColCount(max_col);
    for (int r = 0; r < max_row; ++r)
      for (int c = 0; c < max_col; ++c)
        if (grid_.Cell(c, r) != ModelCell(c, r).text)
          fuzz::Fail("stored cell differs at " + std::to_string(c) + "," + std::to_string(r),
                     grid_.Cell(c, r) + " | " + ModelCell(c, r).text);
    grid_.SetRowCount(rows);
    grid_.SetColCount(cols);
  }

 private:
  std::string Text() {
    if (in_.ConsumeBool()) return in_.PickValueInArray(kWords);
    return in_.ConsumeRandomLengthString(8);
  }
  TObject* Object() {
    const int k = in_.ConsumeIntegralInRange(-1, 5);
    return k < 0 ? nullptr : objects_[k].get();
  }
  int Around(int count) { return in_.ConsumeIntegralInRange(-1, count + 1); }

  Item ModelCell(int col, int row) const {
    auto it = cells_.find({row, col});
    return it == cells_.end() ? Item{} : it->second;
  }
  Item& ModelAt(int col, int row) { return cells_[{row, col}]; }
  void SetRows(int value) {
    rows_ = std::max(value, 1);
    if (fixed_rows_ >= rows_) fixed_rows_ = rows_ - 1;
  }
  void SetCols(int value) {
    cols_ = std::max(value, 1);
    if (fixed_cols_ >= cols_) fixed_cols_ = cols_ - 1;
  }

  // The visible cells, row by row.
  Table Snapshot() const {
    Table t(grid_.RowCount(), std::vector<Item>(grid_.ColCount()));
    for (int r = 0; r < grid_.RowCount(); ++r)
      for (int c = 0; c < grid_.ColCount(); ++c) t[r][c] = {grid_.Cell(c, r), grid_.Object(c, r)};
    return t;
  }
  // Takes the visible cells the grid now holds into the model (after a sort).
  void Resync() {
    const Table t = Snapshot();
    for (int r = 0; r < rows_; ++r)
      for (int c = 0; c < cols_; ++c) {
        if (t[r][c] == Item{} && !cells_.count({r, c})) continue;
        cells_[{r, c}] = t[r][c];
      }
  }
  void CheckMirror() {
    fuzz::Check(grid_.RowCount() == rows_ && grid_.ColCount() == cols_, "counts differ");
    fuzz::Check(grid_.FixedRows() == fixed_rows_ && grid_.FixedCols() == fixed_cols_,
                "fixed counts differ");
    for (int r = 0; r < rows_; ++r)
      for (int c = 0; c < cols_; ++c) {
        const Item m = ModelCell(c, r);
        if (grid_.Cell(c, r) != m.text)
          fuzz::Fail(
              "cell text differs from the model at " + std::to_string(c) + "," + std::to_string(r),
              grid_.Cell(c, r) + " | " + m.text);
        fuzz::Check(grid_.Object(c, r) == m.object, "cell object differs from the model");
      }
    const TGridRect s = grid_.Selection();
    fuzz::Check(s.left <= s.right && s.top <= s.bottom && s.left >= 0 && s.top >= 0 &&
                    s.right < cols_ && s.bottom < rows_,
                "selection outside the grid");
  }

  template <typename F>
  bool RaisesListError(F&& operation) {
    try {
      operation();
    } catch (const EListError&) {
      return true;
    }
    return false;
  }

  // ---- editing, mirrored in the model

  void InsertLines(bool rows, int index, int count) {
    std::map<std::pair<int, int>, Item> moved;
    for (auto& [pos, item] : cells_) {
      auto [r, c] = pos;
      int& line = rows ? r : c;
      if (line >= index) line += count;
      moved[{r, c}] = item;
    }
    cells_ = std::move(moved);
  }
  void DeleteLines(bool rows, int index, int count) {
    std::map<std::pair<int, int>, Item> moved;
    for (auto& [pos, item] : cells_) {
      auto [r, c] = pos;
      int& line = rows ? r : c;
      if (line >= index && line < index + count) continue;
      if (line >= index + count) line -= count;
      moved[{r, c}] = item;
    }
    cells_ = std::move(moved);
  }
  static std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    if (separator.empty()) return {text};
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    for (std::size_t at; (at = text.find(separator, pos)) != std::string::npos;
         pos = at + separator.size())
      pieces.push_back(text.substr(pos, at - pos));
    pieces.push_back(text.substr(pos));
    return pieces;
  }
  // Where a paste starts, taken before the grid pastes.
  std::pair<int, int> PasteStart() const {
    const TGridRect sel = grid_.Selection();
    return grid_.PasteToCursor() ? std::pair{grid_.Col(), grid_.Row()}
                                 : std::pair{sel.left, sel.top};
  }
  void Paste(const std::string& text, std::pair<int, int> start) {
    const int start_col = start.first;
    int col = start_col;
    int row = start.second;
    std::string field;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\t') {
        ModelAt(col, row).text = field;
        field.clear();
        if (++col == cols_) SetCols(cols_ + 1);
      } else if (text[i] == '\r') {
        ModelAt(col, row).text = field;
        field.clear();
        col = start_col;
        if (++row == rows_) SetRows(rows_ + 1);
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      } else {
        field += text[i];
      }
    }
    ModelAt(col, row).text = field;
  }
  std::string SelectionText() const {
    const TGridRect s = grid_.Selection();
    std::string out;
    for (int r = s.top; r <= s.bottom; ++r) {
      if (r > s.top) out += "\r\n";
      for (int c = s.left; c <= s.right; ++c) {
        if (c > s.left) out += '\t';
        out += ModelCell(c, r).text;
      }
    }
    return out;
  }

  // ---- sorting

  bool Before(std::string_view a, std::string_view b) const {
    int c = fuzz::CompareKeys(grid_.KeyType(), fuzz::KeyOf(a, grid_.KeyPos(), grid_.KeyLen()),
                              fuzz::KeyOf(b, grid_.KeyPos(), grid_.KeyLen()));
    if (grid_.SortDescending()) c = -c;
    return c <= 0;
  }
  // Lines [start, n) moved whole (positions from move_from on), ordered by position `key`.
  void CheckCompleteLines(const Table& before, const Table& after, int key, int start,
                          int move_from) {
    const int n = static_cast<int>(before.size());
    std::vector<std::vector<Item>> was, now;
    for (int l = 0; l < n; ++l) {
      for (int p = 0; p < move_from && p < static_cast<int>(before[l].size()); ++p)
        fuzz::Check(before[l][p] == after[l][p], "a cell that must stay moved");
      if (l < start) {
        fuzz::Check(before[l] == after[l], "a line before the sorted range moved");
        continue;
      }
      was.emplace_back(before[l].begin() + move_from, before[l].end());
      now.emplace_back(after[l].begin() + move_from, after[l].end());
      if (key >= move_from && l > start)
        fuzz::Check(Before(after[l - 1][key].text, after[l][key].text), "lines not in key order",
                    after[l - 1][key].text + "|" + after[l][key].text);
    }
    std::sort(was.begin(), was.end());
    std::sort(now.begin(), now.end());
    fuzz::Check(was == now, "sorted lines are not the old lines");
  }
  // Within line `line`, positions [start, m) permuted and ordered; everything else in place.
  void CheckWithinLine(const Table& before, const Table& after, int line, int start) {
    for (int l = 0; l < static_cast<int>(before.size()); ++l) {
      if (l != line) continue;
      const int m = static_cast<int>(before[l].size());
      for (int p = 0; p < std::min(start, m); ++p)
        fuzz::Check(before[l][p] == after[l][p], "a cell before the sorted range moved");
      if (start >= m) continue;
      const std::vector<Item> was(before[l].begin() + start, before[l].end());
      const std::vector<Item> now(after[l].begin() + start, after[l].end());
      fuzz::Check(Sorted(was) == Sorted(now), "sorted cells are not the old cells");
      for (int p = start + 1; p < m; ++p)
        fuzz::Check(Before(after[l][p - 1].text, after[l][p].text), "cells not in key order");
    }
  }
  void CheckSort(int kind, int arg, const Table& before_rows, const Table& after_rows) {
    // Column-wise sorts are row-wise sorts of the transposed grid.
    const bool by_columns = kind == 1 || kind == 3 || kind == 5;
    const Table before = by_columns ? Transposed(before_rows) : before_rows;
    const Table after = by_columns ? Transposed(after_rows) : after_rows;
    const int fixed_lines = by_columns ? fixed_cols_ : fixed_rows_;  // along the lines
    const int fixed_across = by_columns ? fixed_rows_ : fixed_cols_;
    const THandleFixed use = grid_.UseFixed();
    switch (kind) {
      case 0:  // SortCompleteRows(col)
      case 1:  // SortCompleteColumns(row)
        CheckCompleteLines(before, after, arg, use == hfYes ? 0 : fixed_lines,
                           use == hfNot ? fixed_across : 0);
        break;
      case 2:  // SortRow(row)
      case 3:  // SortCol(col)
        for (int l = 0; l < static_cast<int>(before.size()); ++l)
          if (l != arg) fuzz::Check(before[l] == after[l], "a line that was not sorted changed");
        CheckWithinLine(before, after, arg, use == hfYes ? 0 : fixed_across);
        break;
      default:  // SortAllRows, SortAllCols
        for (int l = 0; l < static_cast<int>(before.size()); ++l) {
          if (use == hfNot && l < fixed_lines)
            fuzz::Check(before[l] == after[l], "a fixed line was sorted");
          else
            CheckWithinLine(before, after, l, use == hfYes ? 0 : fixed_across);
        }
    }
  }
  void Sort() {
    grid_.SetKeyType(static_cast<TMSortType>(in_.ConsumeIntegralInRange(0, 3)));
    grid_.SetKeyPos(in_.ConsumeIntegralInRange(-1, 3));
    grid_.SetKeyLen(in_.ConsumeBool() ? TmStrList::kMaxKeyLen : in_.ConsumeIntegralInRange(-1, 3));
    grid_.SetSortDescending(in_.ConsumeBool());
    grid_.SetUseFixed(static_cast<THandleFixed>(in_.ConsumeIntegralInRange(0, 2)));
    const int kind = in_.ConsumeIntegralInRange(0, 5);
    const bool rows = kind == 0 || kind == 3;  // the argument is a column
    const int arg = Around(rows ? cols_ : rows_);
    const Table before = Snapshot();
    try {
      switch (kind) {
        case 0:
          grid_.SortCompleteRows(arg);
          break;
        case 1:
          grid_.SortCompleteColumns(arg);
          break;
        case 2:
          grid_.SortRow(arg);
          break;
        case 3:
          grid_.SortCol(arg);
          break;
        case 4:
          grid_.SortAllRows();
          break;
        default:
          grid_.SortAllCols();
      }
    } catch (const EListError&) {
      fuzz::Check(arg < 0 || arg >= (rows ? cols_ : rows_), "sort refused a line of the grid");
      fuzz::Check(Snapshot() == before, "a refused sort changed the grid");
      return;
    } catch (const EConvertError&) {
      fuzz::Check(Snapshot() == before, "a sort that met no date changed the grid");
      return;
    }
    fuzz::Check(kind >= 4 || (arg >= 0 && arg < (rows ? cols_ : rows_)),
                "sort of a line outside the grid raised nothing");
    const Table after = Snapshot();
    try {
      CheckSort(kind, arg, before, after);
    } catch (const EConvertError&) {
      // The model met a text that is no date where the sort compared none: nothing to say.
    }
    if (in_.ConsumeBool()) {
      grid_.UndoSort();
      fuzz::Check(Snapshot() == before, "UndoSort did not restore the grid");
      grid_.UndoSort();
      fuzz::Check(Snapshot() == after, "a second UndoSort did not sort again");
    }
    Resync();
  }

  // ---- searching

  bool Matches(const std::string& cell, const std::string& text) const {
    const std::string_view key = fuzz::KeyOf(cell, grid_.KeyPos(), grid_.KeyLen());
    if (grid_.SearchSubstring() && grid_.KeyType() == soString)
      return AsciiUpper(cell).find(AsciiUpper(text)) != std::string::npos;
    if (grid_.SearchSubstring() && grid_.KeyType() == soStringCaseSensitive)
      return cell.find(text) != std::string::npos;
    switch (grid_.KeyType()) {
      case soString:
        return fuzz::Locale().CompareText(key, text) == 0;
      case soStringCaseSensitive:
        return key == text;
      case soNumeric:
        return KeyNumber(key) == KeyNumber(text);
      case soDate:
        return fuzz::Locale().ParseDateTime(key) == fuzz::Locale().ParseDateTime(text);
    }
    return false;
  }
  void Search() {
    try {
      SearchArea();
    } catch (const EConvertError&) {
      // A date search with a text or cell that is no date raises: not compared here.
    }
  }
  void SearchArea() {
    grid_.SetKeyType(static_cast<TMSortType>(in_.ConsumeIntegralInRange(0, 3)));
    grid_.SetKeyPos(in_.ConsumeIntegralInRange(-1, 3));
    grid_.SetKeyLen(in_.ConsumeBool() ? TmStrList::kMaxKeyLen : in_.ConsumeIntegralInRange(-1, 3));
    grid_.SetUseFixed(static_cast<THandleFixed>(in_.ConsumeIntegralInRange(0, 2)));
    grid_.SetSearchSubstring(in_.ConsumeBool());
    const bool reverse = in_.ConsumeBool();
    if (grid_.ReverseSearch() != reverse) grid_.SetReverseSearch(reverse);
    const int how = in_.ConsumeIntegralInRange(0, 3);  // rows, columns, one row, one column
    const int line = in_.ConsumeIntegralInRange(0, std::max(0, (how == 3 ? cols_ : rows_) - 1));
    const std::string text = Text();

    // The area and its order.
    const THandleFixed use = grid_.UseFixed();
    const bool row_by_row = how == 0 || how == 2;
    int r0, c0, r1 = rows_ - 1, c1 = cols_ - 1;
    if (how <= 1) {
      r0 = use == hfYes || (use == hfSmart && !row_by_row) ? 0 : fixed_rows_;
      c0 = use == hfYes || (use == hfSmart && row_by_row) ? 0 : fixed_cols_;
    } else if (how == 2) {
      r0 = r1 = line;
      c0 = use == hfNot ? fixed_cols_ : 0;
    } else {
      c0 = c1 = line;
      r0 = use == hfNot ? fixed_rows_ : 0;
    }
    std::vector<std::pair<int, int>> expected;  // (col, row)
    {
      const int outer0 = row_by_row ? r0 : c0, outer1 = row_by_row ? r1 : c1;
      const int inner0 = row_by_row ? c0 : r0, inner1 = row_by_row ? c1 : r1;
      for (int o = outer0; o <= outer1; ++o)
        for (int i = inner0; i <= inner1; ++i) {
          const int c = row_by_row ? i : o, r = row_by_row ? o : i;
          if (Matches(ModelCell(c, r).text, text)) expected.emplace_back(c, r);
        }
      if (reverse) std::reverse(expected.begin(), expected.end());
    }

    std::vector<std::pair<int, int>> found;
    int col = 0, row = 0;
    bool hit;
    if (how <= 1)
      hit = grid_.FindFirst(text, row_by_row, col, row);
    else if (how == 2)
      hit = grid_.FindFirstInRow(text, line, col, row);
    else
      hit = grid_.FindFirstInCol(text, line, col, row);
    while (hit && found.size() <= expected.size()) {
      found.emplace_back(col, row);
      hit = grid_.FindNext(col, row);
    }
    fuzz::Check(!hit && col == -1 && row == -1, "a search ended without -1, -1");
    fuzz::Check(grid_.SearchExists(), "SearchExists false after a search");
    fuzz::Check(found == expected, "the search found other cells than the matching ones", text);
  }

  void Step() {
    const int op = in_.ConsumeIntegralInRange(0, 15);
    if (fuzz::Tracing()) {
      std::string out = "op " + std::to_string(op) + " " + std::to_string(rows_) + "x" +
                        std::to_string(cols_) + " fixed " + std::to_string(fixed_rows_) + "," +
                        std::to_string(fixed_cols_) + "\n";
      for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < cols_; ++c) out += "'" + grid_.Cell(c, r) + "' ";
        out += "\n";
      }
      fuzz::Trace(out);
    }
    switch (op) {
      case 0: {
        const int c = Around(cols_ + 2), r = Around(rows_ + 2);
        const std::string text = Text();
        if (fuzz::Tracing())
          fuzz::Trace("set " + std::to_string(c) + "," + std::to_string(r) + " " + text);
        if (RaisesListError([&] { grid_.SetCell(c, r, text); }))
          return fuzz::Check(c < 0 || r < 0, "SetCell refused a cell");
        ModelAt(c, r).text = text;
        return;
      }
      case 1: {
        const int c = Around(cols_), r = Around(rows_);
        TObject* object = Object();
        if (RaisesListError([&] { grid_.SetObject(c, r, object); }))
          return fuzz::Check(c < 0 || r < 0, "SetObject refused a cell");
        ModelAt(c, r).object = object;
        return;
      }
      case 2: {
        const int value = in_.ConsumeIntegralInRange(-1, 10);
        if (in_.ConsumeBool()) {
          grid_.SetRowCount(value);
          SetRows(value);
        } else {
          grid_.SetColCount(value);
          SetCols(value);
        }
        return;
      }
      case 3: {
        const bool rows = in_.ConsumeBool();
        const int value = in_.ConsumeIntegralInRange(-1, 4);
        const int limit = rows ? rows_ : cols_;
        const bool refused = RaisesListError([&] {
          if (rows)
            grid_.SetFixedRows(value);
          else
            grid_.SetFixedCols(value);
        });
        fuzz::Check(refused == (value < 0 || value >= limit), "fixed count check");
        if (!refused) (rows ? fixed_rows_ : fixed_cols_) = value;
        return;
      }
      case 4: {
        const bool rows = in_.ConsumeBool();
        const int index = Around(rows ? rows_ : cols_), count = in_.ConsumeIntegralInRange(0, 3);
        const bool refused = RaisesListError([&] {
          if (rows)
            grid_.InsertRows(index, count);
          else
            grid_.InsertCols(index, count);
        });
        if (count < 1) return fuzz::Check(!refused, "insert of nothing refused");
        fuzz::Check(refused == (index < 0 || index > (rows ? rows_ : cols_)), "insert index check");
        if (refused) return;
        InsertLines(rows, index, count);
        if (rows)
          SetRows(rows_ + count);
        else
          SetCols(cols_ + count);
        return;
      }
      case 5: {
        const bool rows = in_.ConsumeBool();
        const int index = Around(rows ? rows_ : cols_);
        int count = in_.ConsumeIntegralInRange(0, 4);
        const bool refused = RaisesListError([&] {
          if (rows)
            grid_.DeleteRows(index, count);
          else
            grid_.DeleteCols(index, count);
        });
        fuzz::Check(refused == (index < 0), "delete index check");
        if (refused) return;
        count = std::min(count, (rows ? rows_ : cols_) - index);
        if (count < 1) return;
        DeleteLines(rows, index, count);
        if (rows)
          SetRows(rows_ - count);
        else
          SetCols(cols_ - count);
        return;
      }
      case 6: {
        const bool rows = in_.ConsumeBool();
        const int line = Around(rows ? rows_ : cols_);
        const std::string separator = in_.PickValueInArray({"", ";", "\t", "ab"});
        const std::string text = Text() + separator + Text();
        int written = 0;
        const bool refused = RaisesListError([&] {
          written = rows ? grid_.ModifyRow(line, text, separator)
                         : grid_.ModifyCol(line, text, separator);
        });
        fuzz::Check(refused == (line < 0), "modify index check");
        if (refused) return;
        const std::vector<std::string> pieces = Split(text, separator);
        fuzz::Check(written == static_cast<int>(pieces.size()), "cells written", text);
        for (int k = 0; k < written; ++k)
          (rows ? ModelAt(k, line) : ModelAt(line, k)).text = pieces[k];
        return;
      }
      case 7: {
        const bool rows = in_.ConsumeBool();
        const char separator = in_.PickValueInArray({';', '\t', ','});
        const std::string text = Text() + separator + Text();
        const std::vector<std::string> pieces = Split(text, std::string(1, separator));
        if (rows) {
          grid_.AddRow(text, separator);
          SetRows(rows_ + 1);
          for (int k = 0; k < static_cast<int>(pieces.size()); ++k)
            ModelAt(k, rows_ - 1).text = pieces[k];
        } else {
          grid_.AddCol(text, separator);
          SetCols(cols_ + 1);
          for (int k = 0; k < static_cast<int>(pieces.size()); ++k)
            ModelAt(cols_ - 1, k).text = pieces[k];
        }
        return;
      }
      case 8: {
        TGridRect rect{Around(cols_), Around(rows_), Around(cols_), Around(rows_)};
        if (rect.left < 0 || rect.top < 0 || rect.right < rect.left || rect.bottom < rect.top)
          return;
        grid_.SetSelection(rect);
        return;
      }
      case 9: {
        const int c = Around(cols_), r = Around(rows_);
        const bool inside = c >= 0 && r >= 0 && c < cols_ && r < rows_;
        const bool refused =
            RaisesListError([&] { grid_.SetCurrentCell(c, r, in_.ConsumeBool()); });
        fuzz::Check(refused == !inside, "current cell check");
        return;
      }
      case 10: {
        // The clipboard short cuts.
        grid_.SetEnableClipboardShortcuts(true);
        grid_.SetPasteToCursor(in_.ConsumeBool());
        char key = in_.PickValueInArray({'\3', '\x18', '\x16'});
        const std::string selection = SelectionText();
        const TGridRect s = grid_.Selection();
        if (fuzz::Tracing())
          fuzz::Trace("key " + std::to_string(key) + " selection " + std::to_string(s.left) + "," +
                      std::to_string(s.top) + "-" + std::to_string(s.right) + "," +
                      std::to_string(s.bottom) + " cursor " + std::to_string(grid_.Col()) + "," +
                      std::to_string(grid_.Row()) + " to cursor " +
                      std::to_string(grid_.PasteToCursor()));
        if (key == '\x16') {
          clipboard_.SetText(in_.ConsumeBool() ? selection : Text() + "\r\n" + Text());
          const std::string text = *clipboard_.Text();
          if (fuzz::Tracing()) fuzz::Trace("paste " + text);
          const auto start = PasteStart();
          grid_.KeyPress(key);
          Paste(text, start);
          return;
        }
        grid_.KeyPress(key);
        fuzz::Check(clipboard_.Text() == selection, "copied text differs", selection);
        if (key == '\x18') {
          for (int r = s.top; r <= s.bottom; ++r)
            for (int c = s.left; c <= s.right; ++c)
              if (cells_.count({r, c})) ModelAt(c, r).text.clear();
        }
        return;
      }
      case 11: {
        const std::string text = in_.ConsumeRandomLengthString(24);
        grid_.SetPasteToCursor(in_.ConsumeBool());
        const auto start = PasteStart();
        grid_.PasteText(text);
        Paste(text, start);
        return;
      }
      case 12:
      case 13:
        return Sort();
      default:
        return Search();
    }
  }

  FuzzedDataProvider& in_;
  std::vector<std::unique_ptr<TNumberObject>> objects_;
  MemoryClipboard clipboard_;
  const bool deep_ = std::getenv("TAVRIN_FUZZ_DEEP") != nullptr;
  TmStrGrid grid_;
  std::map<std::pair<int, int>, Item> cells_;  // (row, col) -> stored cell
  int rows_ = 5, cols_ = 5, fixed_rows_ = 1, fixed_cols_ = 1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  GridFuzz(in).Run();
  return 0;
}
