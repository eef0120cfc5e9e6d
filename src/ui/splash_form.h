#pragma once

#include <QFrame>
#include <QPixmap>

class QLabel;
class QTimer;

namespace tavrin {

// The start-up picture: closes after 5 seconds of running message loop, at the first key press
// anywhere in the program, or at a click on the picture, and frees itself.
class TSplashF : public QFrame {
  Q_OBJECT

 public:
  explicit TSplashF(QWidget* parent = nullptr);

  QTimer* Timer1() const { return timer1_; }
  // The program's 300 by 160 picture.
  static QPixmap SplashPicture();

 public slots:
  void Timer1Timer();
  void Image1Click();
  void FormKeyDown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* image1_;
  QTimer* timer1_;
};

}  // namespace tavrin
