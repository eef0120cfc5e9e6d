#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QMap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text_locale.h"
#include "ui/main_form.h"
#include "ui/user_dialogs.h"

namespace tavrin::test {

// Keeps every message and question; answers with `answer_yes` and `open_file`; never blocks.
class FakeDialogs : public UserDialogs {
 public:
  struct Shown {
    QString text;
    MessageIcon icon;
    QWidget* parent;
    QString detail;
  };

  void Message(QWidget* parent, const QString& text, MessageIcon icon,
               const QString& detail = {}) override {
    messages.push_back({text, icon, parent, detail});
    if (on_message) on_message();
  }
  bool Question(QWidget*, const QString& text) override {
    questions << text;
    return answer_yes;
  }
  QString OpenFile(QWidget*, const QString& title, const QString& filter,
                   const QString& default_suffix) override {
    open_titles << title;
    open_filters << filter;
    return open_file;
  }
  int Exec(QDialog& dialog) override {
    executed << dialog.objectName();
    if (on_exec) on_exec(dialog);
    return 0;
  }

  bool answer_yes = true;
  QString open_file;
  std::function<void(QDialog&)> on_exec;
  std::function<void()> on_message;
  std::vector<Shown> messages;
  QStringList questions;
  QStringList open_titles;
  QStringList open_filters;
  QStringList executed;
};

// A private configuration folder for QSettings and a program folder, both temporary. On Windows
// the settings live in the user's registry key instead, which the sandbox takes aside while it
// lives and puts back after, so that every test starts without stored settings.
struct UiSandbox {
  UiSandbox() {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    QDir().mkpath(config.path());
#ifdef Q_OS_WIN
    QSettings key(kRegistryKey, QSettings::NativeFormat);
    for (const QString& name : key.allKeys()) set_aside_[name] = key.value(name);
    key.remove("");
#endif
  }
  ~UiSandbox() {
#ifdef Q_OS_WIN
    QSettings key(kRegistryKey, QSettings::NativeFormat);
    key.remove("");
    for (auto it = set_aside_.cbegin(); it != set_aside_.cend(); ++it)
      key.setValue(it.key(), it.value());
#endif
  }
  UiSandbox(const UiSandbox&) = delete;
  UiSandbox& operator=(const UiSandbox&) = delete;

  QString IniFile() const { return config.path() + "/Lorvantide.ini"; }
  // The settings as the program left them where it keeps them on this system.
  std::unique_ptr<QSettings> Stored() const {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(kRegistryKey, QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(IniFile(), QSettings::IniFormat);
#endif
  }
  bool AnyStored() const { return !Stored()->allKeys().isEmpty(); }
  std::string ProgramFolder() const { return QDir(program.path()).path().toStdString() + "/"; }
  QString Path(const QString& name) const { return program.path() + "/" + name; }

  QTemporaryDir config;
  QTemporaryDir program;

 private:
#ifdef Q_OS_WIN
  static constexpr char kRegistryKey[] =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Lorvantide";
  QMap<QString, QVariant> set_aside_;
#endif
};

// Sets the application font to each of the usual desktop sizes in turn; the font comes back
// when the object goes, also when a check has failed.
class UsualFontSizes {
 public:
  static constexpr std::array<int, 4> kPoints = {8, 9, 10, 12};
  UsualFontSizes() : font_(QApplication::font()) {}
  ~UsualFontSizes() { QApplication::setFont(font_); }
  void Set(int points) const {
    QFont font = font_;
    font.setPointSize(points);
    QApplication::setFont(font);
  }

 private:
  QFont font_;
};

// A main window over a fresh sandbox with fake dialogs: what every window test starts from.
struct MainFormHarness {
  void Start() {
    sandbox = std::make_unique<UiSandbox>();
    dialogs = std::make_unique<FakeDialogs>();
  }
  void Stop() {
    form.reset();
    dialogs.reset();
    sandbox.reset();
  }
  TMainF& Open() {
    form = std::make_unique<TMainF>(
        locale,
        MainFormSetup{.dialogs = dialogs.get(), .program_folder = sandbox->ProgramFolder()});
    return *form;
  }

  std::unique_ptr<UiSandbox> sandbox;
  std::unique_ptr<FakeDialogs> dialogs;
  std::unique_ptr<TMainF> form;
  TextLocale locale{"en_US"};
};

}  // namespace tavrin::test
