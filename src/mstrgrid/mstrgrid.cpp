#include "mstrgrid/mstrgrid.h"

#include <algorithm>

#include "platform/exceptions.h"
#include "platform/replacing_file.h"
#include "platform/system.h"

namespace tavrin {
namespace {

void CheckGridIndex(bool ok) {
  if (!ok) throw EListError("Grid index out of range");
}

// Splits at every occurrence of a non-empty separator; n separators give n + 1 pieces.
std::vector<std::string> SplitAt(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  std::size_t pos = 0;
  for (;;) {
    const std::size_t found = text.find(separator, pos);
    if (found == std::string::npos) break;
    pieces.push_back(text.substr(pos, found - pos));
    pos = found + separator.size();
  }
  pieces.push_back(text.substr(pos));
  return pieces;
}

}  // namespace

TmStrGrid::TmStrGrid(const TextLocale& locale) : locale_(locale), sort_index_(locale) {}

TmStrGrid::~TmStrGrid() {
  // SortIndex points at the index objects; empty it before they go.
  sort_index_.Clear();
}

// ---------------------------------------------------------------------------------------------
// Sorting

TObject* TmStrGrid::IndexObject(int index) {
  while (static_cast<int>(index_objects_.size()) <= index)
    index_objects_.push_back(
        std::make_unique<TNumberObject>(static_cast<int>(index_objects_.size())));
  return index_objects_[static_cast<std::size_t>(index)].get();
}

std::vector<int> TmStrGrid::SortLine(const std::vector<std::string>& texts, int start) {
  TmStrList list(locale_);
  list.SetKeyPos(key_pos_);
  list.SetKeyLen(key_len_);
  list.SetSortType(key_type_);
  list.SetSortDescending(sort_descending_);
  list.SetSortStart(start);
  const int count = static_cast<int>(texts.size());
  for (int i = 0; i < count; ++i)
    list.AddObject(texts[static_cast<std::size_t>(i)], IndexObject(i));
  // Sorting once: the list orders itself when it becomes sorted.
  list.SetSorted(true);
  list.SetSorted(false);
  std::vector<int> order(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i)
    order[static_cast<std::size_t>(i)] = static_cast<TNumberObject*>(list.GetObject(i))->Value();
  return order;
}

void TmStrGrid::StoreSortIndex(const std::vector<int>& order, int start) {
  sort_index_.Clear();
  sort_index_.SetKeyPos(key_pos_);
  sort_index_.SetKeyLen(key_len_);
  sort_index_.SetSortType(key_type_);
  sort_index_.SetSortDescending(sort_descending_);
  sort_index_.SetSortStart(start);
  for (int line : order) sort_index_.AddObject(std::to_string(line), IndexObject(line));
}

void TmStrGrid::SortCompleteRows(int col) {
  CheckGridIndex(col >= 0 && col < ColCount());
  const int start = use_fixed_ == hfYes ? 0 : EffectiveFixedRows();
  if (start >= RowCount()) return;
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(RowCount()));
  for (int r = 0; r < RowCount(); ++r) texts.push_back(Cell(col, r));
  StoreSortIndex(SortLine(texts, start), start);
  RecordAndApply(
      {TGridSortKind::kCompleteRows, col, start, use_fixed_ == hfNot ? EffectiveFixedCols() : 0});
}

void TmStrGrid::SortCompleteColumns(int row) {
  CheckGridIndex(row >= 0 && row < RowCount());
  const int start = use_fixed_ == hfYes ? 0 : EffectiveFixedCols();
  if (start >= ColCount()) return;
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(ColCount()));
  for (int c = 0; c < ColCount(); ++c) texts.push_back(Cell(c, row));
  StoreSortIndex(SortLine(texts, start), start);
  RecordAndApply({TGridSortKind::kCompleteColumns, row,
                  use_fixed_ == hfNot ? EffectiveFixedRows() : 0, start});
}

void TmStrGrid::SortRow(int row) {
  CheckGridIndex(row >= 0 && row < RowCount());
  const int start = use_fixed_ == hfYes ? 0 : EffectiveFixedCols();
  if (start >= ColCount()) return;
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(ColCount()));
  for (int c = 0; c < ColCount(); ++c) texts.push_back(Cell(c, row));
  StoreSortIndex(SortLine(texts, start), start);
  RecordAndApply({TGridSortKind::kRow, row, row, start});
}

