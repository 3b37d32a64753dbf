// What the tests take from the system they run on: its notation for regional settings, its
// local time, its root folder and its words for a missing file.

#include <cerrno>  // ENOENT
#include <ctime>   // std::mktime

#include "platform/failure.h"
#include "tests/support/fakes.h"

namespace quorvane::testing {

platform::RegionalSettings UsEnglish() { return {",", ".", "%-m/%-d/%Y", "%-I:%M:%S %p", "C"}; }

const char kRootFolder[] = "/";

const char kUnicodeLocale[] = "C.UTF-8";

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t = LocalTm(year, month, day, hour, minute, second);
  return std::mktime(&t);
}

std::error_code NoSuchFile() { return platform::ErrnoError(ENOENT); }

}  // namespace quorvane::testing
