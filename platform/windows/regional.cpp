#include "platform/regional.h"

#include <windows.h>

#include <iterator>  // std::size
#include <utility>   // std::move

#include "platform/clock.h"
#include "platform/windows/local_time.h"
#include "platform/windows/utf16.h"

namespace quorvane::platform {

// The locale by its Windows name (en-US), which every formatting call takes, and the date and
// time pictures (M/d/yyyy, h:mm:ss tt) in the form the calls take them.
struct Regional::Locale {
  std::wstring name;
  std::wstring date_format;
  std::wstring time_format;
};

namespace {

std::string LocaleText(const wchar_t* locale, LCTYPE item) {
  wchar_t text[LOCALE_NAME_MAX_LENGTH + 80];
  const int length = GetLocaleInfoEx(locale, item, text, static_cast<int>(std::size(text)));
  return length > 0 ? ToUtf8(std::wstring_view(text, static_cast<std::size_t>(length - 1))) : "";
}

// Calls `format(buffer, size)`, a Windows call that fills a buffer and returns its length with
// the closing NUL (0 on failure), and appends what it wrote.
template <typename Format>
void AppendFilled(std::string& out, Format&& format) {
  wchar_t text[128];
  const int length = format(text, static_cast<int>(std::size(text)));
  if (length > 0) {
    out += ToUtf8(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
  }
}

}  // namespace

Result<Regional> Regional::FromProcessLocale() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) {
    name[0] = L'\0';  // the invariant locale
  }
  RegionalSettings settings;
  settings.group_separator = LocaleText(name, LOCALE_STHOUSAND);
  settings.decimal_separator = LocaleText(name, LOCALE_SDECIMAL);
  settings.date_format = LocaleText(name, LOCALE_SSHORTDATE);
  settings.time_format = LocaleText(name, LOCALE_STIMEFORMAT);
  settings.locale_name = ToUtf8(name);
  auto locale = std::make_unique<Locale>(
      Locale{name, ToWide(settings.date_format), ToWide(settings.time_format)});
  return Regional(std::move(settings), std::move(locale));
}

Result<Regional> Regional::Of(const RegionalSettings& settings) {
  // An empty name is the invariant locale.
  std::wstring name = ToWide(settings.locale_name);
  if (!name.empty() && !IsValidLocaleName(name.c_str())) {
    return Failure(Step::kLocaleMissing, settings.locale_name);
  }
  return Regional(settings,
                  std::make_unique<Locale>(Locale{std::move(name), ToWide(settings.date_format),
                                                  ToWide(settings.time_format)}));
}

Regional::Regional(RegionalSettings settings, std::unique_ptr<Locale> locale)
    : settings_(std::move(settings)), locale_(std::move(locale)) {
  for (wchar_t c = 0; c < 128; ++c) {
    wchar_t lower = c;
    LCMapStringEx(locale_->name.c_str(), LCMAP_LOWERCASE, &c, 1, &lower, 1, nullptr, nullptr, 0);
    ascii_lower_[c] = lower < 128 ? static_cast<char>(lower) : 0;
  }
}

Regional::Regional(Regional&&) noexcept = default;
Regional& Regional::operator=(Regional&&) noexcept = default;
Regional::~Regional() = default;

void Regional::AppendDate(std::string& out, const std::tm& local) const {
  SYSTEMTIME time{};
  if (!ToSystemTime(local, time)) {
    return;
  }
  const std::wstring& format = locale_->date_format;
  AppendFilled(out, [&](wchar_t* text, int size) {
    return GetDateFormatEx(locale_->name.c_str(), format.empty() ? DATE_SHORTDATE : 0, &time,
                           format.empty() ? nullptr : format.c_str(), text, size, nullptr);
  });
}

void Regional::AppendTime(std::string& out, const std::tm& local) const {
  SYSTEMTIME time{};
  if (!ToSystemTime(local, time)) {
    return;
  }
  const std::wstring& format = locale_->time_format;
  AppendFilled(out, [&](wchar_t* text, int size) {
    return GetTimeFormatEx(locale_->name.c_str(), 0, &time,
                           format.empty() ? nullptr : format.c_str(), text, size);
  });
}

// Text here came from UTF-16 (names, paths, arguments), so it is always UTF-8.
std::string Regional::Lower(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  const std::size_t ascii = LowerAscii(text, out);
  if (ascii == text.size()) {
    return out;
  }
  const std::wstring wide = ToWide(text.substr(ascii));
  std::wstring lower(wide.size(), L'\0');
  const int length = LCMapStringEx(locale_->name.c_str(), LCMAP_LOWERCASE, wide.data(),
                                   static_cast<int>(wide.size()), lower.data(),
                                   static_cast<int>(lower.size()), nullptr, nullptr, 0);
  lower.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  out += length > 0 ? ToUtf8(lower) : std::string(text.substr(ascii));
  return out;
}

// A day's date text, kept by the local date it is for.
struct DateTimeTexts::Day {
  int year = 0;
  int month = 0;
  int day = 0;
  std::string date;
};

namespace {

constexpr std::size_t kDays = 64;

}  // namespace

DateTimeTexts::DateTimeTexts(const Regional& regional)
    : regional_(regional), days_(std::make_unique<Day[]>(kDays)) {}

DateTimeTexts::~DateTimeTexts() = default;

void DateTimeTexts::Append(std::string& out, std::time_t when) {
  const std::tm local = ToLocalTime(when);
  Day& day =
      days_[static_cast<std::size_t>(local.tm_year * 372 + local.tm_mon * 31 + local.tm_mday) %
            kDays];
  if (day.year != local.tm_year || day.month != local.tm_mon || day.day != local.tm_mday ||
      day.date.empty()) {
    day = {local.tm_year, local.tm_mon, local.tm_mday, {}};
    regional_.AppendDate(day.date, local);
  }
  out += day.date;
  if (local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0) {
    return;  // midnight shows the date alone
  }
  if (when != time_of_) {
    time_text_.clear();
    regional_.AppendTime(time_text_, local);
    time_of_ = when;
  }
  out += ' ';
  out += time_text_;
}

}  // namespace quorvane::platform
