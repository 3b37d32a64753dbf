#include "publish/settle_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace quorvane::tool {
namespace {

using std::chrono::milliseconds;

// A monotonic clock that shows the time a test sets.
struct SetClock final : platform::Clock {
  std::tm LocalNow() const override { return {}; }
  double MonotonicSeconds() const override { return now; }
  double now = 0;
};

TEST(SettleScheduleTest, HandsOutAFolderOnceQuietForTheSettleTime) {
  SetClock clock;
  SettleSchedule schedule(clock, std::chrono::seconds(1));
  EXPECT_EQ(schedule.UntilNext(), std::nullopt);
  for (const auto& [at, path] : {std::pair{0.0, "/pub/b/"}, {0.25, "/pub/a/"}, {0.5, "/pub/b/"}}) {
    clock.now = at;
    schedule.Changed(path);
  }
  clock.now = 0.75;
  EXPECT_EQ(schedule.TakeDue(), std::vector<std::string>{});
  EXPECT_EQ(schedule.UntilNext(), milliseconds(500));  // a's, the sooner
  clock.now = 1.25;
  EXPECT_EQ(schedule.TakeDue(), std::vector<std::string>{"/pub/a/"});
  EXPECT_EQ(schedule.UntilNext(), milliseconds(250));
  schedule.Changed("/pub/a/");
  clock.now = 9;  // both overdue: handed out at once, in the order of their paths
  EXPECT_EQ(schedule.TakeDue(), (std::vector<std::string>{"/pub/a/", "/pub/b/"}));
  EXPECT_EQ(schedule.UntilNext(), std::nullopt);
  EXPECT_TRUE(schedule.Empty());
}

TEST(SettleScheduleTest, HandsOutAFolderThatNeverRestsOnceTheLongestWaitHasPassed) {
  const struct {
    SettleSchedule::Seconds settle;
    std::optional<SettleSchedule::Seconds> longest;  // none: five settle times, at least 5 s
    double every;                                    // a change this often, for 20 s
    std::vector<double> handed;
  } cases[] = {
      {std::chrono::seconds(1), std::nullopt, 0.5, {5, 10.5, 16}},
      {std::chrono::seconds(4), std::nullopt, 1, {20}},
      {std::chrono::seconds(4), std::chrono::seconds(6), 1, {6, 13, 20}},
      {milliseconds(0), std::nullopt, 1, {0,  1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                          11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
  };
  for (const auto& c : cases) {
    SetClock clock;
    SettleSchedule schedule =
        c.longest ? SettleSchedule(clock, c.settle, *c.longest) : SettleSchedule(clock, c.settle);
    std::vector<double> handed;
    for (clock.now = 0; clock.now <= 20; clock.now += c.every) {
      schedule.Changed("/pub/log/");
      if (!schedule.TakeDue().empty()) {
        handed.push_back(clock.now);
      }
    }
    EXPECT_EQ(handed, c.handed) << c.settle.count() << " s, a change every " << c.every << " s";
  }
}

}  // namespace
}  // namespace quorvane::tool
