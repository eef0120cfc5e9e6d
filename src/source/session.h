#pragma once

#include "platform/text_locale.h"
#include "source/parser.h"

namespace tavrin {

// Program-wide state that lives from start-up to exit: the tag table and the link settings that
// the last header file left. Owned by the front end, handed to every build.
class Session {
 public:
  explicit Session(const TextLocale& locale = TextLocale::User())
      : locale_(locale), tag_table_(BuildTagTable()) {}

  const TextLocale& Locale() const { return locale_; }
  const TagTable& Tags() const { return tag_table_; }
  LinkSettings& Links() { return link_settings_; }
  const LinkSettings& Links() const { return link_settings_; }
  MarkupContext Markup() const { return MarkupContext{tag_table_, link_settings_, locale_}; }

 private:
  const TextLocale& locale_;
  TagTable tag_table_;
  LinkSettings link_settings_;
};

}  // namespace tavrin
