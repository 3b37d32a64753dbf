#pragma once

#include <ctime>  // std::tm, std::time_t

namespace quorvane::platform {

// The two clocks a page generation reads. Tests substitute their own.
class Clock {
 public:
  virtual ~Clock() = default;

  // The current local date and time.
  virtual std::tm LocalNow() const = 0;

  // Seconds on a clock that never goes back, for measuring how long something took.
  virtual double MonotonicSeconds() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::tm LocalNow() const override;
  double MonotonicSeconds() const override;
};

// `t` as local date and time, in the process's time zone.
std::tm ToLocalTime(std::time_t t);

}  // namespace quorvane::platform
