#include "publish/settle_schedule.h"

#include <algorithm>  // std::max, std::min
#include <cmath>      // std::ceil
#include <limits>     // std::numeric_limits

namespace quorvane::tool {
namespace {

constexpr double kLeastLongest = 5.0;
constexpr double kSettlesInLongest = 5.0;

}  // namespace

SettleSchedule::SettleSchedule(const platform::Clock& clock, Seconds settle)
    : SettleSchedule(clock, settle,
                     Seconds(std::max(kLeastLongest, kSettlesInLongest * settle.count()))) {}

SettleSchedule::SettleSchedule(const platform::Clock& clock, Seconds settle, Seconds longest)
    : clock_(clock), settle_(settle.count()), longest_(longest.count()) {}

void SettleSchedule::Changed(std::string_view path) {
  const double now = clock_.MonotonicSeconds();
  pending_.try_emplace(std::string(path), Pending{now, now}).first->second.last = now;
}

std::vector<std::string> SettleSchedule::TakeDue() {
  const double now = clock_.MonotonicSeconds();
  std::vector<std::string> due;
  for (auto at = pending_.begin(); at != pending_.end();) {
    if (DueAt(at->second) <= now) {
      due.push_back(at->first);
      at = pending_.erase(at);
    } else {
      ++at;
    }
  }
  return due;
}

std::optional<std::chrono::milliseconds> SettleSchedule::UntilNext() const {
  if (pending_.empty()) {
    return std::nullopt;
  }
  double next = std::numeric_limits<double>::infinity();
  for (const auto& [path, pending] : pending_) {
    next = std::min(next, DueAt(pending));
  }
  const double left = std::max(0.0, next - clock_.MonotonicSeconds());
  return std::chrono::milliseconds(
      static_cast<std::chrono::milliseconds::rep>(std::ceil(left * 1000)));
}

double SettleSchedule::DueAt(const Pending& pending) const {
  return std::min(pending.last + settle_, pending.first + longest_);
}

}  // namespace quorvane::tool