void TmStrGrid::SortCol(int col) {
  CheckGridIndex(col >= 0 && col < ColCount());
  const int start = use_fixed_ == hfYes ? 0 : EffectiveFixedRows();
  if (start >= RowCount()) return;
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(RowCount()));
  for (int r = 0; r < RowCount(); ++r) texts.push_back(Cell(col, r));
  StoreSortIndex(SortLine(texts, start), start);
  RecordAndApply({TGridSortKind::kCol, col, start, col});
}

void TmStrGrid::SortAllRows() {
  const int start = use_fixed_ == hfYes ? 0 : EffectiveFixedCols();
  const int first_row = use_fixed_ == hfNot ? EffectiveFixedRows() : 0;
  if (start >= ColCount() || first_row >= RowCount()) return;
  // Every row is sorted before any cell moves, so a failing key leaves the grid as it was.
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(RowCount() - first_row) *
                static_cast<std::size_t>(ColCount()));
  std::vector<std::string> texts;
  for (int r = first_row; r < RowCount(); ++r) {
    texts.clear();
    for (int c = 0; c < ColCount(); ++c) texts.push_back(Cell(c, r));
    const std::vector<int> line = SortLine(texts, start);
    order.insert(order.end(), line.begin(), line.end());
  }
  StoreSortIndex(order, start);
  RecordAndApply({TGridSortKind::kAllRows, 0, first_row, start});
}

void TmStrGrid::SortAllCols() {
  const int start = use_fixed_ == hfYes ? 0 : EffectiveFixedRows();
  const int first_col = use_fixed_ == hfNot ? EffectiveFixedCols() : 0;
  if (start >= RowCount() || first_col >= ColCount()) return;
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(ColCount() - first_col) *
                static_cast<std::size_t>(RowCount()));
  std::vector<std::string> texts;
  for (int c = first_col; c < ColCount(); ++c) {
    texts.clear();
    for (int r = 0; r < RowCount(); ++r) texts.push_back(Cell(c, r));
    const std::vector<int> line = SortLine(texts, start);
    order.insert(order.end(), line.begin(), line.end());
  }
  StoreSortIndex(order, start);
  RecordAndApply({TGridSortKind::kAllCols, 0, start, first_col});
}

void TmStrGrid::RecordAndApply(const SortRecord& line_sort) {
  sort_kind_ = line_sort.kind;
  sort_line_ = line_sort;
  sorted_row_count_ = RowCount();
  sorted_col_count_ = ColCount();
  Apply();
}

void TmStrGrid::UndoSort() {
  if (sort_kind_ == TGridSortKind::kNone) return;
  // The record describes lines of the old size; applied to another size it would scramble cells.
  if (RowCount() != sorted_row_count_ || ColCount() != sorted_col_count_) return;
  Apply();
}

void TmStrGrid::Apply() {
  const SortRecord& line_sort = sort_line_;
  switch (line_sort.kind) {
    case TGridSortKind::kNone:
      return;
    case TGridSortKind::kCompleteRows:
    case TGridSortKind::kCol:
      ApplyBlock(0, RowCount(), line_sort, 0);
      break;
    case TGridSortKind::kCompleteColumns:
    case TGridSortKind::kRow:
      ApplyBlock(0, ColCount(), line_sort, 0);
      break;
    case TGridSortKind::kAllRows:
      for (int b = 0; b < RowCount() - line_sort.first_row; ++b)
        ApplyBlock(b * ColCount(), ColCount(), line_sort, b);
      break;
    case TGridSortKind::kAllCols:
      for (int b = 0; b < ColCount() - line_sort.first_col; ++b)
        ApplyBlock(b * RowCount(), RowCount(), line_sort, b);
      break;
  }
  Changed();
}

