// Shows each window of the program in turn for scripts/screenshots: prints "ready NAME" when a
// window is on the screen and waits for a line on stdin before the next one.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/exceptions.h"
#include "platform/text_locale.h"
#include "ui/about_form.h"
#include "ui/bok_form.h"
#include "ui/help_viewer.h"
#include "ui/log_form.h"
#include "ui/main_form.h"
#include "ui/splash_form.h"
#include "ui/ui_text.h"
#include "ui/user_dialogs.h"

namespace {

using namespace tavrin;

// Nothing waits for a user: questions are answered Yes, messages printed.
class ShotDialogs : public UserDialogs {
 public:
  void Message(QWidget*, const QString& text, MessageIcon, const QString& = {}) override {
    std::cerr << "message: " << text.toStdString() << "\n";
  }
  bool Question(QWidget*, const QString&) override { return true; }
  QString OpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  int Exec(QDialog& dialog) override {
    dialog.show();
    return 0;
  }
};

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(25);
    while (timer.isActive()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void Shot(const char* name) {
  Settle();
  std::cout << "ready " << name << std::endl;
  std::string line;
  std::getline(std::cin, line);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  const QString source = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

  auto* splash = new TSplashF;
  splash->show();
  Shot("splash");
  splash->close();

  ShotDialogs dialogs;
  TMainF main_form(TextLocale::User(), {.dialogs = &dialogs});
  main_form.show();
  if (!source.isEmpty()) {
    main_form.findChild<QLineEdit*>("FromFile1")->setText(source);
    main_form.findChild<QLineEdit*>("ToFile1")->setText("window-shots.k30");
    main_form.findChild<QLineEdit*>("ModuleName1")->setText("Example Dictionary");
  }
  Shot("main");

  if (!source.isEmpty()) {
    main_form.findChild<QPushButton*>("MakeBut")->click();
    if (!main_form.LogForm()->isVisible()) main_form.Showlognow1Click();
    Shot("log");
    main_form.LogForm()->close();
  }

  main_form.About1Click();
  Shot("about");
  if (auto* about = main_form.findChild<TAboutF*>()) about->close();

  main_form.Createmodules1Click();
  Shot("help");
  main_form.HelpForm()->close();

  try {
    main_form.BokForm()->LoadBookNames();
    main_form.BokForm()->show();
    Shot("booknames");
    main_form.BokForm()->close();
  } catch (const Exception& e) {
    std::cerr << e.what() << "\n";
  }
  return 0;
}
