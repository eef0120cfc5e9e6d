#include "ui/srich_edit.h"

namespace tavrin {

TSRichEdit::TSRichEdit(QWidget* parent) : QTextEdit(parent) {}

void TSRichEdit::scrollContentsBy(int dx, int dy) {
  QTextEdit::scrollContentsBy(dx, dy);
  if (dy != 0) emit OnVScroll(this);
  if (dx != 0) emit OnHScroll(this);
}

}  // namespace tavrin
