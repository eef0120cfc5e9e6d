#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "module/module_kind.h"

// Writes Tavrin marked text entry by entry: UTF-8 with a byte order mark, CR LF line ends, a few
// leading lines that say what wrote it and how to build it, then a control or reference line
// per entry with its text lines below.

namespace tavrin {

class ReplacingFile;

inline constexpr std::string_view kControlMark = "#";

class MarkedTextWriter {
 public:
  // Nothing is written before the first entry; the file is put in place by Finish alone.
  MarkedTextWriter(std::string path, std::string written_by);
  ~MarkedTextWriter();

  // The build command's part after "tavrin-cli build KIND THIS-FILE OUTPUT" (--name ...).
  void SetBuild(ModuleKind kind, std::string options);
  // One entry: its control or reference line without the mark, and its text lines (UTF-8).
  // A text line that would read as a control line is kept from doing so.
  void AddEntry(std::string_view heading, const std::vector<std::string>& lines);
  std::int64_t Entries() const { return entries_; }
  // Writes what is left and puts the file in place; raises the file errors of ReplacingFile.
  void Finish();
  // The build command of the leading lines.
  std::string BuildCommand() const;

 private:
  void Flush();

  std::string path_;
  std::string written_by_;
  ModuleKind kind_ = ModuleKind::kDictionary;
  std::string options_;
  std::unique_ptr<ReplacingFile> file_;
  std::string buffer_;
  std::int64_t entries_ = 0;
};

// A text line as it must stand in marked text: a "<" that would open something the markup
// reads as a tag is made literal, and a line that begins with the control mark keeps it as text.
std::string LiteralText(std::string_view text);

// The text with every byte that is not part of a well-formed UTF-8 character replaced by '?';
// `replaced` tells whether one was.
std::string ValidUtf8(std::string_view text, bool* replaced = nullptr);
// Whether every byte is part of a well-formed UTF-8 character (ASCII checked eight at a time).
bool IsWellFormedUtf8(std::string_view text);

// Quotes an argument for the shell ('...').
std::string ShellQuoted(std::string_view text);

}  // namespace tavrin
