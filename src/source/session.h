#pragma once

#include <string>

#include "platform/system.h"
#include "platform/text_locale.h"
#include "source/header_file.h"
#include "source/markup.h"

namespace tavrin {

// Program-wide state that lives from start-up to exit: the tag table, the link settings and
// header state that the last header file left, and the facts of the program's installation.
// Owned by the front end, handed to every build.
class Session {
 public:
  explicit Session(const TextLocale& locale = TextLocale::User())
      : locale_(locale),
        tag_table_(BuildTagTable()),
        program_folder_(ApPath()),
        user_name_(UserName()) {}

  const TextLocale& Locale() const { return locale_; }
  const TagTable& Tags() const { return tag_table_; }
  LinkSettings& Links() { return link_settings_; }
  const LinkSettings& Links() const { return link_settings_; }
  HeaderFileState& Header() { return header_state_; }
  MarkupContext Markup() const { return MarkupContext{tag_table_, link_settings_, locale_}; }

  // The folder of the data files (tavrin.bok, master.map) and, when writable, of the log.
  const std::string& ProgramFolder() const { return program_folder_; }
  void SetProgramFolder(std::string folder) { program_folder_ = std::move(folder); }
  // The name written into every module's creator text.
  const std::string& User() const { return user_name_; }
  void SetUser(std::string name) { user_name_ = std::move(name); }

 private:
  const TextLocale& locale_;
  TagTable tag_table_;
  LinkSettings link_settings_;
  HeaderFileState header_state_;
  std::string program_folder_;
  std::string user_name_;
};

}  // namespace tavrin
