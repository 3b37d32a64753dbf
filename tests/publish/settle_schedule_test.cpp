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

// One step of a script: at `at` seconds, note a change of `changed`, or else expect `due` to be
// handed out and the next to be due in `next`.
struct Step {
  double at;
  const char* changed;
  std::vector<std::string> due = {};
  std::optional<milliseconds> next = std::nullopt;
};

void Play(SettleSchedule& schedule, SetClock& clock, const std::vector<Step>& script) {
  for (const Step& step : script) {
    clock.now = step.at;
    if (step.changed != nullptr) {
      schedule.Changed(step.changed);
      continue;
    }
    EXPECT_EQ(schedule.TakeDue(), step.due) << "at " << step.at;
    EXPECT_EQ(schedule.UntilNext(), step.next) << "at " << step.at;
  }
}

TEST(SettleScheduleTest, HandsOutAFolderOnceQuietForTheSettleTime) {
  SetClock clock;
  SettleSchedule schedule(clock, std::chrono::seconds(1));
  Play(schedule, clock,
       {
           {0, nullptr, {}, std::nullopt},
           {0, "/pub/a/"},
           {0.25, "/pub/b/"},
           {0.5, "/pub/a/"},
           {0.75, nullptr, {}, milliseconds(500)},  // b's, the sooner
           {1.25, nullptr, {"/pub/b/"}, milliseconds(250)},
           {1.25, "/pub/b/"},
           {1.5, nullptr, {"/pub/a/"}, milliseconds(750)},
           {9, nullptr, {"/pub/b/"}, std::nullopt},  // overdue: handed out at once
       });
  EXPECT_TRUE(schedule.Empty());
}

TEST(SettleScheduleTest, HandsOutAFolderThatNeverRestsOnceTheLongestWaitHasPassed) {
  SetClock clock;
  SettleSchedule schedule(clock, std::chrono::seconds(1));  // the longest wait: 5 s
  std::vector<double> when;
  for (int tick = 0; tick <= 24; ++tick) {  // a change every half second for 12 s
    clock.now = tick * 0.5;
    schedule.Changed("/pub/log/");
    if (!schedule.TakeDue().empty()) {
      when.push_back(clock.now);
    }
  }
  EXPECT_EQ(when, (std::vector<double>{5.0, 10.5}));
  EXPECT_EQ(schedule.UntilNext(), milliseconds(1000));  // quiet from now on
}

TEST(SettleScheduleTest, TheLongestWaitIsFiveSettleTimesAndAtLeastFiveSeconds) {
  SetClock clock;
  SettleSchedule fast(clock, milliseconds(0));
  SettleSchedule slow(clock, std::chrono::seconds(4));
  SettleSchedule given(clock, std::chrono::seconds(4), std::chrono::seconds(6));
  fast.Changed("/pub/");
  EXPECT_EQ(fast.TakeDue(), std::vector<std::string>{"/pub/"});
  std::vector<double> slow_when;
  std::vector<double> given_when;
  for (double at = 0; at <= 20; ++at) {  // a change every second
    clock.now = at;
    for (auto [schedule, when] : {std::pair{&slow, &slow_when}, std::pair{&given, &given_when}}) {
      schedule->Changed("/pub/");
      if (!schedule->TakeDue().empty()) {
        when->push_back(at);
      }
    }
  }
  EXPECT_EQ(slow_when, std::vector<double>{20});
  EXPECT_EQ(given_when, (std::vector<double>{6, 13, 20}));
}

}  // namespace
}  // namespace quorvane::tool
