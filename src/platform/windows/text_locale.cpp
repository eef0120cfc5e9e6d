#include "platform/text_locale.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>

namespace tavrin {
namespace {

// Locale names as Windows spells them: "ru_RU.UTF-8" -> "ru-RU".
std::wstring WindowsLocaleName(std::string_view name) {
  std::wstring wide;
  for (char c : name.substr(0, name.find_first_of(".@"))) wide.push_back(c == '_' ? L'-' : c);
  return wide;
}

UINT UsableCodePage(int code_page) {
  return code_page > 0 && IsValidCodePage(static_cast<UINT>(code_page)) ? code_page : 1252;
}

std::wstring Decode(UINT code_page, std::string_view text) {
  std::wstring out;
  if (text.empty()) return out;
  const int length = static_cast<int>(text.size());
  out.resize(text.size());
  int n = MultiByteToWideChar(code_page, 0, text.data(), length, out.data(), length);
  if (n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    n = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
    out.resize(static_cast<std::size_t>(n));
    n = MultiByteToWideChar(code_page, 0, text.data(), length, out.data(), n);
  }
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// Appends `text` in the code page to `out`; characters it cannot hold become '?' (no best fit:
// an 'A' for an 'Ā' would hide the loss). Returns whether one did.
bool Encode(UINT code_page, const wchar_t* text, std::size_t length, std::string& out) {
  if (length == 0) return false;
  const bool utf = code_page == CP_UTF8 || code_page == CP_UTF7;
  const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* lossy = utf ? nullptr : &used_default;
  const char* substitute = utf ? nullptr : "?";
  const int n = static_cast<int>(length);
  const std::size_t start = out.size();
  int room = WideCharToMultiByte(code_page, flags, text, n, nullptr, 0, substitute, lossy);
  out.resize(start + static_cast<std::size_t>(room));
  used_default = FALSE;
  room =
      WideCharToMultiByte(code_page, flags, text, n, out.data() + start, room, substitute, lossy);
  out.resize(start + static_cast<std::size_t>(room));
  return used_default != FALSE;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  Encode(CP_UTF8, text.data(), text.size(), out);
  return out;
}

std::wstring FromUtf16(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The bytes of a UTF-8 sequence that begins with `lead`, with the range its second byte must lie
// in (which rules out overlong forms, surrogates and values above U+10FFFF); 0 for a byte that
// cannot begin one.
int SequenceLength(unsigned char lead, unsigned char& low, unsigned char& high) {
  low = 0x80;
  high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    return 4;
  }
  return 0;
}

}  // namespace

struct TextLocale::Impl {
  std::wstring locale;
  UINT code_page = 1252;
  // A single-byte code page decodes byte by byte: the character of each byte, where it has
  // exactly one (`decodes`).
  std::array<wchar_t, 256> character{};
  std::array<bool, 256> decodes{};

