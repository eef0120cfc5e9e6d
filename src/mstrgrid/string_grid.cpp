#include "mstrgrid/string_grid.h"

#include <algorithm>

#include "platform/exceptions.h"

namespace tavrin {

TStringGrid::TStringGrid() = default;

TStringGrid::~TStringGrid() {
  // Nothing is notified while the grid is torn down.
  on_change_ = nullptr;
}

void TStringGrid::CheckIndex(int col, int row) {
  if (col < 0 || row < 0) throw EListError("Grid index out of range");
}

const TStringGrid::CellData* TStringGrid::Find(int col, int row) const {
  CheckIndex(col, row);
  const auto r = static_cast<std::size_t>(row);
  const auto c = static_cast<std::size_t>(col);
  if (r >= rows_.size() || c >= rows_[r].size()) return nullptr;
  return &rows_[r][c];
}

TStringGrid::CellData& TStringGrid::At(int col, int row) {
  CheckIndex(col, row);
  const auto r = static_cast<std::size_t>(row);
  const auto c = static_cast<std::size_t>(col);
  if (r >= rows_.size()) rows_.resize(r + 1);
  if (c >= rows_[r].size()) rows_[r].resize(c + 1);
  return rows_[r][c];
}

std::string TStringGrid::Cell(int col, int row) const {
  const CellData* cell = Find(col, row);
  return cell ? cell->text : std::string();
}

void TStringGrid::SetCell(int col, int row, const std::string& text) {
  // Reading first keeps an empty cell outside the store from growing it.
  const CellData* cell = Find(col, row);
  if (!cell && text.empty()) return;
  At(col, row).text = text;
  Changed();
}

TObject* TStringGrid::Object(int col, int row) const {
  const CellData* cell = Find(col, row);
  return cell ? cell->object : nullptr;
}

void TStringGrid::SetObject(int col, int row, TObject* object) {
  const CellData* cell = Find(col, row);
  if (!cell && !object) return;
  At(col, row).object = object;
  Changed();
}

void TStringGrid::SetRowCount(int value) {
  value = std::max(value, 1);
  if (fixed_rows_ >= value) fixed_rows_ = value - 1;
  row_count_ = value;
  ClampPositions();
  Changed();
}

void TStringGrid::SetColCount(int value) {
  value = std::max(value, 1);
  if (fixed_cols_ >= value) fixed_cols_ = value - 1;
  col_count_ = value;
  ClampPositions();
  Changed();
}

void TStringGrid::SetFixedRows(int value) {
  if (value < 0 || value >= row_count_)
    throw EListError("Fixed row count must be less than row count");
  fixed_rows_ = value;
  ClampPositions();
  Changed();
}

void TStringGrid::SetFixedCols(int value) {
  if (value < 0 || value >= col_count_)
    throw EListError("Fixed column count must be less than column count");
  fixed_cols_ = value;
  ClampPositions();
  Changed();
}

void TStringGrid::ClampPositions() {
  // Inside the grid, and out of the fixed area whenever a normal cell exists there.
  auto clamp = [](int& value, int fixed, int count) {
    value = std::clamp(value, std::min(fixed, count - 1), count - 1);
  };
  clamp(col_, fixed_cols_, col_count_);
  clamp(anchor_col_, fixed_cols_, col_count_);
  clamp(row_, fixed_rows_, row_count_);
  clamp(anchor_row_, fixed_rows_, row_count_);
}

bool TStringGrid::SetCurrentCell(int col, int row, bool move_anchor) {
  if (col < 0 || row < 0 || col >= col_count_ || row >= row_count_)
    throw EListError("Grid index out of range");
  bool can_select = true;
  if (on_select_cell_) on_select_cell_(*this, col, row, can_select);
  if (!can_select) return false;
  col_ = col;
  row_ = row;
  if (move_anchor) {
    anchor_col_ = col;
    anchor_row_ = row;
  }
  Changed();
  return true;
}

TGridRect TStringGrid::Selection() const {
  return {std::min(col_, anchor_col_), std::min(row_, anchor_row_), std::max(col_, anchor_col_),
          std::max(row_, anchor_row_)};
}

void TStringGrid::SetSelection(const TGridRect& rect) {
  auto clip = [](int value, int count) { return std::clamp(value, 0, count - 1); };
  anchor_col_ = clip(std::min(rect.left, rect.right), col_count_);
  anchor_row_ = clip(std::min(rect.top, rect.bottom), row_count_);
  col_ = clip(std::max(rect.left, rect.right), col_count_);
  row_ = clip(std::max(rect.top, rect.bottom), row_count_);
  Changed();
}

void TStringGrid::KeyPress(char& key) {
  if (on_key_press_) on_key_press_(*this, key);
}

bool TStringGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y, int, int, bool) {
  if (on_mouse_down_) on_mouse_down_(*this, button, shift, x, y);
  return true;
}

void TStringGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (on_mouse_up_) on_mouse_up_(*this, button, shift, x, y);
}

void TStringGrid::InsertStoredRows(int index, int count) {
  const auto i = static_cast<std::size_t>(index);
  if (i >= rows_.size()) return;  // nothing stored there to move
  rows_.insert(rows_.begin() + index, static_cast<std::size_t>(count), {});
}

void TStringGrid::EraseStoredRows(int index, int count) {
  const auto i = static_cast<std::size_t>(index);
  if (i >= rows_.size()) return;
  const auto n = std::min(static_cast<std::size_t>(count), rows_.size() - i);
  rows_.erase(rows_.begin() + index, rows_.begin() + static_cast<std::ptrdiff_t>(i + n));
}

void TStringGrid::InsertStoredCols(int index, int count) {
  const auto i = static_cast<std::size_t>(index);
  for (auto& row : rows_)
    if (i < row.size()) row.insert(row.begin() + index, static_cast<std::size_t>(count), {});
}

void TStringGrid::EraseStoredCols(int index, int count) {
  const auto i = static_cast<std::size_t>(index);
  for (auto& row : rows_) {
    if (i >= row.size()) continue;
    const auto n = std::min(static_cast<std::size_t>(count), row.size() - i);
    row.erase(row.begin() + index, row.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
}

void TStringGrid::Changed() {
  if (on_change_) on_change_(*this);
}

}  // namespace tavrin
