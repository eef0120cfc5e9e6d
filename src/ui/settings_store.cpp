#include "ui/settings_store.h"

#include <QSettings>
#include <QStringList>

#include "builders/window_rules.h"

namespace tavrin {
namespace {

constexpr int kReferenceTypes = 2;

// The stored text of a value. A text with a comma that some other program left unquoted reads
// as a list in the INI form; it is put back together.
std::string Text(QSettings& settings, const char* name) {
  QVariant value = settings.value(name);
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(",").toStdString();
  return value.toString().toStdString();
}

QString FlagValue(bool value) { return QString::fromStdString(FlagText(value)); }

}  // namespace

std::unique_ptr<QSettings> OpenMainSettings() {
#ifdef Q_OS_WIN
  auto settings = std::make_unique<QSettings>(
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Lorvantide",
      QSettings::NativeFormat);
#else
  auto settings =
      std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Lorvantide");
#endif
  settings->beginGroup("Settings");
  return settings;
}

MainSettings ReadMainSettings(QSettings& settings) {
  MainSettings s;
  s.show_log = SettingFlag(Text(settings, "Show log"), s.show_log);
  if (settings.contains("Mark")) s.mark = QString::fromStdString(Text(settings, "Mark"));
  s.reference_type =
      SettingChoice(Text(settings, "Reference type"), s.reference_type, kReferenceTypes);
  s.join_lines = SettingFlag(Text(settings, "Join lines"), s.join_lines);
  s.preserve_empty = SettingFlag(Text(settings, "Preserve empty"), s.preserve_empty);
  s.remove_lines = SettingFlag(Text(settings, "Remove lines"), s.remove_lines);
  s.remove_spaces = SettingFlag(Text(settings, "Remove spaces"), s.remove_spaces);
  s.trim_spaces = SettingFlag(Text(settings, "Trim spaces"), s.trim_spaces);
  return s;
}

void WriteMainSettings(QSettings& settings, const MainSettings& s, const QString& ap_path) {
  settings.setValue("Show log", FlagValue(s.show_log));
  settings.setValue("Mark", s.mark);
  settings.setValue("Reference type", QString::number(s.reference_type));
  settings.setValue("Join lines", FlagValue(s.join_lines));
  settings.setValue("Preserve empty", FlagValue(s.preserve_empty));
  settings.setValue("Remove lines", FlagValue(s.remove_lines));
  settings.setValue("Remove spaces", FlagValue(s.remove_spaces));
  settings.setValue("Trim spaces", FlagValue(s.trim_spaces));
  settings.setValue("ApPath", ap_path.toLower());
  settings.sync();
}

}  // namespace tavrin
