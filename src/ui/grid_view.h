#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <functional>
#include <map>
#include <memory>

#include "mstrgrid/grid_clipboard.h"
#include "mstrgrid/mstrgrid.h"

class QLineEdit;

namespace tavrin {

// Text typed or pasted into cells, in their code page; nothing when it holds characters the
// code page cannot, which `refused` is then told (they are never stored as '?').
std::optional<std::string> CellTextOf(int code_page, const QString& text,
                                      const std::function<void(const QString&)>& refused);

// The system clipboard as plain text in a code page. Lone LF line ends from other programs are
// read as CR LF, the grid's row separator. Text beyond the code page is not pasted.
class QtGridClipboard : public GridClipboard {
 public:
  explicit QtGridClipboard(int code_page) : code_page_(code_page) {}
  std::optional<std::string> Text() const override;
  void SetText(const std::string& text) override;
  std::function<void(const QString&)> refused;

 private:
  int code_page_;
};

// The window of a TmStrGrid: fixed cells drawn as headers, grid lines, the selection, in-place
// editing of normal cells, scrolling by whole rows and columns. Keys and mouse presses go to the
// grid first (clipboard short cuts, ClickFixed) and then to the default handling here.
class GridView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // `code_page`: the 8-bit text of the cells; 0 is the user's.
  explicit GridView(QWidget* parent = nullptr, int code_page = 0);
  ~GridView() override;

  TmStrGrid& Grid() { return *grid_; }
  const TmStrGrid& Grid() const { return *grid_; }

  int DefaultColWidth() const { return default_col_width_; }
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return default_row_height_; }
  void SetDefaultRowHeight(int height);
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  // Options: range selection with the mouse and Shift, and in-place editing of normal cells.
  bool RangeSelect() const { return range_select_; }
  void SetRangeSelect(bool value) { range_select_ = value; }
  bool Editing() const { return editing_; }
  void SetEditing(bool value);

  // The cell under a point of the viewport; -1 when there is none.
  void MouseToCell(const QPoint& pos, int& col, int& row) const;
  // The viewport rectangle of a cell; empty when it is scrolled out of view.
  QRect CellRect(int col, int row) const;
  // The first normal row and column in view.
  int TopRow() const;
  int LeftCol() const;

  // The in-place editor: open on the current cell (with `initial` typed into it when given),
  // commit its text into the cell (false when its text was refused and it stays open), or drop
  // it.
  void ShowEditor(const QString* initial = nullptr);
  bool CommitEditor();
  void CancelEditor();
  QLineEdit* Editor() const { return editor_; }

  QString CellText(int col, int row) const;

 signals:
  // Text typed or pasted holds `characters` that the cells' code page cannot hold; it was not
  // taken.
  void TextRefused(const QString& characters, int code_page);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int FixedRows() const;
  int FixedCols() const;
  int RowHeight() const { return default_row_height_; }
  void GridChanged();
  void UpdateScrollBars();
  void ScrollToCurrent();
  void MoveCurrent(int col, int row, bool extend);
  void PlaceEditor();
  void PressMouse(QMouseEvent* event, bool double_click);

  std::unique_ptr<TmStrGrid> grid_;
  QtGridClipboard clipboard_;
  int code_page_;
  int default_col_width_ = 64;
  int default_row_height_ = 24;
  std::map<int, int> col_widths_;
  bool range_select_ = false;
  bool editing_ = false;
  bool selecting_ = false;  // a mouse drag extends the selection
  QLineEdit* editor_ = nullptr;
  bool refusing_ = false;  // a refused edit's message is up
  int editor_col_ = -1;
  int editor_row_ = -1;
  // The sizes the scroll bars were last set up for.
  int laid_out_rows_ = -1;
  int laid_out_cols_ = -1;
  int laid_out_fixed_rows_ = -1;
  int laid_out_fixed_cols_ = -1;
};

}  // namespace tavrin
