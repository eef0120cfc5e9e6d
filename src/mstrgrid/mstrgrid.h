#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mstrgrid/string_grid.h"
#include "mstrlist/mstrlist.h"
#include "platform/text_locale.h"

namespace tavrin {

// How fixed rows and columns take part in sorting and searching.
//  hfNot: not at all. hfSmart: fixed cells heading the sorted sequence stay and are not
//  compared, fixed cells across it move with their line. hfYes: like ordinary cells.
enum THandleFixed : std::uint8_t { hfNot, hfSmart, hfYes };

// The kind of the last sort, as UndoSort needs it.
enum class TGridSortKind : std::uint8_t {
  kNone = 0,
  kCompleteRows = 1,
  kCompleteColumns = 2,
  kCol = 3,
  kRow = 4,
  kAllRows = 5,
  kAllCols = 6,
};

// A string grid that sorts rows, columns or single lines by key with one-step undo, searches
// cells with continuation, inserts, deletes and fills rows and columns, copies, cuts and pastes
// through the clipboard and loads and saves itself as separated text.
class TmStrGrid : public TStringGrid {
 public:
  explicit TmStrGrid(const TextLocale& locale = TextLocale::User());
  ~TmStrGrid() override;

  // Settings.
  TMSortType KeyType() const { return key_type_; }
  void SetKeyType(TMSortType value) { key_type_ = value; }
  int KeyPos() const { return key_pos_; }
  void SetKeyPos(int value) { key_pos_ = value; }
  int KeyLen() const { return key_len_; }
  void SetKeyLen(int value) { key_len_ = value; }
  THandleFixed UseFixed() const { return use_fixed_; }
  void SetUseFixed(THandleFixed value) { use_fixed_ = value; }
  bool SearchSubstring() const { return search_substring_; }
  void SetSearchSubstring(bool value) { search_substring_ = value; }
  bool EnableClipboardShortcuts() const { return enable_clipboard_shortcuts_; }
  void SetEnableClipboardShortcuts(bool value) { enable_clipboard_shortcuts_ = value; }
  bool PasteToCursor() const { return paste_to_cursor_; }
  void SetPasteToCursor(bool value) { paste_to_cursor_ = value; }
  bool ClickFixed() const { return click_fixed_; }
  void SetClickFixed(bool value) { click_fixed_ = value; }
  bool SortDescending() const { return sort_descending_; }
  void SetSortDescending(bool value) { sort_descending_ = value; }
  bool ReverseSearch() const { return reverse_search_; }
  // Changing the direction of a running search passes over the cell found last, so the next
  // FindNext returns the match on the other side of it; after an ended search it restarts the
  // search from the end (reverse) or the start of its area.
  void SetReverseSearch(bool value);
  bool SearchExists() const { return search_exists_; }
  // The permutation of the last sort: after a sort, entry i tells where old line i went.
  const TmStrList& SortIndex() const { return sort_index_; }

  // The fixed counts, or those saved at a ClickFixed press while it lasts.
  int EffectiveFixedRows() const { return clicking_ ? saved_fixed_rows_ : FixedRows(); }
  int EffectiveFixedCols() const { return clicking_ ? saved_fixed_cols_ : FixedCols(); }

  // Sorting. Under soDate a key that is no date raises EConvertError and nothing moves.
  void SortCompleteRows(int col);
  void SortCompleteColumns(int row);
  void SortRow(int row);
  void SortCol(int col);
  void SortAllRows();
  void SortAllCols();
  // Reverses the last sort; a second call sorts again. Does nothing when no sort is recorded or
  // the grid's size changed since.
  void UndoSort();
  TGridSortKind LastSortKind() const { return sort_kind_; }

  // Searching: each returns whether a cell was found and sets `col` and `row` to it, or both to
  // -1.
  bool FindFirst(const std::string& text, bool row_by_row, int& col, int& row);
  bool FindFirstInRow(const std::string& text, int row, int& col, int& found_row);
  bool FindFirstInCol(const std::string& text, int col, int& found_col, int& row);
  bool FindNext(int& col, int& row);

