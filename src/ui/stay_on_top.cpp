#include "ui/stay_on_top.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace tavrin {

StayOnTop::StayOnTop(QWidget* window) : QObject(window), window_(window) {
  qApp->installEventFilter(this);
}

bool StayOnTop::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show && event->type() != QEvent::ZOrderChange) return false;
  auto* other = qobject_cast<QWidget*>(watched);
  if (other == nullptr || other == window_ || !other->isWindow() || !window_->isVisible())
    return false;
  // Menus, tool tips, windows kept on top themselves and modal windows, which wait for an
  // answer, take their own place.
  const Qt::WindowType type = other->windowType();
  if ((type != Qt::Window && type != Qt::Dialog) ||
      other->windowFlags().testFlag(Qt::WindowStaysOnTopHint) ||
      other->windowModality() != Qt::NonModal)
    return false;
  if (!queued_) {
    queued_ = true;
    // Later: a window is mapped only after its show event.
    QTimer::singleShot(0, this, [this] {
      queued_ = false;
      if (window_->isVisible()) window_->raise();
    });
  }
  return false;
}

}  // namespace tavrin
