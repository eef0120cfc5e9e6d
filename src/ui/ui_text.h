#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tavrin {

class TextLocale;

// The application title: the caption of every message box.
inline constexpr char kApplicationTitle[] = "Tavrin for Corvalinth";

// 8-bit text of the core shown in a window. Messages and log lines carry both code-page text
// and file paths, which the file system hands over as UTF-8: a line that is valid UTF-8 is
// taken as such, anything else is decoded from the code page.
QString ToDisplay(const TextLocale& locale, std::string_view text);

// File paths between the toolkit and the core: UTF-8, as the core's paths are on both systems
// (on Linux the file system's own encoding, which Qt takes as UTF-8 too; on Windows the core
// turns it into the system's UTF-16, where the ANSI code page could not name every file).
std::string PathToCore(const QString& path);
QString PathFromCore(std::string_view path);

// Text typed into a box, converted to a code page, and back.
std::string TypedToCore(int code_page, const QString& text, bool* lossy = nullptr);
QString TypedFromCore(int code_page, std::string_view text);

}  // namespace tavrin
