#include "platform/text_locale.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace tavrin {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenCodePage(int code_page) {
  UErrorCode status = U_ZERO_ERROR;
  std::string name = "windows-" + std::to_string(code_page);
  UConverter* cnv = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || cnv == nullptr) {
    status = U_ZERO_ERROR;
    cnv = ucnv_open("windows-1252", &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU has no converter for windows-1252");
  }
  return ConverterPtr(cnv);
}

icu::UnicodeString Decode(UConverter* cnv, std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(cnv);
  icu::UnicodeString result(text.data(), static_cast<int32_t>(text.size()), cnv, status);
  if (U_FAILURE(status)) result.remove();
  return result;
}

struct LossContext {
  bool lossy = false;
};

void CountingSubstitute(const void* context, UConverterFromUnicodeArgs* args,
                        const UChar* code_units, int32_t length, UChar32 code_point,
                        UConverterCallbackReason reason, UErrorCode* err) {
  if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR) {
    static_cast<LossContext*>(const_cast<void*>(context))->lossy = true;
    *err = U_ZERO_ERROR;
    ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
  }
}

std::string Encode(UConverter* cnv, const icu::UnicodeString& text, bool* lossy) {
  LossContext context;
  UConverterFromUCallback old_action;
  const void* old_context;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetFromUnicode(cnv);
  ucnv_setFromUCallBack(cnv, CountingSubstitute, &context, &old_action, &old_context, &status);
  std::string out;
  out.resize(static_cast<std::size_t>(text.length()) * 4 + 4);
  status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), text.getBuffer(),
                              text.length(), &status);
  UErrorCode restore = U_ZERO_ERROR;
  ucnv_setFromUCallBack(cnv, old_action, old_context, nullptr, nullptr, &restore);
  if (U_FAILURE(status)) n = 0;
  out.resize(static_cast<std::size_t>(n));
  if (lossy != nullptr) *lossy = context.lossy;
  return out;
}

std::string NormaliseLocaleName(std::string name) {
  // "ru_RU.UTF-8@euro" -> "ru_RU"
  auto cut = name.find_first_of(".@");
  if (cut != std::string::npos) name.resize(cut);
  if (name.empty() || name == "C" || name == "POSIX") return "en_US";
  return name;
}

}  // namespace

struct TextLocale::Impl {
  ConverterPtr converter;
  std::unique_ptr<icu::Collator> collator;
  // A single-byte code page decodes byte by byte: the character of each byte, where it has
  // exactly one (`decodes`).
  std::array<UChar, 256> character{};
  std::array<bool, 256> decodes{};
};

TextLocale::TextLocale(std::string locale_name, int code_page)
    : name_(NormaliseLocaleName(std::move(locale_name))),
      code_page_(code_page != 0 ? code_page : AnsiCodePageFor(name_)),
      impl_(std::make_unique<Impl>()) {
  impl_->converter = OpenCodePage(code_page_);
  UErrorCode status = U_ZERO_ERROR;
  impl_->collator.reset(icu::Collator::createInstance(icu::Locale(name_.c_str()), status));
  if (U_FAILURE(status) || !impl_->collator) {
    status = U_ZERO_ERROR;
    impl_->collator.reset(icu::Collator::createInstance(icu::Locale::getUS(), status));
  }
  impl_->collator->setStrength(icu::Collator::SECONDARY);

  // Byte-wise case tables: a byte maps to another byte only when both are letters of the code
  // page and the mapping round-trips, so the length of a text never changes.
  UConverter* cnv = impl_->converter.get();
  for (int b = 0; b < 256; ++b) {
    lower_[b] = upper_[b] = static_cast<unsigned char>(b);
    char byte = static_cast<char>(b);
    icu::UnicodeString decoded = Decode(cnv, std::string_view(&byte, 1));
    if (decoded.length() != 1) continue;
    if (ucnv_getMaxCharSize(cnv) == 1) {
      impl_->character[b] = decoded[0];
      impl_->decodes[b] = true;
    }
    UChar32 cp = decoded.char32At(0);
    for (int pass = 0; pass < 2; ++pass) {
      UChar32 mapped = pass == 0 ? u_tolower(cp) : u_toupper(cp);
      if (mapped == cp) continue;
      bool lossy = false;
      std::string encoded = Encode(cnv, icu::UnicodeString(mapped), &lossy);
      if (lossy || encoded.size() != 1) continue;
      (pass == 0 ? lower_ : upper_)[b] = static_cast<unsigned char>(encoded[0]);
    }
  }
  FinishCaseTables();
  InitDateFormat();
}

TextLocale::~TextLocale() = default;

const TextLocale& TextLocale::User() {
  static const TextLocale user(LocaleNameFromEnvironment());
  return user;
}

std::string TextLocale::LocaleNameFromEnvironment() {
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return NormaliseLocaleName(value);
  }
  return "en_US";
}