void TmStrGrid::ApplyBlock(int offset, int length, const SortRecord& line_sort, int block) {
  if (offset + length > sort_index_.Count()) return;
  std::vector<int> work(static_cast<std::size_t>(length));
  for (int k = 0; k < length; ++k)
    work[static_cast<std::size_t>(k)] =
        static_cast<TNumberObject*>(sort_index_.GetObject(offset + k))->Value();
  // SortIndex becomes the inverse permutation, which is what the next undo applies.
  for (int k = 0; k < length; ++k) {
    const int m = work[static_cast<std::size_t>(k)];
    if (m < 0 || m >= length) return;
    sort_index_.PutObject(offset + m, IndexObject(k));
    sort_index_.Put(offset + m, std::to_string(k));
  }
  // Each cycle of the permutation moves its lines once, with one line held aside.
  for (int first = 0; first < length; ++first) {
    if (work[static_cast<std::size_t>(first)] == first) continue;
    int k = first;
    std::vector<CellData> saved = TakeLine(line_sort, block, k);
    for (;;) {
      const int m = work[static_cast<std::size_t>(k)];
      work[static_cast<std::size_t>(k)] = k;
      if (work[static_cast<std::size_t>(m)] == m) break;
      MoveLine(line_sort, block, m, k);
      k = m;
    }
    PutLine(line_sort, block, k, saved);
  }
}

namespace {

// The cells of one line of a sort: `count` of them, the i-th at (col, row).
struct LineCells {
  int count;
  int col0, row0;  // first cell
  int dcol, drow;  // step from one cell to the next
};

LineCells CellsOf(TGridSortKind kind, int spec_line, int first_row, int first_col, int row_count,
                  int col_count, int block, int line) {
  switch (kind) {
    case TGridSortKind::kCompleteRows:
      return {col_count - first_col, first_col, line, 1, 0};
    case TGridSortKind::kCompleteColumns:
      return {row_count - first_row, line, first_row, 0, 1};
    case TGridSortKind::kRow:
      return {1, line, spec_line, 0, 0};
    case TGridSortKind::kCol:
      return {1, spec_line, line, 0, 0};
    case TGridSortKind::kAllRows:
      return {1, line, first_row + block, 0, 0};
    case TGridSortKind::kAllCols:
      return {1, first_col + block, line, 0, 0};
    case TGridSortKind::kNone:
      break;
  }
  return {0, 0, 0, 0, 0};
}

}  // namespace

std::vector<TStringGrid::CellData> TmStrGrid::TakeLine(const SortRecord& line_sort, int block,
                                                       int line) {
  const LineCells cells = CellsOf(line_sort.kind, line_sort.line, line_sort.first_row,
                                  line_sort.first_col, RowCount(), ColCount(), block, line);
  std::vector<CellData> out(static_cast<std::size_t>(std::max(cells.count, 0)));
  for (int i = 0; i < cells.count; ++i) {
    const int c = cells.col0 + i * cells.dcol;
    const int r = cells.row0 + i * cells.drow;
    if (Find(c, r)) out[static_cast<std::size_t>(i)] = std::move(At(c, r));
  }
  return out;
}

void TmStrGrid::PutLine(const SortRecord& line_sort, int block, int line,
                        std::vector<CellData>& cells) {
  const LineCells where = CellsOf(line_sort.kind, line_sort.line, line_sort.first_row,
                                  line_sort.first_col, RowCount(), ColCount(), block, line);
  for (int i = 0; i < where.count && i < static_cast<int>(cells.size()); ++i) {
    const int c = where.col0 + i * where.dcol;
    const int r = where.row0 + i * where.drow;
    CellData& value = cells[static_cast<std::size_t>(i)];
    if (!Find(c, r) && value.text.empty() && !value.object) continue;
    At(c, r) = std::move(value);
  }
}

void TmStrGrid::MoveLine(const SortRecord& line_sort, int block, int from, int to) {
  std::vector<CellData> cells = TakeLine(line_sort, block, from);
  PutLine(line_sort, block, to, cells);
}

// ---------------------------------------------------------------------------------------------
// Searching

std::string TmStrGrid::KeyOf(const std::string& text) const {
  const std::size_t pos = static_cast<std::size_t>(std::max(key_pos_, 1)) - 1;
  if (pos >= text.size()) return {};
  return text.substr(pos, static_cast<std::size_t>(std::max(key_len_, 1)));
}

