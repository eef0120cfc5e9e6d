#pragma once

#include <QTextEdit>

namespace tavrin {

// A rich edit that tells when it has scrolled: after the ordinary scrolling, OnVScroll fires for
// a vertical move and OnHScroll for a horizontal one.
class TSRichEdit : public QTextEdit {
  Q_OBJECT

 public:
  explicit TSRichEdit(QWidget* parent = nullptr);

 signals:
  void OnVScroll(tavrin::TSRichEdit* sender);
  void OnHScroll(tavrin::TSRichEdit* sender);

 protected:
  void scrollContentsBy(int dx, int dy) override;
};

}  // namespace tavrin
