#include "platform/text_locale.h"

namespace tavrin {

int TextLocale::AnsiCodePageFor(std::string_view locale_name) {
  std::string lang(locale_name.substr(0, locale_name.find_first_of("_-.@")));
  for (const char* l : {"ru", "uk", "bg", "be", "sr", "mk"})
    if (lang == l) return 1251;
  for (const char* l : {"cs", "sk", "pl", "hu", "sl", "hr", "ro", "sq"})
    if (lang == l) return 1250;
  if (lang == "el") return 1253;
  if (lang == "tr") return 1254;
  if (lang == "he") return 1255;
  if (lang == "ar") return 1256;
  if (lang == "lt" || lang == "lv" || lang == "et") return 1257;
  if (lang == "vi") return 1258;
  return 1252;
}

void TextLocale::FinishCaseTables() {
  lower_is_ascii_ = true;
  std::array<int, 256> sources{};  // how many bytes lower-case to each byte
  for (int b = 0; b < 256; ++b) {
    ++sources[lower_[b]];
    if (b < 128 && lower_[b] != (b >= 'A' && b <= 'Z' ? b + 32 : b)) lower_is_ascii_ = false;
  }
  for (int b = 0; b < 256; ++b) sole_lower_[b] = lower_[b] == b && sources[b] == 1;
}

std::string TextLocale::Lower(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = LowerByte(c);
  return out;
}

std::string TextLocale::Upper(std::string_view text) const {
  std::string out(text);
  for (char& c : out) c = UpperByte(c);
  return out;
}

std::string TextLocale::SortKey(std::string_view text) const {
  std::string key;
  AppendSortKey(text, key);
  return key;
}

std::string TextLocale::FromUtf8(std::string_view utf8, bool* lossy) const {
  return Utf8ToCodePage(code_page_, utf8, lossy);
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace tavrin
