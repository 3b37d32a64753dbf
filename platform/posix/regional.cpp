#include "platform/regional.h"

#include <langinfo.h>  // nl_langinfo_l
#include <locale.h>    // newlocale, duplocale, freelocale, uselocale
#include <cerrno>      // errno, ENOMEM
#include <climits>     // MB_LEN_MAX
#include <cwchar>      // std::mbrtowc, std::wcrtomb, std::mbstate_t
#include <cwctype>     // towlower_l
#include <utility>     // std::move

#include "platform/clock.h"
#include "platform/failure.h"

namespace quorvane::platform {
namespace {

// Makes `locale` the calling thread's locale while it lives, for the C functions that have no
// variant taking a locale (mbrtowc, wcrtomb).
class ThreadLocaleScope {
 public:
  explicit ThreadLocaleScope(locale_t locale) : previous_(uselocale(locale)) {}
  ThreadLocaleScope(const ThreadLocaleScope&) = delete;
  ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;
  ~ThreadLocaleScope() { uselocale(previous_); }

 private:
  locale_t previous_;
};

}  // namespace

// The C library's locale object, freed when this goes. Made before the locale it holds, so that
// the locale is never left without an owner.
struct Regional::Locale {
  Locale() = default;
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
  ~Locale() {
    if (handle != nullptr) {
      freelocale(handle);
    }
  }
  locale_t handle = nullptr;
};

Result<Regional> Regional::FromProcessLocale() {
  auto locale = std::make_unique<Locale>();
  locale->handle = duplocale(LC_GLOBAL_LOCALE);
  const int error = errno;
  const char* name = setlocale(LC_CTYPE, nullptr);
  if (locale->handle == nullptr) {
    // Its one failure but for a locale gone bad: no memory for the copy.
    return error == ENOMEM ? Failure(Step::kOutOfMemory, {})
                           : Failure(Step::kLocaleMissing, name != nullptr ? name : "", error);
  }
  const locale_t handle = locale->handle;
  RegionalSettings settings;
  settings.group_separator = nl_langinfo_l(THOUSEP, handle);
  settings.decimal_separator = nl_langinfo_l(RADIXCHAR, handle);
  settings.date_format = nl_langinfo_l(D_FMT, handle);
  settings.time_format = nl_langinfo_l(T_FMT, handle);
  settings.locale_name = name != nullptr ? name : "C";
  return Regional(std::move(settings), std::move(locale));
}

Result<Regional> Regional::Of(const RegionalSettings& settings) {
  auto locale = std::make_unique<Locale>();
  locale->handle = newlocale(LC_ALL_MASK, settings.locale_name.c_str(), nullptr);
  if (locale->handle == nullptr) {
    return Failure(Step::kLocaleMissing, settings.locale_name);
  }
  return Regional(settings, std::move(locale));
}

Regional::Regional(RegionalSettings settings, std::unique_ptr<Locale> locale)
    : settings_(std::move(settings)), locale_(std::move(locale)) {
  for (int c = 0; c < 128; ++c) {
    const wint_t lower = towlower_l(static_cast<wint_t>(c), locale_->handle);
    ascii_lower_[c] = lower < 128 ? static_cast<char>(lower) : 0;
  }
}

Regional::Regional(Regional&&) noexcept = default;
Regional& Regional::operator=(Regional&&) noexcept = default;
Regional::~Regional() = default;

void Regional::AppendFormatted(std::string& out, const char* format, const std::tm& local) const {
  if (*format == '\0') {
    return;
  }
  // strftime cannot tell a full buffer from an empty result, so grow a few times and then take
  // the result as empty. Dates and times fit the first buffer.
  char small[128];
  std::size_t written = strftime_l(small, sizeof small, format, &local, locale_->handle);
  if (written != 0) {
    out.append(small, written);
    return;
  }
  for (std::size_t size = 1024; size <= 16384; size *= 4) {
    std::string buffer(size, '\0');
    written = strftime_l(buffer.data(), size, format, &local, locale_->handle);
    if (written != 0) {
      out.append(buffer.data(), written);
      return;
    }
  }
}

void Regional::AppendDate(std::string& out, const std::tm& local) const {
  AppendFormatted(out, settings_.date_format.c_str(), local);
}

void Regional::AppendTime(std::string& out, const std::tm& local) const {
  AppendFormatted(out, settings_.time_format.c_str(), local);
}

std::size_t Regional::LowerCharacter(std::string_view text, std::mbstate_t& state,
                                     std::string& out) const {
  wchar_t wide = 0;
  const std::size_t used = std::mbrtowc(&wide, text.data(), text.size(), &state);
  if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
    // Not a character of this locale: keep the byte and start afresh after it.
    state = std::mbstate_t{};
    out += text[0];
    return 1;
  }
  const std::size_t length = used == 0 ? 1 : used;  // 0 means a NUL byte
  char encoded[MB_LEN_MAX];
  std::mbstate_t out_state{};
  const auto lower = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(wide), locale_->handle));
  const std::size_t made = std::wcrtomb(encoded, lower, &out_state);
  if (made == static_cast<std::size_t>(-1)) {
    out.append(text.data(), length);
  } else {
    out.append(encoded, made);
  }
  return length;
}