int TextLocale::CompareText(std::string_view a, std::string_view b) const {
  icu::UnicodeString ua = Decode(impl_->converter.get(), a);
  icu::UnicodeString ub = Decode(impl_->converter.get(), b);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = impl_->collator->compare(ua, ub, status);
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

namespace {

// A sort key through `collator` appended to `out`. Names are short: decoded through the byte
// table (`character`, where `decodes`) into a buffer on the stack when every byte has its one
// character, else by `converter`.
void AppendKey(std::string_view text, const icu::Collator& collator, UConverter* converter,
               const std::array<UChar, 256>& character, const std::array<bool, 256>& decodes,
               std::string& out) {
  constexpr std::size_t kShort = 256;
  UChar local[kShort];
  icu::UnicodeString decoded;
  const UChar* chars = local;
  auto length = static_cast<int32_t>(text.size());
  bool by_table = text.size() <= kShort;
  for (std::size_t i = 0; by_table && i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    by_table = decodes[b];
    local[i] = character[b];
  }
  if (!by_table) {
    decoded = Decode(converter, text);
    chars = decoded.getBuffer();
    length = decoded.length();
  }
  const std::size_t start = out.size();
  std::size_t room = 2 * static_cast<std::size_t>(length) + 16;
  out.resize(start + room);
  int32_t n = collator.getSortKey(chars, length, reinterpret_cast<uint8_t*>(out.data() + start),
                                  static_cast<int32_t>(room));
  if (n > static_cast<int32_t>(room)) {
    room = static_cast<std::size_t>(n);
    out.resize(start + room);
    n = collator.getSortKey(chars, length, reinterpret_cast<uint8_t*>(out.data() + start),
                            static_cast<int32_t>(room));
  }
  // Drop the terminating zero so that ordinal comparison of the strings is the collation order.
  out.resize(start + (n > 0 ? static_cast<std::size_t>(n - 1) : 0));
}

}  // namespace

void TextLocale::AppendSortKey(std::string_view text, std::string& out) const {
  AppendKey(text, *impl_->collator, impl_->converter.get(), impl_->character, impl_->decodes, out);
}

struct TextLocale::SortKeyMaker::Tools {
  ConverterPtr converter;
  std::unique_ptr<icu::Collator> collator;
};

TextLocale::SortKeyMaker::SortKeyMaker(const TextLocale& locale)
    : locale_(locale), tools_(std::make_unique<Tools>()) {
  tools_->converter = OpenCodePage(locale.code_page_);
  tools_->collator.reset(locale.impl_->collator->clone());
  if (!tools_->collator) throw std::bad_alloc();
}

TextLocale::SortKeyMaker::~SortKeyMaker() = default;

void TextLocale::SortKeyMaker::Append(std::string_view text, std::string& out) const {
  AppendKey(text, *tools_->collator, tools_->converter.get(), locale_.impl_->character,
            locale_.impl_->decodes, out);
}

std::string TextLocale::ToUtf8(std::string_view text) const {
  std::string out;
  Decode(impl_->converter.get(), text).toUTF8String(out);
  return out;
}

std::string CodePageToUtf8(int code_page, std::string_view text) {
  ConverterPtr cnv = OpenCodePage(code_page);
  std::string out;
  Decode(cnv.get(), text).toUTF8String(out);
  return out;
}

std::string Utf8ToCodePage(int code_page, std::string_view utf8, bool* lossy) {
  ConverterPtr cnv = OpenCodePage(code_page);
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  bool bad_input = u.indexOf(static_cast<UChar>(0xFFFD)) >= 0;
  std::string out = Encode(cnv.get(), u, lossy);
  if (lossy != nullptr && bad_input) *lossy = true;
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8, char16_t substitute, int* substitutions) {
  std::u16string out(utf8.size() + 1, u'\0');
  int32_t length = 0;
  int32_t substituted = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, utf8.data(), static_cast<int32_t>(utf8.size()), substitute,
                       &substituted, &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
  if (substitutions != nullptr) *substitutions = U_SUCCESS(status) ? substituted : 0;
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out(utf16.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(utf16.data()),
                     static_cast<int32_t>(utf16.size()), 0xFFFD, nullptr, &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
  return out;
}

struct CodePageEncoder::Impl {
  ConverterPtr converter;
  bool lossy = false;

  static void Substitute(const void* context, UConverterFromUnicodeArgs* args, const UChar*,
                         int32_t, UChar32, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
    *static_cast<bool*>(const_cast<void*>(context)) = true;
    *err = U_ZERO_ERROR;
    ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
  }
};

CodePageEncoder::CodePageEncoder(int code_page) : impl_(std::make_unique<Impl>()) {
  impl_->converter = OpenCodePage(code_page);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(impl_->converter.get(), &Impl::Substitute, &impl_->lossy, nullptr, nullptr,
                        &status);
}

CodePageEncoder::~CodePageEncoder() = default;

bool CodePageEncoder::Append(std::u16string_view text, std::string& out) {
  UConverter* cnv = impl_->converter.get();
  impl_->lossy = false;
  ucnv_resetFromUnicode(cnv);
  const std::size_t start = out.size();
  out.resize(start + text.size() * 2 + 8);
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(cnv, out.data() + start, static_cast<int32_t>(out.size() - start),
                              reinterpret_cast<const UChar*>(text.data()),
                              static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) n = 0;
  out.resize(start + static_cast<std::size_t>(n));
  return impl_->lossy;
}

}  // namespace tavrin
