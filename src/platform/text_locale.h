#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace tavrin {

// The user's locale as the core sees it: its ANSI code page (all text inside the core is 8-bit in
// that code page), byte-wise case mapping, locale-aware comparison and date parsing. On Linux
// these come from ICU, on Windows from the system's own national language functions.
//
// A TextLocale is immutable after construction. `User()` is built once: on Linux from the
// environment (LC_ALL, LC_COLLATE, LANG), on Windows from the user's default locale and ANSI code
// page; tests build their own with an explicit locale name and code page.
class TextLocale {
 public:
  // `locale_name` like "en_US" or "ru_RU" (an encoding or modifier suffix is ignored); empty, "C"
  // or "POSIX" mean en_US. `code_page` 0 derives the ANSI code page from the language.
  explicit TextLocale(std::string locale_name, int code_page = 0);
  ~TextLocale();
  TextLocale(const TextLocale&) = delete;
  TextLocale& operator=(const TextLocale&) = delete;

  // The locale of the user running the program, read once.
  static const TextLocale& User();
  // The user's locale name: on Linux the one the environment asks for ("en_US" when unset, C or
  // POSIX), on Windows the user's default locale ("en-US").
  static std::string LocaleNameFromEnvironment();
  // The ANSI code page of a language: 1251 for ru, uk, ...; 1252 when nothing else matches.
  static int AnsiCodePageFor(std::string_view locale_name);

  const std::string& Name() const { return name_; }
  int CodePage() const { return code_page_; }

  // Byte-wise case mapping in the code page: the result has the same length.
  std::string Lower(std::string_view text) const;
  std::string Upper(std::string_view text) const;
  char LowerByte(char c) const { return static_cast<char>(lower_[static_cast<unsigned char>(c)]); }
  char UpperByte(char c) const { return static_cast<char>(upper_[static_cast<unsigned char>(c)]); }
  // Whether lower-casing maps the ASCII letters as ASCII does and leaves every other byte below
  // 0x80 alone, so that ASCII text can be lower-cased many bytes at a time.
  bool LowerIsAscii() const { return lower_is_ascii_; }
  // Whether `c` is the one byte whose lower-case form is `c`, so that a search for `c` in a
  // lower-cased text finds the same places as in the text itself.
  bool LowerOnlyFrom(char c) const { return sole_lower_[static_cast<unsigned char>(c)]; }

  // Locale-aware comparison ignoring case (accents count): <0, 0 or >0. On Windows the word sort
  // of CompareStringEx, which passes over hyphens and apostrophes where ICU gives them a weight.
  int CompareText(std::string_view a, std::string_view b) const;
  // A byte string whose ordinal order equals CompareText's order; for sorting many keys.
  std::string SortKey(std::string_view text) const;
  // The same key appended to `out`, so that many keys can share one buffer.
  void AppendSortKey(std::string_view text, std::string& out) const;

  // Makes the same keys as AppendSortKey with a collator and code page converter of its own
  // (those of a locale serve one thread at a time), so that another thread can make keys while
  // the locale is in use. The locale must outlive it.
  class SortKeyMaker {
   public:
    explicit SortKeyMaker(const TextLocale& locale);
    ~SortKeyMaker();
    SortKeyMaker(const SortKeyMaker&) = delete;
    SortKeyMaker& operator=(const SortKeyMaker&) = delete;
    void Append(std::string_view text, std::string& out) const;

   private:
    struct Tools;
    const TextLocale& locale_;
    std::unique_ptr<Tools> tools_;
  };

  // A date and time of the locale's short date format with an optional time, as days since
  // 1899-12-30 (fraction = time of day). Raises EConvertError "'%s' is not a valid date and time".
  double ParseDateTime(std::string_view text) const;
  // The short date pattern's field order ("DMY", "MDY" or "YMD") and separator.
  const std::string& DateOrder() const { return date_order_; }
  char DateSeparator() const { return date_separator_; }

  // Code page <-> UTF-8. Bytes or characters that do not map become '?' (and set *lossy).
  std::string ToUtf8(std::string_view text) const;
  std::string FromUtf8(std::string_view utf8, bool* lossy = nullptr) const;

 private:
  void FinishCaseTables();  // what follows from the case tables the system filled
  void InitDateFormat();    // date order and separator from the locale's short date pattern
  void SetDateFormat(std::u16string_view pattern);
  struct Impl;
  std::string name_;
  int code_page_;
  std::array<unsigned char, 256> lower_{};
  std::array<unsigned char, 256> upper_{};
  bool lower_is_ascii_ = false;
  std::array<bool, 256> sole_lower_{};
  std::string date_order_ = "MDY";
  char date_separator_ = '/';
  std::unique_ptr<Impl> impl_;
};

// ASCII-only case mapping (a-z / A-Z), for the places that touch only ASCII letters.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// Conversions between a Windows code page (1250..1258, 874, ...) and UTF-8.
std::string CodePageToUtf8(int code_page, std::string_view text);
std::string Utf8ToCodePage(int code_page, std::string_view utf8, bool* lossy = nullptr);

// UTF-8 as UTF-16; each ill-formed piece (a maximal part of a sequence that cannot be completed)
// becomes one `substitute`, counted in `*substitutions`.
std::u16string Utf8ToUtf16(std::string_view utf8, char16_t substitute,
                           int* substitutions = nullptr);
// UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Encodes UTF-16 into one code page, many texts one after another (the converter is made once).
class CodePageEncoder {
 public:
  explicit CodePageEncoder(int code_page);
  ~CodePageEncoder();
  CodePageEncoder(const CodePageEncoder&) = delete;
  CodePageEncoder& operator=(const CodePageEncoder&) = delete;
  // Appends the encoded text to `out`; characters the code page cannot hold become '?'. Returns
  // whether one did.
  bool Append(std::u16string_view text, std::string& out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrin
