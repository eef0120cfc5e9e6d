#include "platform/text_locale.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <utility>
#include <vector>

namespace tavrin {
namespace {

// Every language of the table, and a letter that only its code page has where it is read.
TEST(TextLocaleTest, CodePageFromLanguage) {
  const struct {
    int code_page;
    std::vector<const char*> locales;
    std::string byte, utf8;  // a letter of the code page
  } table[] = {
      {1250,
       {"cs_CZ", "sk_SK", "pl_PL", "hu_HU", "sl_SI", "hr_HR", "ro_RO", "sq_AL"},
       "\xA3",
       "\xC5\x81"},                                                                        // Ł
      {1251, {"ru_RU", "uk_UA", "bg_BG", "be_BY", "sr_RS", "mk_MK"}, "\xC6", "\xD0\x96"},  // Ж
      {1252, {"en_US", "de", "fr_FR.UTF-8", "C", ""}, "\xC9", "\xC3\x89"},                 // É
      {1253, {"el_GR"}, "\xC1", "\xCE\x91"},                                               // Α
      {1254, {"tr_TR"}, "\xF0", "\xC4\x9F"},                                               // ğ
      {1255, {"he_IL"}, "\xE0", "\xD7\x90"},                                               // א
      {1256, {"ar_EG"}, "\xC7", "\xD8\xA7"},                                               // ا
      {1257, {"lt_LT.UTF-8", "lv_LV", "et_EE"}, "\xD9", "\xC5\x81"},                       // Ł
      {1258, {"vi_VN"}, "\xD2", "\xCC\x89"},  // the combining hook above
  };
  for (const auto& row : table) {
    for (const char* name : row.locales) {
      EXPECT_EQ(TextLocale::AnsiCodePageFor(name), row.code_page) << name;
      const TextLocale locale(name);
      EXPECT_EQ(locale.CodePage(), row.code_page) << name;
      EXPECT_EQ(locale.ToUtf8(row.byte), row.utf8) << name;
    }
  }
}

TEST(TextLocaleTest, CaseMappingKeepsLengthAndCodePage) {
  TextLocale western("en_US", 1252);
  EXPECT_EQ(western.Lower("ABC\xC9\x8A"), "abc\xE9\x9A");  // É -> é, Š -> š
  EXPECT_EQ(western.Upper("abc\xE9\xFF"), "ABC\xC9\x9F");  // ÿ -> Ÿ
  TextLocale cyrillic("ru_RU", 1251);
  EXPECT_EQ(cyrillic.Lower("\xC0\xC1"), "\xE0\xE1");  // А Б -> а б
  EXPECT_EQ(cyrillic.Lower("\xA4\x8B\x9B"), "\xA4\x8B\x9B");
}

TEST(TextLocaleTest, CaseMappingShape) {
  for (int code_page : {1250, 1251, 1252}) {
    TextLocale locale("en_US", code_page);
    EXPECT_TRUE(locale.LowerIsAscii()) << code_page;
    EXPECT_TRUE(locale.LowerOnlyFrom('<')) << code_page;
    EXPECT_TRUE(locale.LowerOnlyFrom('\xA4')) << code_page;
    // 'a' is also the lower case of 'A'; 'A' is nobody's lower case.
    EXPECT_FALSE(locale.LowerOnlyFrom('a')) << code_page;
    EXPECT_FALSE(locale.LowerOnlyFrom('A')) << code_page;
  }
  // Cyrillic capitals lower-case to the small letters of code page 1251.
  EXPECT_FALSE(TextLocale("ru_RU", 1251).LowerOnlyFrom('\xE0'));
}

TEST(TextLocaleTest, CompareIgnoresCaseKeepsAccents) {
  TextLocale western("en_US", 1252);
  EXPECT_EQ(western.CompareText("genesis", "Genesis"), 0);
  EXPECT_LT(western.CompareText("Alpha", "beta"), 0);
  EXPECT_NE(western.CompareText("e", "\xE9"), 0);
  EXPECT_LT(western.SortKey("Alpha"), western.SortKey("beta"));
  EXPECT_EQ(western.SortKey("ABC"), western.SortKey("abc"));
}

// Keys agree with the collator on every byte of the code page, on names long enough to be
// decoded by the converter, and when appended one behind the other.
TEST(TextLocaleTest, SortKeysOrderAsTheCollatorCompares) {
  for (const auto& [name, code_page] :
       {std::pair<const char*, int>{"en_US", 1252}, {"ru_RU", 1251}, {"cs_CZ", 1250}}) {
    TextLocale locale(name, code_page);
    std::vector<std::string> texts = {"", "a", "A", std::string(300, 'b') + "a",
                                      std::string(300, 'b') + "A"};
    for (int b = 1; b < 256; ++b) {
      texts.push_back(std::string(1, static_cast<char>(b)));
      texts.push_back("x" + std::string(1, static_cast<char>(b)) + "y");
    }
    std::string shared = "prefix";
    for (const std::string& text : texts) {
      const std::size_t start = shared.size();
      locale.AppendSortKey(text, shared);
      ASSERT_EQ(shared.substr(start), locale.SortKey(text)) << name;
    }
    for (std::size_t i = 0; i < texts.size(); i += 3) {
      for (std::size_t j = 0; j < texts.size(); j += 5) {
        const int by_keys = locale.SortKey(texts[i]).compare(locale.SortKey(texts[j]));
        const int compared = locale.CompareText(texts[i], texts[j]);
        ASSERT_EQ(by_keys < 0 ? -1 : (by_keys > 0 ? 1 : 0), compared)
            << name << " " << i << " " << j;
      }
    }
  }
}

TEST(TextLocaleTest, Utf8Conversion) {
  TextLocale cyrillic("ru_RU", 1251);
  EXPECT_EQ(cyrillic.ToUtf8("\xC0"), "\xD0\x90");
  bool lossy = false;
  EXPECT_EQ(cyrillic.FromUtf8("\xD0\x90x", &lossy), "\xC0x");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(Utf8ToCodePage(1252, "\xD0\x90", &lossy), "?");
  EXPECT_TRUE(lossy);
}

// Each maximal piece of a sequence that cannot be completed is one substitute, as ICU has it on
// Linux and the decoder of the Windows build does likewise: a source reads the same on both.
TEST(TextLocaleTest, IllFormedUtf8IsReplacedPieceByPiece) {
  const struct {
    std::string utf8;
    std::u16string utf16;
    int substitutions;
  } cases[] = {
      {"a\xC3\xA9", u"a\u00E9", 0},
      {"\xF0\x9F\x98\x80", u"\U0001F600", 0},
      {"\x80", u"?", 1},
      {"\xC0\x80", u"??", 2},                // overlong
      {"\xE0\x80\x80", u"???", 3},           // overlong
      {"\xED\xA0\x80", u"???", 3},           // a surrogate
      {"\xF4\x90\x80\x80", u"????", 4},      // above U+10FFFF
      {"\xE2\x82", u"?", 1},                 // cut short at the end
      {"\xE2\x82x\xF0\x9F\x98", u"?x?", 2},  // cut short twice
      {"\xF5\xFF\xFE", u"???", 3},
  };
  for (const auto& c : cases) {
    int substitutions = -1;
    EXPECT_EQ(Utf8ToUtf16(c.utf8, u'?', &substitutions), c.utf16) << c.utf8;
    EXPECT_EQ(substitutions, c.substitutions) << c.utf8;
  }
}

// The two systems' comparisons differ by design: Windows' word sort passes over hyphens and
// apostrophes (co-op stays beside coop), ICU orders them as punctuation before the letters.
TEST(TextLocaleTest, HyphensInTheSystemsComparison) {
  TextLocale western("en_US", 1252);
#ifdef _WIN32
  EXPECT_GT(western.CompareText("co-op", "coop"), 0);
  EXPECT_GT(western.CompareText("co-op", "coat"), 0);
  EXPECT_LT(western.CompareText("co-op", "cooper"), 0);
#else
  EXPECT_LT(western.CompareText("co-op", "coop"), 0);
  EXPECT_LT(western.CompareText("co-op", "coat"), 0);
#endif
}

#ifdef _WIN32
TEST(TextLocaleTest, UserLocaleIsTheSystemsOwn) {
  EXPECT_EQ(TextLocale::User().CodePage(), static_cast<int>(GetACP()));
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  EXPECT_EQ(TextLocale::User().Name(), std::string(name, name + wcslen(name)));
}
#endif

}  // namespace
}  // namespace tavrin