bool TmStrGrid::Matches(const std::string& text) const {
  if (search_substring_) {
    switch (key_type_) {
      case soString:
        return AsciiUpper(text).find(search_text_) != std::string::npos;
      case soStringCaseSensitive:
        return text.find(search_text_) != std::string::npos;
      default:
        break;
    }
  } else {
    switch (key_type_) {
      case soString:
        return locale_.CompareText(KeyOf(text), search_text_) == 0;
      case soStringCaseSensitive:
        return KeyOf(text) == search_text_;
      default:
        break;
    }
  }
  const std::string key = KeyOf(text);
  const double value = key_type_ == soNumeric ? KeyNumber(key) : locale_.ParseDateTime(key);
  return value == target_value_;
}

void TmStrGrid::StartSearch(const std::string& text, bool row_by_row) {
  search_text_ = text;
  search_row_by_row_ = row_by_row;
  next_valid_ = true;
  search_exists_ = true;
}

bool TmStrGrid::AreaEmpty() const {
  return area_first_row_ > area_last_row_ || area_first_col_ > area_last_col_;
}

bool TmStrGrid::FindFirst(const std::string& text, bool row_by_row, int& col, int& row) {
  StartSearch(text, row_by_row);
  area_last_row_ = RowCount() - 1;
  area_last_col_ = ColCount() - 1;
  switch (use_fixed_) {
    case hfNot:
      area_first_row_ = EffectiveFixedRows();
      area_first_col_ = EffectiveFixedCols();
      break;
    case hfSmart:
      area_first_row_ = row_by_row ? EffectiveFixedRows() : 0;
      area_first_col_ = row_by_row ? 0 : EffectiveFixedCols();
      break;
    case hfYes:
      area_first_row_ = 0;
      area_first_col_ = 0;
      break;
  }
  next_row_ = reverse_search_ ? area_last_row_ : area_first_row_;
  next_col_ = reverse_search_ ? area_last_col_ : area_first_col_;
  return FindNext(col, row);
}

bool TmStrGrid::FindFirstInRow(const std::string& text, int row, int& col, int& found_row) {
  StartSearch(text, true);
  area_first_row_ = area_last_row_ = row;
  area_first_col_ = use_fixed_ == hfNot ? EffectiveFixedCols() : 0;
  area_last_col_ = ColCount() - 1;
  // A row outside the grid is an empty area.
  if (row < 0 || row >= RowCount()) area_last_row_ = row - 1;
  next_row_ = row;
  next_col_ = reverse_search_ ? area_last_col_ : area_first_col_;
  return FindNext(col, found_row);
}

bool TmStrGrid::FindFirstInCol(const std::string& text, int col, int& found_col, int& row) {
  StartSearch(text, false);
  area_first_col_ = area_last_col_ = col;
  area_first_row_ = use_fixed_ == hfNot ? EffectiveFixedRows() : 0;
  area_last_row_ = RowCount() - 1;
  if (col < 0 || col >= ColCount()) area_last_col_ = col - 1;
  next_col_ = col;
  next_row_ = reverse_search_ ? area_last_row_ : area_first_row_;
  return FindNext(found_col, row);
}

bool TmStrGrid::FindNext(int& col, int& row) {
  col = -1;
  row = -1;
  if (!next_valid_ || AreaEmpty()) {
    next_valid_ = false;
    return false;
  }
  switch (key_type_) {
    case soNumeric:
      target_value_ = KeyNumber(search_text_);
      break;
    case soDate:
      target_value_ = locale_.ParseDateTime(search_text_);
      break;
    case soString:
      if (search_substring_) search_text_ = AsciiUpper(search_text_);
      break;
    case soStringCaseSensitive:
      break;
  }
  for (;;) {
    if (Matches(Cell(next_col_, next_row_))) {
      col = next_col_;
      row = next_row_;
      next_valid_ = Step();
      return true;
    }
    if (!Step()) {
      next_valid_ = false;
      return false;
    }
  }
}

bool TmStrGrid::Step() {
  // Along the fast axis first; past its end, the other axis moves on by one.
  int& fast = search_row_by_row_ ? next_col_ : next_row_;
  int& slow = search_row_by_row_ ? next_row_ : next_col_;
  const int fast_first = search_row_by_row_ ? area_first_col_ : area_first_row_;
  const int fast_last = search_row_by_row_ ? area_last_col_ : area_last_row_;
  const int slow_first = search_row_by_row_ ? area_first_row_ : area_first_col_;
  const int slow_last = search_row_by_row_ ? area_last_row_ : area_last_col_;
  if (!reverse_search_) {
    if (++fast > fast_last) {
      fast = fast_first;
      if (++slow > slow_last) return false;
    }
  } else {
    if (--fast < fast_first) {
      fast = fast_last;
      if (--slow < slow_first) return false;
    }
  }
  return true;
}

