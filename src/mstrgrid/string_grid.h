#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mstrgrid/grid_clipboard.h"
#include "mstrlist/strings.h"

namespace tavrin {

// A rectangle of cells, inclusive on all sides.
struct TGridRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const TGridRect&) const = default;
};

enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

// Modifier keys and the double click flag of a mouse or key event.
enum TShiftFlag : std::uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssDouble = 8 };
using TShiftState = std::uint8_t;

class TStringGrid;
using TGridKeyPressEvent = std::function<void(TStringGrid&, char& key)>;
// x and y are whatever position the front end reports (pixels of its view).
using TGridMouseEvent = std::function<void(TStringGrid&, TMouseButton, TShiftState, int x, int y)>;
// Asked before a cell becomes the current cell; clearing `can_select` keeps the old one.
using TSelectCellEvent = std::function<void(TStringGrid&, int col, int row, bool& can_select)>;
using TGridNotifyEvent = std::function<void(TStringGrid&)>;

// A grid of text cells, each with an optional object, without any drawing: fixed header rows and
// columns, the current cell and the selection. A view draws it and feeds it input.
//
// Cells are stored apart from the row and column counts: a cell set outside the grid is kept and
// shows when the grid grows, and shrinking the grid keeps the cells beyond the new size.
class TStringGrid {
 public:
  TStringGrid();
  TStringGrid(const TStringGrid&) = delete;
  TStringGrid& operator=(const TStringGrid&) = delete;
  virtual ~TStringGrid();

  // Cells outside the grid read as empty; negative indexes raise EListError.
  std::string Cell(int col, int row) const;
  void SetCell(int col, int row, const std::string& text);
  TObject* Object(int col, int row) const;
  void SetObject(int col, int row, TObject* object);

  int RowCount() const { return row_count_; }
  int ColCount() const { return col_count_; }
  // Below 1 gives 1; a count not above the fixed count lowers the fixed count to count - 1.
  void SetRowCount(int value);
  void SetColCount(int value);
  int FixedRows() const { return fixed_rows_; }
  int FixedCols() const { return fixed_cols_; }
  // Raises EListError when negative or not below the row (column) count. The current cell and
  // the selection leave the fixed area.
  void SetFixedRows(int value);
  void SetFixedCols(int value);

  int Col() const { return col_; }
  int Row() const { return row_; }
  // Makes (col, row) the current cell after asking OnSelectCell; with `move_anchor` the selection
  // shrinks to it, otherwise it stretches from the anchor. Raises EListError outside the grid.
  // Returns whether the cell was selected.
  bool SetCurrentCell(int col, int row, bool move_anchor = true);
  TGridRect Selection() const;
  // The anchor goes to the top-left corner, the current cell to the bottom-right one (clipped
  // to the grid).
  void SetSelection(const TGridRect& rect);

  // True while the front end has an in-place editor open on the current cell.
  bool EditorMode() const { return editor_mode_; }
  void SetEditorMode(bool value) { editor_mode_ = value; }

  // The clipboard that copy, cut and paste use; not owned. Without one they do nothing.
  GridClipboard* Clipboard() const { return clipboard_; }
  void SetClipboard(GridClipboard* clipboard) { clipboard_ = clipboard; }

  // Input from the front end. KeyPress gets the character code (Ctrl+C is 3). MouseDown returns
  // false when the grid took the press itself and the view must not handle it further;
  // `on_sizing_edge` tells that the press would start resizing a row or column.
  virtual void KeyPress(char& key);
  virtual bool MouseDown(TMouseButton button, TShiftState shift, int x, int y, int col, int row,
                         bool on_sizing_edge);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

  void SetOnKeyPress(TGridKeyPressEvent handler) { on_key_press_ = std::move(handler); }
  void SetOnMouseDown(TGridMouseEvent handler) { on_mouse_down_ = std::move(handler); }
  void SetOnMouseUp(TGridMouseEvent handler) { on_mouse_up_ = std::move(handler); }
  void SetOnSelectCell(TSelectCellEvent handler) { on_select_cell_ = std::move(handler); }
  // Told after cells, counts, fixed counts or the current cell changed, so a view can repaint.
  void SetOnChange(TGridNotifyEvent handler) { on_change_ = std::move(handler); }

 protected:
  struct CellData {
    std::string text;
    TObject* object = nullptr;
  };

  // Mutable storage of one cell, growing the store as needed.
  CellData& At(int col, int row);
  const CellData* Find(int col, int row) const;
  // Store operations used by row and column editing: they shift stored cells, including those
  // beyond the counts.
  void InsertStoredRows(int index, int count);
  void EraseStoredRows(int index, int count);
  void InsertStoredCols(int index, int count);
  void EraseStoredCols(int index, int count);
  void Changed();

 private:
  static void CheckIndex(int col, int row);
  void ClampPositions();

  std::vector<std::vector<CellData>> rows_;  // rows_[row][col]; ragged, grown on write
  int row_count_ = 5;
  int col_count_ = 5;
  int fixed_rows_ = 1;
  int fixed_cols_ = 1;
  int col_ = 1;
  int row_ = 1;
  int anchor_col_ = 1;
  int anchor_row_ = 1;
  bool editor_mode_ = false;
  GridClipboard* clipboard_ = nullptr;
  TGridKeyPressEvent on_key_press_;
  TGridMouseEvent on_mouse_down_;
  TGridMouseEvent on_mouse_up_;
  TSelectCellEvent on_select_cell_;
  TGridNotifyEvent on_change_;
};

}  // namespace tavrin
