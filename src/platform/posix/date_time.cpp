#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

#include <memory>

#include "platform/text_locale.h"

namespace tavrin {

void TextLocale::InitDateFormat() {
  std::unique_ptr<icu::DateFormat> format(
      icu::DateFormat::createDateInstance(icu::DateFormat::kShort, icu::Locale(name_.c_str())));
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
  if (simple == nullptr) return;  // keep the M/d/y default
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  SetDateFormat(
      std::u16string_view(pattern.getBuffer(), static_cast<std::size_t>(pattern.length())));
}

}  // namespace tavrin
