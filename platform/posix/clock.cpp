#include "platform/clock.h"

#include <chrono>  // std::chrono::steady_clock

namespace quorvane::platform {

std::tm SystemClock::LocalNow() const { return ToLocalTime(std::time(nullptr)); }

double SystemClock::MonotonicSeconds() const {
  const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double>(since_start).count();
}

std::tm ToLocalTime(std::time_t t) {
  std::tm local{};
  // Outside the range the C library can convert, keep the start of the epoch rather than fail:
  // such a date on a file is nonsense either way.
  if (localtime_r(&t, &local) == nullptr) {
    std::time_t zero = 0;
    localtime_r(&zero, &local);
  }
  return local;
}

}  // namespace quorvane::platform
