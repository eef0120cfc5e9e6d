#include "ui/grid_view.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <algorithm>

#include "ui/ui_text.h"

namespace tavrin {
namespace {

constexpr int kGridLine = 1;    // width of the lines between cells
constexpr int kTextMargin = 2;  // between a cell's left edge and its text

int CodePageOrUser(int code_page) {
  return code_page != 0 ? code_page : TextLocale::User().CodePage();
}

TShiftState ShiftOf(Qt::KeyboardModifiers modifiers, bool double_click) {
  TShiftState shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= ssShift;
  if (modifiers & Qt::AltModifier) shift |= ssAlt;
  if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
  if (double_click) shift |= ssDouble;
  return shift;
}

TMouseButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return TMouseButton::mbRight;
    case Qt::MiddleButton:
      return TMouseButton::mbMiddle;
    default:
      return TMouseButton::mbLeft;
  }
}

}  // namespace

std::optional<std::string> CellTextOf(int code_page, const QString& text,
                                      const std::function<void(const QString&)>& refused) {
  bool lossy = false;
  std::string bytes = TypedToCore(code_page, text, &lossy);
  if (!lossy) return bytes;
  QString beyond;
  for (char32_t c : text.toUcs4()) {
    const QString one = QString::fromUcs4(&c, 1);
    bool lost = false;
    TypedToCore(code_page, one, &lost);
    if (lost && !beyond.contains(one)) beyond += one;
  }
  if (refused) refused(beyond);
  return std::nullopt;
}

std::optional<std::string> QtGridClipboard::Text() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText()) return std::nullopt;
  const std::optional<std::string> taken = CellTextOf(code_page_, data->text(), refused);
  if (!taken) return std::nullopt;
  const std::string& text = *taken;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

void QtGridClipboard::SetText(const std::string& text) {
  QGuiApplication::clipboard()->setText(TypedFromCore(code_page_, text));
}

GridView::GridView(QWidget* parent, int code_page)
    : QAbstractScrollArea(parent),
      grid_(std::make_unique<TmStrGrid>(TextLocale::User())),
      clipboard_(CodePageOrUser(code_page)),
      code_page_(CodePageOrUser(code_page)) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  grid_->SetClipboard(&clipboard_);
  clipboard_.refused = [this](const QString& characters) {
    emit TextRefused(characters, code_page_);
  };
  grid_->SetOnChange([this](TStringGrid&) { GridChanged(); });
  UpdateScrollBars();
}

GridView::~GridView() {
  // The grid may outlive nothing here, but its notifications must not reach a dying view.
  grid_->SetOnChange(nullptr);
}

int GridView::FixedRows() const { return grid_->FixedRows(); }
int GridView::FixedCols() const { return grid_->FixedCols(); }
int GridView::TopRow() const { return FixedRows() + verticalScrollBar()->value(); }
int GridView::LeftCol() const { return FixedCols() + horizontalScrollBar()->value(); }

void GridView::SetDefaultColWidth(int width) {
  default_col_width_ = std::max(width, 0);
  laid_out_cols_ = -1;
  GridChanged();
}

void GridView::SetDefaultRowHeight(int height) {
  default_row_height_ = std::max(height, 1);
  laid_out_rows_ = -1;
  GridChanged();
}

int GridView::ColWidth(int col) const {
  const auto it = col_widths_.find(col);
  return it == col_widths_.end() ? default_col_width_ : it->second;
}

void GridView::SetColWidth(int col, int width) {
  col_widths_[col] = std::max(width, 0);
  laid_out_cols_ = -1;
  GridChanged();
}

void GridView::SetEditing(bool value) {
  editing_ = value;
  if (!value) CommitEditor();
}

QString GridView::CellText(int col, int row) const {
  return TypedFromCore(code_page_, grid_->Cell(col, row));
}

QRect GridView::CellRect(int col, int row) const {
  auto offset = [](int index, int fixed, int first, auto size) {
    int pos = 0;
    if (index < fixed) {
      for (int i = 0; i < index; ++i) pos += size(i) + kGridLine;
      return pos;
    }
    if (index < first) return -1;
    for (int i = 0; i < fixed; ++i) pos += size(i) + kGridLine;
    for (int i = first; i < index; ++i) pos += size(i) + kGridLine;
    return pos;
  };
  if (col < 0 || row < 0 || col >= grid_->ColCount() || row >= grid_->RowCount()) return {};
  const int x = offset(col, FixedCols(), LeftCol(), [this](int c) { return ColWidth(c); });
  const int y = offset(row, FixedRows(), TopRow(), [this](int) { return RowHeight(); });
  if (x < 0 || y < 0) return {};
  return QRect(x, y, ColWidth(col), RowHeight());
}