void TmStrGrid::SetReverseSearch(bool value) {
  if (value == reverse_search_) return;
  reverse_search_ = value;
  if (next_valid_) {
    int col = 0;
    int row = 0;
    FindNext(col, row);
  } else if (search_exists_) {
    next_valid_ = true;
    next_row_ = value ? area_last_row_ : area_first_row_;
    next_col_ = value ? area_last_col_ : area_first_col_;
  }
}

// ---------------------------------------------------------------------------------------------
// Row and column editing

void TmStrGrid::InsertRows(int index, int count) {
  if (count < 1) return;
  CheckGridIndex(index >= 0 && index <= RowCount());
  InsertStoredRows(index, count);
  SetRowCount(RowCount() + count);
}

void TmStrGrid::InsertCols(int index, int count) {
  if (count < 1) return;
  CheckGridIndex(index >= 0 && index <= ColCount());
  InsertStoredCols(index, count);
  SetColCount(ColCount() + count);
}

void TmStrGrid::DeleteRows(int index, int count) {
  CheckGridIndex(index >= 0);
  count = std::min(count, RowCount() - index);
  if (count < 1) return;
  EraseStoredRows(index, count);
  SetRowCount(RowCount() - count);
}

void TmStrGrid::DeleteCols(int index, int count) {
  CheckGridIndex(index >= 0);
  count = std::min(count, ColCount() - index);
  if (count < 1) return;
  EraseStoredCols(index, count);
  SetColCount(ColCount() - count);
}

int TmStrGrid::ModifyRow(int row, const std::string& text, const std::string& separator) {
  CheckGridIndex(row >= 0);
  const std::vector<std::string> pieces = SplitAt(text, separator);
  const int count = static_cast<int>(pieces.size());
  for (int c = 0; c < count; ++c) At(c, row).text = pieces[static_cast<std::size_t>(c)];
  Changed();
  return count;
}

int TmStrGrid::ModifyCol(int col, const std::string& text, const std::string& separator) {
  CheckGridIndex(col >= 0);
  const std::vector<std::string> pieces = SplitAt(text, separator);
  const int count = static_cast<int>(pieces.size());
  for (int r = 0; r < count; ++r) At(col, r).text = pieces[static_cast<std::size_t>(r)];
  Changed();
  return count;
}

void TmStrGrid::AddRow(const std::string& text, char separator) {
  SetRowCount(RowCount() + 1);
  ModifyRow(RowCount() - 1, text, std::string(1, separator));
}

void TmStrGrid::AddCol(const std::string& text, char separator) {
  SetColCount(ColCount() + 1);
  ModifyCol(ColCount() - 1, text, std::string(1, separator));
}

// ---------------------------------------------------------------------------------------------
// Files

void TmStrGrid::LoadFromFile(const std::string& file_name, const std::string& separator) {
  std::string data;
  try {
    data = ReadWholeFile(file_name);
  } catch (const EFOpenError&) {
    throw MFileError("File " + file_name + " not found");
  }
  // Code 26 ends a text file.
  if (const std::size_t eof = data.find('\x1a'); eof != std::string::npos) data.resize(eof);

  int lines = 0;
  int widest = 0;
  std::size_t pos = 0;
  while (pos < data.size()) {
    std::size_t end = data.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = data.size();
    if (end > pos) {
      if (lines > EffectiveFixedRows()) SetRowCount(lines + 1);
      widest = std::max(widest, ModifyRow(lines, data.substr(pos, end - pos), separator));
      ++lines;
    }
    if (end == data.size()) break;
    // CR LF, LF and CR each end a line.
    pos = end + 1;
    if (data[end] == '\r' && pos < data.size() && data[pos] == '\n') ++pos;
  }
  SetRowCount(lines);
  SetColCount(widest);
}

