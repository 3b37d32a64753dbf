#pragma once

#include <locale.h>     // locale_t
#include <array>        // std::array
#include <cstdint>      // std::int64_t
#include <ctime>        // std::tm
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <type_traits>  // std::remove_pointer_t

namespace quorvane::platform {

// The regional settings the page is written with. Texts are in the locale's own encoding.
struct RegionalSettings {
  std::string GroupSeparator;    // between groups of three digits; empty means no grouping
  std::string DecimalSeparator;  // before the decimals
  std::string DateFormat;        // strftime format of the short date
  std::string TimeFormat;        // strftime format of the long time
  // The locale whose character rules lower-case text and whose names strftime uses (%p, %b).
  std::string LocaleName = "C";
};

// Regional formatting: grouped numbers, the general date-time text and lower-casing.
class Regional {
 public:
  // The settings of the process locale, as setlocale(LC_ALL, "") or a later setlocale left it.
  static Regional FromProcessLocale();

  // Fixed settings, for tests and for callers that want a given rendering. Throws Failure when
  // settings.LocaleName is not available.
  explicit Regional(const RegionalSettings& settings);

  Regional(Regional&&) noexcept;
  Regional& operator=(Regional&&) noexcept;
  ~Regional();

  const RegionalSettings& Settings() const { return settings_; }

  // A whole number with at least one digit, grouped in threes ("###,###,###,##0").
  std::string Grouped(std::int64_t value) const;

  // A number rounded to two decimals, grouped in threes ("###,##0.00").
  std::string Fixed2(double value) const;

  // The short date, a space and the long time; a value at exactly midnight shows the date alone.
  std::string DateTimeText(const std::tm& local) const;

  // `text` lower-cased by the locale's character rules. Bytes that do not decode stay as they are.
  std::string Lower(std::string_view text) const;

 private:
  struct LocaleDeleter {
    void operator()(locale_t locale) const;
  };
  using LocalePtr = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

  static LocalePtr OpenLocale(const std::string& name);
  Regional(RegionalSettings settings, LocalePtr locale);
  void AppendGrouped(std::string& out, std::uint64_t magnitude) const;
  void AppendFormatted(std::string& out, const char* format, const std::tm& local) const;

  RegionalSettings settings_;
  LocalePtr locale_;
  // Lower-case forms of the ASCII bytes where the locale keeps them in ASCII, else 0; the rest
  // goes through the locale's multibyte conversion.
  std::array<char, 128> ascii_lower_{};
};

}  // namespace quorvane::platform
