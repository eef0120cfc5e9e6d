#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/exceptions.h"
#include "platform/text_locale.h"

namespace tavrin {
namespace {

constexpr double kSecond = 1.0 / 86400.0;

int ThisYear() {
  using namespace std::chrono;
  return static_cast<int>(year_month_day{floor<days>(system_clock::now())}.year());
}

// Days since 1899-12-30, computed independently of the parser.
double Serial(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return (sys_days{year{y} / month{m} / day{d}} - sys_days{year{1899} / December / 30}).count();
}

void ExpectInvalid(const TextLocale& locale, const std::string& text) {
  try {
    locale.ParseDateTime(text);
    ADD_FAILURE() << "accepted '" << text << "'";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid date and time");
  }
}

TEST(DateTimeTest, FormatFromShortDatePattern) {
  EXPECT_EQ(TextLocale("en_US").DateOrder(), "MDY");
  EXPECT_EQ(TextLocale("en_US").DateSeparator(), '/');
  EXPECT_EQ(TextLocale("de_DE").DateOrder(), "DMY");
  EXPECT_EQ(TextLocale("de_DE").DateSeparator(), '.');
  EXPECT_EQ(TextLocale("en_GB").DateOrder(), "DMY");
  EXPECT_EQ(TextLocale("en_GB").DateSeparator(), '/');
  EXPECT_EQ(TextLocale("sv_SE").DateOrder(), "YMD");
  EXPECT_EQ(TextLocale("sv_SE").DateSeparator(), '-');
}

TEST(DateTimeTest, UsDatesAndTimes) {
  TextLocale us("en_US");
  EXPECT_EQ(us.ParseDateTime("12/30/1899"), 0);
  EXPECT_EQ(us.ParseDateTime("1/1/1900"), 2);
  EXPECT_EQ(us.ParseDateTime("2/29/2000"), Serial(2000, 2, 29));
  const double day = 45284;  // 2023-12-24
  EXPECT_EQ(us.ParseDateTime("  12/24/2023  "), day);
  EXPECT_DOUBLE_EQ(us.ParseDateTime("12/24/2023 18:30"), day + 0.75 + 30 * 60 * kSecond);
  EXPECT_DOUBLE_EQ(us.ParseDateTime("12/24/2023 6:30:15 pm"),
                   day + 0.75 + (30 * 60 + 15) * kSecond);
  EXPECT_DOUBLE_EQ(us.ParseDateTime("12/24/2023 12:00 AM"), day);
  EXPECT_DOUBLE_EQ(us.ParseDateTime("12/24/2023 12:00PM"), day + 0.5);
  // A time alone has date 0.
  EXPECT_DOUBLE_EQ(us.ParseDateTime("06:00"), 0.25);
  EXPECT_DOUBLE_EQ(us.ParseDateTime(" 23:59:59 "), 1 - kSecond);
  // Before the epoch the time still counts forward.
  EXPECT_DOUBLE_EQ(us.ParseDateTime("12/29/1899 12:00"), -0.5);
  // Without a year: the current one.
  EXPECT_EQ(us.ParseDateTime("3/1"), Serial(ThisYear(), 3, 1));
}

TEST(DateTimeTest, GermanAndBritishOrder) {
  TextLocale de("de_DE");
  EXPECT_EQ(de.ParseDateTime("24.12.2023"), Serial(2023, 12, 24));
  EXPECT_DOUBLE_EQ(de.ParseDateTime("01.02.2023 08:00"), Serial(2023, 2, 1) + 8 / 24.0);
  TextLocale gb("en_GB");
  EXPECT_EQ(gb.ParseDateTime("24/12/2023"), Serial(2023, 12, 24));
  EXPECT_EQ(gb.ParseDateTime("1/2/2023"), Serial(2023, 2, 1));
  ExpectInvalid(gb, "12/24/2023");
  ExpectInvalid(de, "12/24/2023");
  TextLocale sv("sv_SE");
  EXPECT_EQ(sv.ParseDateTime("2023-12-24"), Serial(2023, 12, 24));
}

TEST(DateTimeTest, TwoDigitYearsUseSlidingCentury) {
  TextLocale us("en_US");
  const int now = ThisYear();
  const int start = now - 80;  // the window is [now - 80, now + 19]
  for (int yy : {0, 45, 99, start % 100, (start + 99) % 100}) {
    int expected = start - start % 100 + yy;
    if (expected < start) expected += 100;
    EXPECT_EQ(us.ParseDateTime("1/1/" + std::to_string(yy)), Serial(expected, 1, 1)) << yy;
  }
  // Three or four digits are taken as written.
  EXPECT_EQ(us.ParseDateTime("1/1/0099"), Serial(99, 1, 1));
  EXPECT_EQ(TextLocale("de_DE").ParseDateTime("24.12.23"), Serial(2023, 12, 24));
}

TEST(DateTimeTest, InvalidTextsRaise) {
  TextLocale us("en_US");
  for (const char* bad : {"",
                          "   ",
                          "2/30/2023",
                          "2/29/2023",
                          "13/1/2023",
                          "0/1/2023",
                          "1/0/2023",
                          "25:00",
                          "12:60",
                          "10:00:60",
                          "13:00 PM",
                          "12/24/2023 x",
                          "12/24/2023x",
                          "12/24/2023 10",
                          "12/24/2023 10:",
                          "12",
                          "12/24/2023/1",
                          "abc",
                          "12.24.2023",
                          "1/1/10000",
                          "1/1/0000",
                          "12/24/202310:00",
                          "10:00 AMX",
                          "-1/2/2023"}) {
    SCOPED_TRACE(bad);
    ExpectInvalid(us, bad);
  }
  ExpectInvalid(TextLocale("de_DE"), "31.04.2023");
}

}  // namespace
}  // namespace tavrin