std::string Regional::Lower(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  // Plain ASCII needs no conversion; only a text with other bytes pays for the locale switch.
  std::size_t i = LowerAscii(text, out);
  if (i == text.size()) {
    return out;
  }
  const ThreadLocaleScope scope(locale_->handle);
  std::mbstate_t state{};
  while (i < text.size()) {
    i += LowerCharacter(text.substr(i), state, out);
    i += LowerAscii(text.substr(i), out);
  }
  return out;
}

// One local day of constant offset from UTC: from `start` (its midnight) for a whole day.
struct DateTimeTexts::Day {
  std::time_t start = 0;
  std::tm midnight{};
  std::string date;
  bool filled = false;
};

namespace {

constexpr long kSecondsPerDay = 24 * 60 * 60;
constexpr std::size_t kDays = 64;

long SecondOfDay(const std::tm& t) { return (t.tm_hour * 60L + t.tm_min) * 60L + t.tm_sec; }

bool SameDate(const std::tm& a, const std::tm& b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday;
}

// The day number of `when` for an offset from UTC of `offset` seconds.
std::size_t Slot(std::time_t when, long offset) {
  const auto local = static_cast<long long>(when) + offset;
  const long long day = local >= 0 ? local / kSecondsPerDay : (local + 1) / kSecondsPerDay - 1;
  return static_cast<std::size_t>(static_cast<unsigned long long>(day) % kDays);
}

}  // namespace

DateTimeTexts::DateTimeTexts(const Regional& regional)
    : regional_(regional), days_(std::make_unique<Day[]>(kDays)) {}

DateTimeTexts::~DateTimeTexts() = default;

const DateTimeTexts::Day* DateTimeTexts::DayOf(std::time_t when) {
  Day& cached = days_[Slot(when, offset_)];
  if (cached.filled && when >= cached.start && when - cached.start < kSecondsPerDay) {
    return &cached;
  }
  const std::tm local = ToLocalTime(when);
  const std::time_t start = when - SecondOfDay(local);
  const std::tm midnight = ToLocalTime(start);
  const std::tm last = ToLocalTime(start + kSecondsPerDay - 1);
  // A day when the clocks change is not 24 even hours from midnight: its times are each worked
  // out on their own.
  if (SecondOfDay(midnight) != 0 || !SameDate(midnight, local) || !SameDate(last, local) ||
      SecondOfDay(last) != kSecondsPerDay - 1 || midnight.tm_gmtoff != last.tm_gmtoff) {
    return nullptr;
  }
  offset_ = midnight.tm_gmtoff;
  Day& day = days_[Slot(when, offset_)];
  day.start = start;
  day.midnight = midnight;
  day.date.clear();
  regional_.AppendDate(day.date, midnight);
  day.filled = true;
  return &day;
}

void DateTimeTexts::Append(std::string& out, std::time_t when) {
  const Day* day = DayOf(when);
  if (day == nullptr) {
    out += regional_.DateTimeText(ToLocalTime(when));
    return;
  }
  out += day->date;
  const long second = static_cast<long>(when - day->start);
  if (second == 0) {
    return;  // midnight shows the date alone
  }
  if (when != time_of_) {
    std::tm local = day->midnight;
    local.tm_hour = static_cast<int>(second / 3600);
    local.tm_min = static_cast<int>(second / 60 % 60);
    local.tm_sec = static_cast<int>(second % 60);
    time_text_.clear();
    regional_.AppendTime(time_text_, local);
    time_of_ = when;
  }
  out += ' ';
  out += time_text_;
}

}  // namespace quorvane::platform
