#include "publish/settle_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
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