void TmStrGrid::SaveToFile(const std::string& file_name, const std::string& separator) const {
  std::string data;
  for (int r = 0; r < RowCount(); ++r) {
    for (int c = 0; c < ColCount(); ++c) {
      if (c > 0) data += separator;
      data += Cell(c, r);
    }
    data += "\r\n";
  }
  // A failure midway leaves the old file whole, not cut short. The grid's file errors are all
  // input/output errors.
  try {
    ReplaceFileContents(file_name, data);
  } catch (const EFCreateError&) {
    throw EInOutError(Message::kCannotCreateFile, file_name);
  }
}

// ---------------------------------------------------------------------------------------------
// Clipboard and input

std::string TmStrGrid::SelectionText() const {
  const TGridRect sel = Selection();
  std::string text;
  for (int r = sel.top; r <= sel.bottom; ++r) {
    if (r > sel.top) text += "\r\n";
    for (int c = sel.left; c <= sel.right; ++c) {
      if (c > sel.left) text += '\t';
      text += Cell(c, r);
    }
  }
  return text;
}

void TmStrGrid::CopyToClipboard() {
  if (Clipboard()) Clipboard()->SetText(SelectionText());
}

void TmStrGrid::CutToClipboard() {
  // Without a clipboard the cut text would be lost.
  if (!Clipboard()) return;
  CopyToClipboard();
  const TGridRect sel = Selection();
  for (int r = sel.top; r <= sel.bottom; ++r)
    for (int c = sel.left; c <= sel.right; ++c)
      if (Find(c, r)) At(c, r).text.clear();
  Changed();
}

void TmStrGrid::PasteFromClipboard() {
  if (!Clipboard()) return;
  // The text is taken whole before any cell changes.
  const std::optional<std::string> text = Clipboard()->Text();
  if (text) PasteText(*text);
}

void TmStrGrid::PasteText(const std::string& text) {
  const TGridRect sel = Selection();
  const int start_col = paste_to_cursor_ ? Col() : sel.left;
  int col = start_col;
  int row = paste_to_cursor_ ? Row() : sel.top;
  // The grid grows by a column (row) when a tab (line break) leads past its last one.
  std::string field;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\t') {
      At(col, row).text = field;
      field.clear();
      if (++col == ColCount()) SetColCount(ColCount() + 1);
    } else if (ch == '\r') {
      At(col, row).text = field;
      field.clear();
      col = start_col;
      if (++row == RowCount()) SetRowCount(RowCount() + 1);
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      field += ch;
    }
  }
  At(col, row).text = field;
  Changed();
}

void TmStrGrid::KeyPress(char& key) {
  if (enable_clipboard_shortcuts_ && !EditorMode()) {
    switch (key) {
      case 3:
        CopyToClipboard();
        break;
      case 24:
        CutToClipboard();
        break;
      case 22:
        PasteFromClipboard();
        break;
      default:
        break;
    }
  }
  TStringGrid::KeyPress(key);
}

bool TmStrGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y, int col, int row,
                          bool on_sizing_edge) {
  const bool in_grid = col >= 0 && row >= 0 && col < ColCount() && row < RowCount();
  if (!click_fixed_ || button != TMouseButton::mbLeft || (shift & ssDouble) || on_sizing_edge ||
      !in_grid || (col >= FixedCols() && row >= FixedRows()))
    return TStringGrid::MouseDown(button, shift, x, y, col, row, on_sizing_edge);
  // The fixed area is lifted while the clicked cell becomes current, so that it is selected like
  // a normal cell; handlers of the selection see the real counts through EffectiveFixedRows/Cols.
  saved_fixed_rows_ = FixedRows();
  saved_fixed_cols_ = FixedCols();
  clicking_ = true;
  SetFixedRows(0);
  SetFixedCols(0);
  auto restore = [&] {
    SetFixedRows(std::min(saved_fixed_rows_, RowCount() - 1));
    SetFixedCols(std::min(saved_fixed_cols_, ColCount() - 1));
  };
  try {
    SetCurrentCell(col, row);
  } catch (...) {
    restore();
    clicking_ = false;
    throw;
  }
  restore();
  return false;
}

void TmStrGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TStringGrid::MouseUp(button, shift, x, y);
  clicking_ = false;
}

}  // namespace tavrin
