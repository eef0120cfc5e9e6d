#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace tavrin {

// The main window's options as they persist between runs. The defaults are the first start's.
struct MainSettings {
  bool show_log = true;        // "Show log"
  QString mark = "#";          // "Mark"
  int reference_type = 0;      // "Reference type"
  bool join_lines = false;     // "Join lines"
  bool preserve_empty = true;  // "Preserve empty"
  bool remove_lines = true;    // "Remove lines"
  bool remove_spaces = true;   // "Remove spaces"
  bool trim_spaces = true;     // "Trim spaces"
};

// The settings key, with its "Settings" group open: on Windows the registry key
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Lorvantide, elsewhere the INI
// file Lorvantide.ini in the user's configuration folder.
std::unique_ptr<QSettings> OpenMainSettings();

// Missing values and texts that are not decimal numbers give the defaults; never fails.
MainSettings ReadMainSettings(QSettings& settings);
// Every value as a string ("0"/"1" for flags), in the order of the table, then "ApPath" in
// lower case.
void WriteMainSettings(QSettings& settings, const MainSettings& values, const QString& ap_path);

}  // namespace tavrin