void GridView::MouseToCell(const QPoint& pos, int& col, int& row) const {
  auto find = [](int p, int fixed, int first, int count, auto size) {
    int edge = 0;
    for (int i = 0; i < fixed; ++i) {
      edge += size(i) + kGridLine;
      if (p < edge) return i;
    }
    for (int i = first; i < count; ++i) {
      edge += size(i) + kGridLine;
      if (p < edge) return i;
    }
    return -1;
  };
  col = row = -1;
  if (pos.x() < 0 || pos.y() < 0) return;
  col = find(pos.x(), FixedCols(), LeftCol(), grid_->ColCount(),
             [this](int c) { return ColWidth(c); });
  // Rows are of one height: no need to walk them.
  const int pitch = RowHeight() + kGridLine;
  const int fixed_height = FixedRows() * pitch;
  if (pos.y() < fixed_height) {
    row = pos.y() / pitch;
  } else {
    row = TopRow() + (pos.y() - fixed_height) / pitch;
    if (row >= grid_->RowCount()) row = -1;
  }
  if (col < 0 || row < 0) col = row = -1;
}

void GridView::GridChanged() {
  if (editor_ && editor_->isVisible() &&
      (editor_col_ >= grid_->ColCount() || editor_row_ >= grid_->RowCount()))
    CancelEditor();
  if (laid_out_rows_ != grid_->RowCount() || laid_out_cols_ != grid_->ColCount() ||
      laid_out_fixed_rows_ != FixedRows() || laid_out_fixed_cols_ != FixedCols())
    UpdateScrollBars();
  if (editor_ && editor_->isVisible()) PlaceEditor();
  viewport()->update();
}

void GridView::UpdateScrollBars() {
  laid_out_rows_ = grid_->RowCount();
  laid_out_cols_ = grid_->ColCount();
  laid_out_fixed_rows_ = FixedRows();
  laid_out_fixed_cols_ = FixedCols();
  const QSize area = viewport()->size();

  const int pitch = RowHeight() + kGridLine;
  const int free_height = area.height() - FixedRows() * pitch;
  const int visible_rows = std::max(1, free_height / pitch);
  const int normal_rows = grid_->RowCount() - FixedRows();
  verticalScrollBar()->setRange(0, std::max(0, normal_rows - visible_rows));
  verticalScrollBar()->setPageStep(visible_rows);
  verticalScrollBar()->setSingleStep(1);

  // The last left column that still shows the grid's last column whole.
  int fixed_width = 0;
  for (int c = 0; c < FixedCols(); ++c) fixed_width += ColWidth(c) + kGridLine;
  const int free_width = area.width() - fixed_width;
  int last_left = grid_->ColCount() - 1;
  int used = ColWidth(last_left) + kGridLine;
  while (last_left > FixedCols() && used + ColWidth(last_left - 1) + kGridLine <= free_width) {
    --last_left;
    used += ColWidth(last_left) + kGridLine;
  }
  horizontalScrollBar()->setRange(0, std::max(0, last_left - FixedCols()));
  horizontalScrollBar()->setPageStep(std::max(1, grid_->ColCount() - last_left));
  horizontalScrollBar()->setSingleStep(1);
}

void GridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  if (editor_ && editor_->isVisible()) PlaceEditor();
}

void GridView::scrollContentsBy(int, int) {
  if (editor_ && editor_->isVisible()) PlaceEditor();
  viewport()->update();
}

