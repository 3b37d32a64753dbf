#include "platform/regional.h"

#include <charconv>  // std::to_chars
#include <cmath>     // std::llround, std::isfinite

// The renderings that are the same on every system, given its separators and its date and time
// texts.

namespace quorvane::platform {

void Regional::AppendMagnitude(std::string& out, std::uint64_t magnitude) const {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  const auto count = static_cast<std::size_t>(end - digits);
  std::size_t group = count % 3 == 0 ? 3 : count % 3;
  for (std::size_t i = 0; i < count; i += group, group = 3) {
    if (i != 0) {
      out += settings_.group_separator;
    }
    out.append(digits + i, group);
  }
}

std::string Regional::Grouped(std::int64_t value) const {
  std::string out;
  AppendGrouped(out, value);
  return out;
}

void Regional::AppendGrouped(std::string& out, std::int64_t value) const {
  if (value < 0) {
    out += '-';
  }
  // Unsigned negation, so that the smallest int64 is shown rather than overflowing.
  const auto magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  AppendMagnitude(out, magnitude);
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
  AppendMagnitude(out, magnitude / 100);
  out += settings_.decimal_separator;
  const auto fraction = static_cast<unsigned>(magnitude % 100);
  out += static_cast<char>('0' + fraction / 10);
  out += static_cast<char>('0' + fraction % 10);
  return out;
}

std::string Regional::DateTimeText(const std::tm& local) const {
  std::string out;
  AppendDate(out, local);
  if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
    out += ' ';
    AppendTime(out, local);
  }
  return out;
}

std::size_t Regional::LowerAscii(std::string_view text, std::string& out) const {
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 128 || ascii_lower_[byte] == 0) {
      break;
    }
    out += ascii_lower_[byte];
  }
  return i;
}

}  // namespace quorvane::platform