  // The text as UTF-16, through the byte table when every byte has its character.
  const wchar_t* Decoded(std::string_view text, std::wstring& buffer) const {
    bool by_table = true;
    buffer.resize(text.size());
    for (std::size_t i = 0; by_table && i < text.size(); ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      by_table = decodes[b];
      buffer[i] = character[b];
    }
    if (!by_table) buffer = Decode(code_page, text);
    return buffer.data();
  }
};

TextLocale::TextLocale(std::string locale_name, int code_page)
    : name_(locale_name.empty() || locale_name == "C" || locale_name == "POSIX" ? "en_US"
                                                                                : locale_name),
      code_page_(code_page != 0 ? code_page : AnsiCodePageFor(name_)),
      impl_(std::make_unique<Impl>()) {
  impl_->locale = WindowsLocaleName(name_);
  if (!IsValidLocaleName(impl_->locale.c_str())) impl_->locale = L"en-US";
  impl_->code_page = UsableCodePage(code_page_);
  CPINFO info{};
  const bool single_byte = GetCPInfo(impl_->code_page, &info) && info.MaxCharSize == 1;

  // Byte-wise case tables: a byte maps to another byte only when both are letters of the code
  // page and the mapping round-trips, so the length of a text never changes.
  for (int b = 0; b < 256; ++b) {
    lower_[b] = upper_[b] = static_cast<unsigned char>(b);
    const char byte = static_cast<char>(b);
    wchar_t decoded = 0;
    if (MultiByteToWideChar(impl_->code_page, MB_ERR_INVALID_CHARS, &byte, 1, &decoded, 1) != 1)
      continue;
    if (single_byte) {
      impl_->character[b] = decoded;
      impl_->decodes[b] = true;
    }
    if (decoded >= 0xD800 && decoded <= 0xDFFF) continue;
    for (int pass = 0; pass < 2; ++pass) {
      wchar_t mapped = decoded;
      if (pass == 0)
        CharLowerBuffW(&mapped, 1);
      else
        CharUpperBuffW(&mapped, 1);
      if (mapped == decoded) continue;
      std::string encoded;
      if (Encode(impl_->code_page, &mapped, 1, encoded) || encoded.size() != 1) continue;
      (pass == 0 ? lower_ : upper_)[b] = static_cast<unsigned char>(encoded[0]);
    }
  }
  FinishCaseTables();
  InitDateFormat();
}

TextLocale::~TextLocale() = default;

void TextLocale::InitDateFormat() {
  wchar_t pattern[128] = {};
  const int n = GetLocaleInfoEx(impl_->locale.c_str(), LOCALE_SSHORTDATE, pattern, 128);
  if (n <= 1) return;  // keep the M/d/y default
  SetDateFormat(std::u16string(pattern, pattern + n - 1));
}

const TextLocale& TextLocale::User() {
  static const TextLocale user(LocaleNameFromEnvironment(), static_cast<int>(GetACP()));
  return user;
}

std::string TextLocale::LocaleNameFromEnvironment() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return "en_US";
  return WideToUtf8(name);
}

int TextLocale::CompareText(std::string_view a, std::string_view b) const {
  std::wstring wa, wb;
  const wchar_t* pa = impl_->Decoded(a, wa);
  const wchar_t* pb = impl_->Decoded(b, wb);
  const int r =
      CompareStringEx(impl_->locale.c_str(), NORM_IGNORECASE, pa, static_cast<int>(wa.size()), pb,
                      static_cast<int>(wb.size()), nullptr, nullptr, 0);
  return r == CSTR_LESS_THAN ? -1 : (r == CSTR_GREATER_THAN ? 1 : 0);
}

namespace {

// The sort key of `text` under `locale` appended to `out`, without its terminating zero, so that
// ordinal comparison of the strings is CompareStringEx's order. The empty text has the key of
// nothing at all: the four level separators, before every other key.
void AppendKey(const wchar_t* locale, const wchar_t* text, std::size_t length, std::string& out) {
  const std::size_t start = out.size();
  if (length == 0) {
    out.append(4, '\x01');
    return;
  }
  const int n = static_cast<int>(length);
  constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
  std::size_t room = 8 * length + 32;
  out.resize(start + room);
  int written = LCMapStringEx(locale, kFlags, text, n, reinterpret_cast<LPWSTR>(out.data() + start),
                              static_cast<int>(room), nullptr, nullptr, 0);
  if (written == 0) {
    room = static_cast<std::size_t>(
        LCMapStringEx(locale, kFlags, text, n, nullptr, 0, nullptr, nullptr, 0));
    out.resize(start + room);
    written = LCMapStringEx(locale, kFlags, text, n, reinterpret_cast<LPWSTR>(out.data() + start),
                            static_cast<int>(room), nullptr, nullptr, 0);
  }
  out.resize(start + (written > 0 ? static_cast<std::size_t>(written - 1) : 0));
}

}  // namespace

void TextLocale::AppendSortKey(std::string_view text, std::string& out) const {
  std::wstring buffer;
  const wchar_t* decoded = impl_->Decoded(text, buffer);
  AppendKey(impl_->locale.c_str(), decoded, buffer.size(), out);
}

// The national language functions may be called from any thread: the helper needs nothing of
// its own.
struct TextLocale::SortKeyMaker::Tools {};

TextLocale::SortKeyMaker::SortKeyMaker(const TextLocale& locale)
    : locale_(locale), tools_(std::make_unique<Tools>()) {}

TextLocale::SortKeyMaker::~SortKeyMaker() = default;

void TextLocale::SortKeyMaker::Append(std::string_view text, std::string& out) const {
  locale_.AppendSortKey(text, out);
}

std::string TextLocale::ToUtf8(std::string_view text) const {
  return WideToUtf8(Decode(impl_->code_page, text));
}

std::string CodePageToUtf8(int code_page, std::string_view text) {
  return WideToUtf8(Decode(UsableCodePage(code_page), text));
}

std::string Utf8ToCodePage(int code_page, std::string_view utf8, bool* lossy) {
  int substitutions = 0;
  const std::wstring wide = FromUtf16(Utf8ToUtf16(utf8, u'?', &substitutions));
  std::string out;
  const bool lost = Encode(UsableCodePage(code_page), wide.data(), wide.size(), out);
  if (lossy != nullptr) *lossy = lost || substitutions > 0;
  return out;
}

// The system's UTF-8 decoder replaces bad input differently from one version to the next; this
// one replaces each maximal part of a sequence that cannot be completed, as ICU does on Linux,
// so that a source gives the same text on both systems.
std::u16string Utf8ToUtf16(std::string_view utf8, char16_t substitute, int* substitutions) {
  std::u16string out;
  out.reserve(utf8.size());
  int substituted = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    unsigned char low = 0;
    unsigned char high = 0;
    const int length = SequenceLength(lead, low, high);
    if (length == 1) {
      out.push_back(lead);
      ++i;
      continue;
    }
    std::uint32_t value = length == 2 ? lead & 0x1F : (length == 3 ? lead & 0x0F : lead & 0x07);
    int taken = 1;
    bool complete = length > 0;
    while (complete && taken < length) {
      if (i + static_cast<std::size_t>(taken) >= utf8.size()) {
        complete = false;
        break;
      }
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(taken)]);
      if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF)) {
        complete = false;
        break;
      }
      value = (value << 6) | (next & 0x3F);
      ++taken;
    }
    i += static_cast<std::size_t>(taken);
    if (!complete) {
      out.push_back(substitute);
      ++substituted;
    } else if (value >= 0x10000) {
      value -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(value));
    }
  }
  if (substitutions != nullptr) *substitutions = substituted;
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) { return WideToUtf8(FromUtf16(utf16)); }

struct CodePageEncoder::Impl {
  UINT code_page = 1252;
  std::wstring wide;
};

CodePageEncoder::CodePageEncoder(int code_page) : impl_(std::make_unique<Impl>()) {
  impl_->code_page = UsableCodePage(code_page);
}

CodePageEncoder::~CodePageEncoder() = default;

bool CodePageEncoder::Append(std::u16string_view text, std::string& out) {
  impl_->wide.assign(text.begin(), text.end());
  return Encode(impl_->code_page, impl_->wide.data(), impl_->wide.size(), out);
}

}  // namespace tavrin
