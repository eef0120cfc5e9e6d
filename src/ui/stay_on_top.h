#pragma once

#include <QObject>

class QWidget;

namespace tavrin {

// Keeps a stay-on-top window over the program's other windows where nothing else does (a
// display without a window manager, or one that ignores the hint): whenever another window
// that is neither modal nor kept on top itself is shown or raised while this one is up, this
// one is raised again once the other is on the screen. A child of the window it keeps.
class StayOnTop : public QObject {
  Q_OBJECT

 public:
  explicit StayOnTop(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  bool queued_ = false;
};

}  // namespace tavrin
