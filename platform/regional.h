#pragma once

#include <array>        // std::array
#include <cstdint>      // std::int64_t
#include <ctime>        // std::tm, std::time_t
#include <cwchar>       // std::mbstate_t
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"

namespace quorvane::platform {

// The regional settings the page is written with. Texts are in the locale's own encoding.
struct RegionalSettings {
  std::string group_separator;    // between groups of three digits; empty means no grouping
  std::string decimal_separator;  // before the decimals
  std::string date_format;        // strftime format of the short date
  std::string time_format;        // strftime format of the long time
  // The locale whose character rules lower-case text and whose names strftime uses (%p, %b).
  std::string locale_name = "C";
};

// Regional formatting: grouped numbers, the general date-time text and lower-casing. Safe to
// use from several threads at once.
class Regional {
 public:
  // The settings of the process locale, as setlocale(LC_ALL, "") or a later setlocale left it.
  // Fails (kOutOfMemory) where there is no memory for a copy of the locale.
  static Result<Regional> FromProcessLocale();

  // Fixed settings, for tests and for callers that want a given rendering. Fails (kLocaleMissing)
  // when settings.locale_name is not available.
  static Result<Regional> Of(const RegionalSettings& settings);

  Regional(Regional&&) noexcept;
  Regional& operator=(Regional&&) noexcept;
  ~Regional();

  const RegionalSettings& Settings() const { return settings_; }

  // A whole number with at least one digit, grouped in threes ("###,###,###,##0").
  std::string Grouped(std::int64_t value) const;
  void AppendGrouped(std::string& out, std::int64_t value) const;

  // A number rounded to two decimals, grouped in threes ("###,##0.00").
  std::string Fixed2(double value) const;

  // The short date, a space and the long time; a value at exactly midnight shows the date alone.
  std::string DateTimeText(const std::tm& local) const;
  void AppendDate(std::string& out, const std::tm& local) const;
  void AppendTime(std::string& out, const std::tm& local) const;

  // `text` lower-cased by the locale's character rules. Bytes that do not decode stay as they are.
  std::string Lower(std::string_view text) const;

  // The lower-case form of each ASCII byte where the locale keeps it in ASCII, else 0. A text
  // made only of bytes with a form here lower-cases byte by byte, as Lower() would.
  const std::array<char, 128>& AsciiLower() const { return ascii_lower_; }

 private:
  struct Locale;

  Regional(RegionalSettings settings, std::unique_ptr<Locale> locale);
  // Append the lower-case form of the plain ASCII start of `text`, and of the one character
  // (or undecodable byte) that starts it; each returns how many bytes it took.
  std::size_t LowerAscii(std::string_view text, std::string& out) const;
  std::size_t LowerCharacter(std::string_view text, std::mbstate_t& state, std::string& out) const;
  void AppendMagnitude(std::string& out, std::uint64_t magnitude) const;
  void AppendFormatted(std::string& out, const char* format, const std::tm& local) const;

  RegionalSettings settings_;
  std::unique_ptr<Locale> locale_;
  std::array<char, 128> ascii_lower_{};
};

// The general date-time text of file times, for one page: the local date is worked out once per
// day and its text kept, and the time's text kept per second, so that a folder of files made on
// a few days costs few conversions. Not for use by several threads at once.
class DateTimeTexts {
 public:
  explicit DateTimeTexts(const Regional& regional);
  ~DateTimeTexts();

  // Appends the general date-time text of `when`, in local time.
  void Append(std::string& out, std::time_t when);

 private:
  struct Day;
  const Day* DayOf(std::time_t when);

  const Regional& regional_;
  std::unique_ptr<Day[]> days_;  // a few days, by day number
  long offset_ = 0;              // the offset from UTC the last day had, to find the next
  // The time text last made, and the second it was made for.
  std::time_t time_of_ = -1;
  std::string time_text_;
};

}  // namespace quorvane::platform
