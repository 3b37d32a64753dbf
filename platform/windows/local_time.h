#pragma once

#include <windows.h>

#include <ctime>  // std::tm, std::time_t

namespace quorvane::platform {

// `t` in local time by the time-zone rules of its own year, as Explorer shows file times; FALSE
// where Windows cannot convert it.
BOOL ToLocalSystemTime(std::time_t t, SYSTEMTIME& local);

// A date and time as a SYSTEMTIME, its day of the week worked out; FALSE where it is no date.
BOOL ToSystemTime(const std::tm& t, SYSTEMTIME& time);

std::tm ToTm(const SYSTEMTIME& time);

}  // namespace quorvane::platform
