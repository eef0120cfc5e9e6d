// tavrin: the desktop program.
#include <QApplication>

#include "platform/text_locale.h"
#include "ui/main_form.h"
#include "ui/splash_form.h"
#include "ui/ui_text.h"

int main(int argc, char** argv) {
  using namespace tavrin;
  QApplication app(argc, argv);

  // The splash first, painted at once, so it is up while the windows are made.
  auto* splash = new TSplashF;
  splash->setAttribute(Qt::WA_QuitOnClose, false);
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  QApplication::setApplicationName(kApplicationTitle);
  // The main window makes the log window and the book names editor after itself.
  TMainF main_form(TextLocale::User());
  main_form.show();
  return QApplication::exec();
}
