// What the tests take from the system they run on: its notation for regional settings, its
// local time, its root folder and its words for a missing file.

#include <windows.h>

#include "platform/windows/win32.h"
#include "tests/support/fakes.h"

namespace quorvane::testing {

platform::RegionalSettings UsEnglish() { return {",", ".", "M/d/yyyy", "h:mm:ss tt", "en-US"}; }

const char kRootFolder[] = "C:\\";

const char kUnicodeLocale[] = "en-US";

// Local to UTC by the time-zone rules of the date's own year, as the platform converts back.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(year);
  local.wMonth = static_cast<WORD>(month);
  local.wDay = static_cast<WORD>(day);
  local.wHour = static_cast<WORD>(hour);
  local.wMinute = static_cast<WORD>(minute);
  local.wSecond = static_cast<WORD>(second);
  TIME_ZONE_INFORMATION zone{};
  SYSTEMTIME utc{};
  FILETIME file_time{};
  if (!GetTimeZoneInformationForYear(local.wYear, nullptr, &zone) ||
      !TzSpecificLocalTimeToSystemTime(&zone, &local, &utc) ||
      !SystemTimeToFileTime(&utc, &file_time)) {
    return -1;
  }
  return platform::ToTimeT(file_time);
}

std::error_code NoSuchFile() { return platform::WindowsError(ERROR_FILE_NOT_FOUND); }

}  // namespace quorvane::testing
