#pragma once

#include <chrono>       // std::chrono::duration, std::chrono::milliseconds
#include <functional>   // std::less
#include <map>          // std::map
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/clock.h"

namespace quorvane::tool {

// Gathers the folders that changed and hands each out to be written once it has been quiet for
// the settle time, so that a burst of changes (an rsync, an archive unpacked) writes its page
// once. A folder that never rests that long is still handed out once the longest wait has passed
// since the change that made it pending. Times are read from the clock given.
class SettleSchedule {
 public:
  using Seconds = std::chrono::duration<double>;

  // The longest wait: five settle times, and at least five seconds.
  SettleSchedule(const platform::Clock& clock, Seconds settle);
  SettleSchedule(const platform::Clock& clock, Seconds settle, Seconds longest);

  // Notes that the folder at `path` changed now.
  void Changed(std::string_view path);

  // The folders due now, in the order of their paths; they are no longer pending.
  std::vector<std::string> TakeDue();

  // How long until the next folder is due, rounded up so that a wait for it never ends before;
  // none while none is pending.
  std::optional<std::chrono::milliseconds> UntilNext() const;

  bool Empty() const { return pending_.empty(); }

 private:
  struct Pending {
    double first;  // when it became pending
    double last;   // when it last changed
  };

  double DueAt(const Pending& pending) const;

  const platform::Clock& clock_;
  const double settle_;
  const double longest_;
  std::map<std::string, Pending, std::less<>> pending_;
};

}  // namespace quorvane::tool
