#include "platform/clock.h"

#include <chrono>  // std::chrono::steady_clock

#include "platform/windows/local_time.h"

namespace quorvane::platform {
namespace {

// The zone's rules for one year, kept: reading them goes to the registry.
struct YearZone {
  int year = -1;
  BOOL known = FALSE;
  TIME_ZONE_INFORMATION zone{};
};

}  // namespace

std::tm SystemClock::LocalNow() const {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return ToTm(now);
}

double SystemClock::MonotonicSeconds() const {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double>(since_start).count();
}

BOOL ToLocalSystemTime(std::time_t t, SYSTEMTIME& local) {
  constexpr long long kTicksPerSecond = 10'000'000;
  constexpr long long kSecondsTo1970 = 11'644'473'600;
  if (t < -kSecondsTo1970 || t > 0x7FFF'FFFF'FFFF'FFFF / kTicksPerSecond - kSecondsTo1970) {
    return FALSE;
  }
  const auto ticks = static_cast<unsigned long long>((t + kSecondsTo1970) * kTicksPerSecond);
  const FILETIME file_time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc{};
  if (!FileTimeToSystemTime(&file_time, &utc)) {
    return FALSE;
  }
  thread_local YearZone zone;
  if (zone.year != utc.wYear) {
    zone.year = utc.wYear;
    zone.known = GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone.zone);
  }
  return SystemTimeToTzSpecificLocalTime(zone.known ? &zone.zone : nullptr, &utc, &local);
}

BOOL ToSystemTime(const std::tm& t, SYSTEMTIME& time) {
  SYSTEMTIME given{};
  given.wYear = static_cast<WORD>(t.tm_year + 1900);
  given.wMonth = static_cast<WORD>(t.tm_mon + 1);
  given.wDay = static_cast<WORD>(t.tm_mday);
  given.wHour = static_cast<WORD>(t.tm_hour);
  given.wMinute = static_cast<WORD>(t.tm_min);
  given.wSecond = static_cast<WORD>(t.tm_sec);
  FILETIME file_time{};
  return SystemTimeToFileTime(&given, &file_time) && FileTimeToSystemTime(&file_time, &time);
}

std::tm ToTm(const SYSTEMTIME& time) {
  std::tm t{};
  t.tm_year = time.wYear - 1900;
  t.tm_mon = time.wMonth - 1;
  t.tm_mday = time.wDay;
  t.tm_hour = time.wHour;
  t.tm_min = time.wMinute;
  t.tm_sec = time.wSecond;
  t.tm_wday = time.wDayOfWeek;
  t.tm_isdst = -1;
  return t;
}

std::tm ToLocalTime(std::time_t t) {
  SYSTEMTIME local{};
  // Outside the range Windows can convert, keep the start of the epoch rather than fail: such a
  // date on a file is nonsense either way.
  if (!ToLocalSystemTime(t, local)) {
    ToLocalSystemTime(0, local);
  }
  return ToTm(local);
}

}  // namespace quorvane::platform
