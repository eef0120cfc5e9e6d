#include <chrono>

#include "platform/exceptions.h"
#include "platform/text_locale.h"

namespace tavrin {
namespace {

// Two-digit years land in the 100-year window that starts 80 years before the current year
// (in 2025: 00..44 -> 2000..2044, 45..99 -> 1945..1999), so recent past dates and the near
// future both read naturally.
constexpr int kTwoDigitYearPast = 80;

int CurrentYear() {
  using namespace std::chrono;
  const year_month_day today{floor<days>(system_clock::now())};
  return static_cast<int>(today.year());
}

int ExpandTwoDigitYear(int two_digits, int current_year) {
  const int window_start = current_year - kTwoDigitYearPast;
  int year = window_start - window_start % 100 + two_digits;
  if (year < window_start) year += 100;
  return year;
}

[[noreturn]] void Invalid(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over the text being parsed.
struct Scanner {
  std::string_view text;
  std::size_t pos = 0;

  bool AtEnd() const { return pos >= text.size(); }
  char Peek() const { return AtEnd() ? '\0' : text[pos]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text[pos])) ++pos;
  }
  // Up to 4 digits (more can never be a valid field and would only risk overflow); returns the
  // number of digits read, 0 when none.
  int Number(int& value) {
    int digits = 0;
    value = 0;
    while (!AtEnd() && IsDigit(text[pos])) {
      if (++digits > 4) return -1;
      value = value * 10 + (text[pos] - '0');
      ++pos;
    }
    return digits;
  }
  bool Accept(char c) {
    if (Peek() != c) return false;
    ++pos;
    return true;
  }
  bool AcceptWordIgnoreCase(std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      char c = text[pos + i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != word[i]) return false;
    }
    pos += word.size();
    return true;
  }
};

// Days since 1899-12-30 of a valid Gregorian date, or false.
bool DateSerial(int year, int month, int day, double& result) {
  using namespace std::chrono;
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  const year_month_day ymd{std::chrono::year(year),
                           std::chrono::month(static_cast<unsigned>(month)),
                           std::chrono::day(static_cast<unsigned>(day))};
  if (!ymd.ok()) return false;
  constexpr sys_days kEpoch = sys_days{std::chrono::year(1899) / December / 30};
  result = static_cast<double>((sys_days{ymd} - kEpoch).count());
  return true;
}

}  // namespace

void TextLocale::SetDateFormat(std::u16string_view pattern) {
  std::string order;
  char separator = '\0';
  bool quoted = false;
  for (const char16_t c : pattern) {
    if (c == u'\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    char field = '\0';
    if (c == u'd') field = 'D';
    if (c == u'M' || c == u'L') field = 'M';
    if (c == u'y' || c == u'Y' || c == u'u') field = 'Y';
    if (field != '\0') {
      if (order.find(field) == std::string::npos) order += field;
      continue;
    }
    // The first ASCII punctuation after a field separates the fields; blanks and marks such as
    // right-to-left controls around it are decoration.
    const bool punctuation =
        c < 0x80 && c > u' ' &&
        !((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'));
    if (punctuation && separator == '\0' && !order.empty() && order.size() < 3)
      separator = static_cast<char>(c);
  }
  if (order == "DMY" || order == "MDY" || order == "YMD") date_order_ = order;
  if (separator != '\0') date_separator_ = separator;
}

double TextLocale::ParseDateTime(std::string_view text) const {
  Scanner in{text};
  in.SkipBlanks();
  if (in.AtEnd()) Invalid(text);

  double date = 0;
  int first = 0;
  const std::size_t start = in.pos;
  const int first_digits = in.Number(first);
  if (first_digits <= 0) Invalid(text);
  in.SkipBlanks();
  const bool time_only = in.Peek() == ':' && date_separator_ != ':';
  if (!time_only) {
    // Date: two or three numbers in the locale's order; a missing year is the current one.
    int parts[3] = {first, 0, 0};
    int digits[3] = {first_digits, 0, 0};
    int count = 1;
    while (count < 3 && in.Accept(date_separator_)) {
      in.SkipBlanks();
      digits[count] = in.Number(parts[count]);
      if (digits[count] <= 0) Invalid(text);
      ++count;
      in.SkipBlanks();
    }
    if (count < 2) Invalid(text);
    // Patterns such as "y. MM. dd." end with the separator.
    if (count == 3 && date_separator_ == '.' && in.Accept('.')) in.SkipBlanks();

    int year = 0, month = 0, day = 0, year_digits = 0;
    if (count == 3) {
      const int y = date_order_ == "YMD" ? 0 : 2;
      const int m = date_order_ == "MDY" ? 0 : 1;
      const int d = date_order_ == "DMY" ? 0 : (date_order_ == "MDY" ? 1 : 2);
      year = parts[y];
      year_digits = digits[y];
      month = parts[m];
      day = parts[d];
    } else {
      year = CurrentYear();
      year_digits = 4;
      month = date_order_ == "DMY" ? parts[1] : parts[0];
      day = date_order_ == "DMY" ? parts[0] : parts[1];
    }
    if (year_digits <= 2) year = ExpandTwoDigitYear(year, CurrentYear());
    if (!DateSerial(year, month, day, date)) Invalid(text);
    if (in.AtEnd()) return date;
    // A time must be set off from the date by a blank.
    if (!IsBlank(text[in.pos - 1])) Invalid(text);
    if (in.Number(first) <= 0) Invalid(text);
    in.SkipBlanks();
  } else {
    in.pos = start;
    in.Number(first);
    in.SkipBlanks();
  }

  // Time: hh:mm or hh:mm:ss, optionally followed by AM or PM.
  int hour = first, minute = 0, second = 0;
  if (!in.Accept(':')) Invalid(text);
  in.SkipBlanks();
  if (in.Number(minute) <= 0) Invalid(text);
  in.SkipBlanks();
  if (in.Accept(':')) {
    in.SkipBlanks();
    if (in.Number(second) <= 0) Invalid(text);
    in.SkipBlanks();
  }
  if (in.AcceptWordIgnoreCase("AM")) {
    if (hour > 12) Invalid(text);
    if (hour == 12) hour = 0;
  } else if (in.AcceptWordIgnoreCase("PM")) {
    if (hour > 12) Invalid(text);
    if (hour < 12) hour += 12;
  }
  in.SkipBlanks();
  if (!in.AtEnd() || hour > 23 || minute > 59 || second > 59) Invalid(text);
  const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  // Adding keeps the value monotonic in time also before 1899-12-30.
  return date + time;
}

}  // namespace tavrin