void GridView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QSize area = viewport()->size();
  const TGridRect sel = grid_->Selection();
  const QColor line_color = palette().color(QPalette::Mid);

  auto paint_cell = [&](int col, int row, const QRect& rect) {
    const bool fixed = col < FixedCols() || row < FixedRows();
    const QString text = CellText(col, row);
    if (fixed) {
      QStyleOptionHeader header;
      header.initFrom(this);
      header.rect = rect.adjusted(0, 0, kGridLine, kGridLine);
      header.text = text;
      header.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
      header.position = QStyleOptionHeader::Middle;
      header.state |= QStyle::State_Raised;
      // The style may leave a clip or pen behind.
      painter.save();
      style()->drawControl(QStyle::CE_Header, &header, &painter, this);
      painter.restore();
      return;
    }
    // The current cell belongs to the selection like any other cell of it.
    const bool selected =
        col >= sel.left && col <= sel.right && row >= sel.top && row <= sel.bottom;
    const QColor text_color =
        palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
    if (selected) painter.fillRect(rect, palette().color(QPalette::Highlight));
    painter.setPen(text_color);
    painter.drawText(rect.adjusted(kTextMargin, 0, -kTextMargin, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter.setPen(line_color);
    painter.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
    painter.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
    if (col == grid_->Col() && row == grid_->Row() && hasFocus()) {
      // Drawn here, not by the style: some styles draw focus frames only after the keyboard
      // moved the focus, and a click must mark the cell too.
      painter.setPen(QPen(text_color, 1, Qt::DotLine));
      painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
  };

  painter.setFont(font());
  // Fixed lines first, then the normal ones from the first in view.
  auto first = [](int fixed, int first_normal) { return fixed > 0 ? 0 : first_normal; };
  auto next = [](int i, int fixed, int first_normal) {
    return i + 1 == fixed ? first_normal : i + 1;
  };
  int y = 0;
  for (int row = first(FixedRows(), TopRow()); row < grid_->RowCount() && y < area.height();
       row = next(row, FixedRows(), TopRow())) {
    int x = 0;
    for (int col = first(FixedCols(), LeftCol()); col < grid_->ColCount() && x < area.width();
         col = next(col, FixedCols(), LeftCol())) {
      const QRect rect(x, y, ColWidth(col), RowHeight());
      paint_cell(col, row, rect);
      x += rect.width() + kGridLine;
    }
    y += RowHeight() + kGridLine;
  }
}

void GridView::MoveCurrent(int col, int row, bool extend) {
  col = std::clamp(col, FixedCols(), grid_->ColCount() - 1);
  row = std::clamp(row, FixedRows(), grid_->RowCount() - 1);
  grid_->SetCurrentCell(col, row, !extend);
  ScrollToCurrent();
}

void GridView::ScrollToCurrent() {
  const int row = grid_->Row();
  if (row >= FixedRows()) {
    const int pitch = RowHeight() + kGridLine;
    const int visible = std::max(1, (viewport()->height() - FixedRows() * pitch) / pitch);
    if (row < TopRow()) verticalScrollBar()->setValue(row - FixedRows());
    if (row >= TopRow() + visible) verticalScrollBar()->setValue(row - FixedRows() - visible + 1);
  }
  const int col = grid_->Col();
  if (col >= FixedCols()) {
    if (col < LeftCol()) horizontalScrollBar()->setValue(col - FixedCols());
    // The leftmost first column that still shows this one whole, found from its side.
    int free_width = viewport()->width();
    for (int c = 0; c < FixedCols(); ++c) free_width -= ColWidth(c) + kGridLine;
    int left = col;
    int used = ColWidth(col) + kGridLine;
    while (left > FixedCols() && used + ColWidth(left - 1) + kGridLine <= free_width)
      used += ColWidth(--left) + kGridLine;
    if (left > LeftCol()) horizontalScrollBar()->setValue(left - FixedCols());
  }
}

void GridView::keyPressEvent(QKeyEvent* event) {
  // The character of the key, as the grid takes it: Ctrl+letter is its control code.
  char key = 0;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (ctrl && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
    key = static_cast<char>(event->key() - Qt::Key_A + 1);
  } else if (!event->text().isEmpty() && !(event->modifiers() & Qt::AltModifier)) {
    const std::optional<std::string> typed =
        CellTextOf(code_page_, event->text(),
                   [this](const QString& characters) { emit TextRefused(characters, code_page_); });
    if (!typed) {
      event->accept();
      return;
    }
    if (typed->size() == 1 && (*typed)[0] != 27 && (*typed)[0] != 13 && (*typed)[0] != 9 &&
        (*typed)[0] != 8)
      key = (*typed)[0];
  }
  if (key != 0) {
    grid_->KeyPress(key);
    if (key == 0 || ctrl) {
      event->accept();
      return;
    }
    if (static_cast<unsigned char>(key) >= 32) {
      if (editing_) {
        const QString initial = TypedFromCore(code_page_, std::string(1, key));
        ShowEditor(&initial);
      }
      event->accept();
      return;
    }
  }

  const bool extend = range_select_ && (event->modifiers() & Qt::ShiftModifier);
  const int col = grid_->Col();
  const int row = grid_->Row();
  const int pitch = RowHeight() + kGridLine;
  const int page = std::max(1, (viewport()->height() - FixedRows() * pitch) / pitch);
  switch (event->key()) {
    case Qt::Key_Up:
      MoveCurrent(col, row - 1, extend);
      break;
    case Qt::Key_Down:
      MoveCurrent(col, row + 1, extend);
      break;
    case Qt::Key_Left:
      MoveCurrent(col - 1, row, extend);
      break;
    case Qt::Key_Right:
      MoveCurrent(col + 1, row, extend);
      break;
    case Qt::Key_PageUp:
      MoveCurrent(col, row - page, extend);
      break;
    case Qt::Key_PageDown:
      MoveCurrent(col, row + page, extend);
      break;
    case Qt::Key_Home:
      MoveCurrent(FixedCols(), ctrl ? FixedRows() : row, extend);
      break;
    case Qt::Key_End:
      MoveCurrent(grid_->ColCount() - 1, ctrl ? grid_->RowCount() - 1 : row, extend);
      break;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!editing_) {
        event->ignore();
        return;
      }
      ShowEditor();
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void GridView::PressMouse(QMouseEvent* event, bool double_click) {
  const QPoint pos = event->position().toPoint();
  int col = -1;
  int row = -1;
  MouseToCell(pos, col, row);
  setFocus(Qt::MouseFocusReason);
  if (editor_ && editor_->isVisible()) CommitEditor();
  const bool go_on =
      grid_->MouseDown(ButtonOf(event->button()), ShiftOf(event->modifiers(), double_click),
                       pos.x(), pos.y(), col, row, false);
  if (!go_on || event->button() != Qt::LeftButton || col < FixedCols() || row < FixedRows()) return;
  const bool extend = range_select_ && (event->modifiers() & Qt::ShiftModifier);
  grid_->SetCurrentCell(col, row, !extend);
  selecting_ = range_select_;
  ScrollToCurrent();
  if (double_click && editing_) ShowEditor();
}

void GridView::mousePressEvent(QMouseEvent* event) { PressMouse(event, false); }

void GridView::mouseDoubleClickEvent(QMouseEvent* event) { PressMouse(event, true); }

void GridView::mouseMoveEvent(QMouseEvent* event) {
  if (!selecting_) return;
  int col = -1;
  int row = -1;
  MouseToCell(event->position().toPoint(), col, row);
  if (col >= FixedCols() && row >= FixedRows() && (col != grid_->Col() || row != grid_->Row()))
    grid_->SetCurrentCell(col, row, false);
}

void GridView::mouseReleaseEvent(QMouseEvent* event) {
  selecting_ = false;
  const QPoint pos = event->position().toPoint();
  grid_->MouseUp(ButtonOf(event->button()), ShiftOf(event->modifiers(), false), pos.x(), pos.y());
}

void GridView::ShowEditor(const QString* initial) {
  if (!editing_) return;
  const int col = grid_->Col();
  const int row = grid_->Row();
  if (col < FixedCols() || row < FixedRows()) return;
  if (!editor_) {
    editor_ = new QLineEdit(viewport());
    editor_->setObjectName("InplaceEdit");
    editor_->setFrame(false);
    editor_->installEventFilter(this);
    editor_->hide();
  }
  editor_col_ = col;
  editor_row_ = row;
  ScrollToCurrent();
  PlaceEditor();
  editor_->setFont(font());
  if (initial) {
    editor_->setText(*initial);
    editor_->end(false);
  } else {
    editor_->setText(CellText(col, row));
    editor_->selectAll();
  }
  grid_->SetEditorMode(true);
  editor_->show();
  editor_->setFocus(Qt::OtherFocusReason);
}

void GridView::PlaceEditor() {
  const QRect rect = CellRect(editor_col_, editor_row_);
  if (rect.isEmpty()) {
    editor_->setGeometry(-1000, -1000, 1, 1);  // scrolled away: keep it open but unseen
  } else {
    editor_->setGeometry(rect);
  }
}

bool GridView::CommitEditor() {
  if (!editor_ || !editor_->isVisible()) return true;
  const int col = editor_col_;
  const int row = editor_row_;
  // The message of a refusal takes the focus from the editor: that is no second commit.
  if (refusing_) return false;
  // A cell holds 8-bit text: what its code page cannot hold keeps the editor open.
  QString beyond;
  const std::optional<std::string> taken =
      CellTextOf(code_page_, editor_->text(), [&](const QString& c) { beyond = c; });
  if (!taken) {
    refusing_ = true;
    emit TextRefused(beyond, code_page_);
    refusing_ = false;
    editor_->setFocus(Qt::OtherFocusReason);
    return false;
  }
  const std::string& text = *taken;
  // Hidden first: the focus leaving the editor must not commit a second time.
  editor_->hide();
  grid_->SetEditorMode(false);
  setFocus(Qt::OtherFocusReason);
  if (grid_->Cell(col, row) != text) grid_->SetCell(col, row, text);
  return true;
}

void GridView::CancelEditor() {
  if (!editor_ || !editor_->isVisible()) return;
  editor_->hide();
  grid_->SetEditorMode(false);
  setFocus(Qt::OtherFocusReason);
}

bool GridView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editor_) return QAbstractScrollArea::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Escape:
        CancelEditor();
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        CommitEditor();
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down: {
        CommitEditor();
        const int step = key->key() == Qt::Key_Up ? -1 : 1;
        MoveCurrent(grid_->Col(), grid_->Row() + step, false);
        return true;
      }
      default:
        break;
    }
  } else if (event->type() == QEvent::FocusOut) {
    // Leaving the editor for another control (Save, say) keeps what was typed.
    if (editor_->isVisible() && QApplication::focusWidget() != editor_) CommitEditor();
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

}  // namespace tavrin
