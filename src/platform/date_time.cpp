#include "platform/exceptions.h"
#include "platform/text_locale.h"

namespace tavrin {

// Placeholder until date parsing lands.
void TextLocale::InitDateFormat() {}

double TextLocale::ParseDateTime(std::string_view text) const {
  throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
}

}  // namespace tavrin
