#include "ui/splash_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/stay_on_top.h"

namespace tavrin {

TSplashF::TSplashF(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("SplashF");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(304, 164);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  panel->setAutoFillBackground(true);
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel->setPalette(white);

  image1_ = new QLabel(panel);
  image1_->setObjectName("Image1");
  image1_->setAlignment(Qt::AlignCenter);
  image1_->setPixmap(SplashPicture());
  image1_->installEventFilter(this);

  auto* inner = new QVBoxLayout(panel);
  inner->setContentsMargins(1, 1, 1, 1);
  inner->addWidget(image1_);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(panel);

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(5000);
  timer1_->setSingleShot(true);
  connect(timer1_, &QTimer::timeout, this, &TSplashF::Timer1Timer);
  // The five seconds count from the running message loop, not from creation.
  QTimer::singleShot(0, timer1_, qOverload<>(&QTimer::start));

  // Any key closes the splash, wherever the keyboard focus is meanwhile.
  qApp->installEventFilter(this);
  // Over the main window too, when that is shown after it.
  new StayOnTop(this);

  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

QPixmap TSplashF::SplashPicture() {
  QPixmap picture(300, 160);
  QPainter painter(&picture);
  QLinearGradient sky(0, 0, 0, 160);
  sky.setColorAt(0, QColor(0x1c, 0x2e, 0x5a));
  sky.setColorAt(1, QColor(0x6a, 0x85, 0xb8));
  painter.fillRect(picture.rect(), sky);
  painter.setPen(QColor(0xf2, 0xd7, 0x8a));
  painter.drawLine(20, 112, 280, 112);
  QFont title = painter.font();
  title.setPixelSize(26);
  title.setBold(true);
  painter.setFont(title);
  painter.drawText(QRect(0, 40, 300, 40), Qt::AlignCenter, "Tavrin");
  QFont line = painter.font();
  line.setPixelSize(12);
  line.setBold(false);
  painter.setFont(line);
  painter.setPen(Qt::white);
  painter.drawText(QRect(0, 80, 300, 24), Qt::AlignCenter, "for Corvalinth Bible Software");
  painter.drawText(QRect(0, 120, 300, 24), Qt::AlignCenter, "version 2.0");
  return picture;
}

void TSplashF::Timer1Timer() { close(); }

void TSplashF::Image1Click() { close(); }

void TSplashF::FormKeyDown() { close(); }

bool TSplashF::eventFilter(QObject* watched, QEvent* event) {
  // Any key closes the splash before it does whatever else it does: a menu short cut is
  // announced to the focus widget before it runs, and a modifier key counts as a key.
  if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
      isVisible()) {
    FormKeyDown();
    return false;
  }
  if (watched == image1_ && event->type() == QEvent::MouseButtonPress) {
    Image1Click();
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

void TSplashF::closeEvent(QCloseEvent* event) {
  timer1_->stop();
  qApp->removeEventFilter(this);
  QFrame::closeEvent(event);
}

}  // namespace tavrin
