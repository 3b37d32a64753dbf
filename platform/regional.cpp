#include "platform/regional.h"

#include <langinfo.h>  // nl_langinfo_l
#include <cerrno>      // errno
#include <charconv>    // std::to_chars
#include <climits>     // MB_LEN_MAX
#include <cmath>       // std::llround, std::isfinite
#include <cwchar>      // std::mbrtowc, std::wcrtomb, std::mbstate_t
#include <cwctype>     // towlower_l
#include <utility>     // std::move

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

void Regional::LocaleDeleter::operator()(locale_t locale) const { freelocale(locale); }

Regional Regional::FromProcessLocale() {
  LocalePtr locale(duplocale(LC_GLOBAL_LOCALE));
  if (!locale) {
    ThrowSystemFailure(errno, "");
  }
  RegionalSettings settings;
  settings.GroupSeparator = nl_langinfo_l(THOUSEP, locale.get());
  settings.DecimalSeparator = nl_langinfo_l(RADIXCHAR, locale.get());
  settings.DateFormat = nl_langinfo_l(D_FMT, locale.get());
  settings.TimeFormat = nl_langinfo_l(T_FMT, locale.get());
  const char* name = setlocale(LC_CTYPE, nullptr);
  settings.LocaleName = name != nullptr ? name : "C";
  return Regional(std::move(settings), std::move(locale));
}

Regional::LocalePtr Regional::OpenLocale(const std::string& name) {
  LocalePtr locale(newlocale(LC_ALL_MASK, name.c_str(), nullptr));
  if (!locale) {
    throw Failure("Locale not available: " + name);
  }
  return locale;
}

Regional::Regional(const RegionalSettings& settings)
    : Regional(settings, OpenLocale(settings.LocaleName)) {}

Regional::Regional(RegionalSettings settings, LocalePtr locale)
    : settings_(std::move(settings)), locale_(std::move(locale)) {
  for (int c = 0; c < 128; ++c) {
    const wint_t lower = towlower_l(static_cast<wint_t>(c), locale_.get());
    ascii_lower_[c] = lower < 128 ? static_cast<char>(lower) : 0;
  }
}

Regional::Regional(Regional&&) noexcept = default;
Regional& Regional::operator=(Regional&&) noexcept = default;
Regional::~Regional() = default;

void Regional::AppendGrouped(std::string& out, std::uint64_t magnitude) const {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  const auto count = static_cast<std::size_t>(end - digits);
  std::size_t group = count % 3 == 0 ? 3 : count % 3;
  for (std::size_t i = 0; i < count; i += group, group = 3) {
    if (i != 0) {
      out += settings_.GroupSeparator;
    }
    out.append(digits + i, group);
  }
}

std::string Regional::Grouped(std::int64_t value) const {
  std::string out;
  if (value < 0) {
    out += '-';
  }
  // Unsigned negation, so that the smallest int64 is shown rather than overflowing.
  const auto magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  AppendGrouped(out, magnitude);
  return out;
}

std::string Regional::Fixed2(double value) const {
  constexpr double kLimit = 9.0e18;  // cents beyond this do not fit an int64
  const double cents_real = std::isfinite(value) ? value * 100.0 : 0.0;
  const long long cents = cents_real >= kLimit    ? static_cast<long long>(kLimit)
                          : cents_real <= -kLimit ? -static_cast<long long>(kLimit)
                                                  : std::llround(cents_real);
  std::string out;
  if (cents < 0) {
    out += '-';
  }
  const auto magnitude =
      cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  AppendGrouped(out, magnitude / 100);
  out += settings_.DecimalSeparator;
  const auto fraction = static_cast<unsigned>(magnitude % 100);
  out += static_cast<char>('0' + fraction / 10);
  out += static_cast<char>('0' + fraction % 10);
  return out;
}

void Regional::AppendFormatted(std::string& out, const char* format, const std::tm& local) const {
  if (*format == '\0') {
    return;
  }
  // strftime cannot tell a full buffer from an empty result, so grow a few times and then take
  // the result as empty. Dates and times fit the first buffer.
  char small[128];
  std::size_t written = strftime_l(small, sizeof small, format, &local, locale_.get());
  if (written != 0) {
    out.append(small, written);
    return;
  }
  for (std::size_t size = 1024; size <= 16384; size *= 4) {
    std::string buffer(size, '\0');
    written = strftime_l(buffer.data(), size, format, &local, locale_.get());
    if (written != 0) {
      out.append(buffer.data(), written);
      return;
    }
  }
}

std::string Regional::DateTimeText(const std::tm& local) const {
  std::string out;
  AppendFormatted(out, settings_.DateFormat.c_str(), local);
  if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
    out += ' ';
    AppendFormatted(out, settings_.TimeFormat.c_str(), local);
  }
  return out;
}

std::string Regional::Lower(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  // Plain ASCII needs no conversion; only a text with other bytes pays for the locale switch.
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 128 || ascii_lower_[byte] == 0) {
      break;
    }
    out += ascii_lower_[byte];
    ++i;
  }
  if (i == text.size()) {
    return out;
  }

  const ThreadLocaleScope scope(locale_.get());
  std::mbstate_t state{};
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 128 && ascii_lower_[byte] != 0) {
      out += ascii_lower_[byte];
      ++i;
      continue;
    }
    wchar_t wide = 0;
    const std::size_t used = std::mbrtowc(&wide, text.data() + i, text.size() - i, &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      // Not a character of this locale: keep the byte and start afresh after it.
      state = std::mbstate_t{};
      out += text[i];
      ++i;
      continue;
    }
    const std::size_t length = used == 0 ? 1 : used;  // 0 means a NUL byte
    char encoded[MB_LEN_MAX];
    std::mbstate_t out_state{};
    const wchar_t lower =
        static_cast<wchar_t>(towlower_l(static_cast<wint_t>(wide), locale_.get()));
    const std::size_t made = std::wcrtomb(encoded, lower, &out_state);
    if (made == static_cast<std::size_t>(-1)) {
      out.append(text.data() + i, length);
    } else {
      out.append(encoded, made);
    }
    i += length;
  }
  return out;
}

}  // namespace quorvane::platform