  // Row and column editing. Insert with a count below 1 does nothing; indexes outside the grid
  // raise EListError.
  void InsertRows(int index, int count);
  void InsertCols(int index, int count);
  void DeleteRows(int index, int count);
  void DeleteCols(int index, int count);
  // Splits `text` at each `separator` into the cells of the row (column) from column (row) 0 on;
  // returns the number of cells written. The counts do not change.
  int ModifyRow(int row, const std::string& text, const std::string& separator);
  int ModifyCol(int col, const std::string& text, const std::string& separator);
  void AddRow(const std::string& text, char separator);
  void AddCol(const std::string& text, char separator);

  // One line per row, cells joined by `separator`. LoadFromFile raises MFileError "File <name>
  // not found" when the file cannot be opened (a folder included); read and write failures
  // raise EInOutError.
  void LoadFromFile(const std::string& file_name, const std::string& separator);
  void SaveToFile(const std::string& file_name, const std::string& separator) const;

  // Clipboard: cells of a row joined by tab, rows by CR LF.
  std::string SelectionText() const;
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // Pastes `text` as if it came from the clipboard.
  void PasteText(const std::string& text);

  void KeyPress(char& key) override;
  bool MouseDown(TMouseButton button, TShiftState shift, int x, int y, int col, int row,
                 bool on_sizing_edge) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  // What moves in one line of a sort: the line's cell at each position along it.
  struct SortRecord {
    TGridSortKind kind;
    int line;       // the single row or column of kRow / kCol
    int first_row;  // first row that moves along (kCompleteRows: columns from first_col)
    int first_col;
  };

  TObject* IndexObject(int index);
  // Sorts one sequence of texts from `start` on; returns the old line index of every position.
  std::vector<int> SortLine(const std::vector<std::string>& texts, int start);
  // Replaces SortIndex by `order` (blocks back to back) and its settings.
  void StoreSortIndex(const std::vector<int>& order, int start);
  void RecordAndApply(const SortRecord& line_sort);
  void Apply();
  void ApplyBlock(int offset, int length, const SortRecord& line_sort, int block);
  void MoveLine(const SortRecord& line_sort, int block, int from, int to);
  std::vector<CellData> TakeLine(const SortRecord& line_sort, int block, int line);
  void PutLine(const SortRecord& line_sort, int block, int line, std::vector<CellData>& cells);

  std::string KeyOf(const std::string& text) const;
  bool Matches(const std::string& text) const;
  void StartSearch(const std::string& text, bool row_by_row);
  bool Step();
  bool AreaEmpty() const;

  const TextLocale& locale_;
  TMSortType key_type_ = soString;
  int key_pos_ = 1;
  int key_len_ = TmStrList::kMaxKeyLen;
  THandleFixed use_fixed_ = hfNot;
  bool search_substring_ = false;
  bool enable_clipboard_shortcuts_ = false;
  bool paste_to_cursor_ = false;
  bool click_fixed_ = false;
  bool sort_descending_ = false;
  bool reverse_search_ = false;
  bool search_exists_ = false;

  // ClickFixed press in progress.
  bool clicking_ = false;
  int saved_fixed_rows_ = 0;
  int saved_fixed_cols_ = 0;

  // Sort record.
  TmStrList sort_index_;
  std::vector<std::unique_ptr<TNumberObject>> index_objects_;  // object i carries i
  TGridSortKind sort_kind_ = TGridSortKind::kNone;
  SortRecord sort_line_{TGridSortKind::kNone, 0, 0, 0};
  int sorted_row_count_ = 0;
  int sorted_col_count_ = 0;

  // Search state.
  std::string search_text_;
  bool search_row_by_row_ = true;
  int area_first_row_ = 0;
  int area_first_col_ = 0;
  int area_last_row_ = -1;
  int area_last_col_ = -1;
  int next_row_ = 0;
  int next_col_ = 0;
  bool next_valid_ = false;
  // Target of the running FindNext, prepared once per call.
  double target_value_ = 0;
};

}  // namespace tavrin
