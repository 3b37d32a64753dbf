#include "platform/executor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvane::platform {
namespace {

// A gate the tasks of a test wait at until it opens.
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }
  void Open() {
    {
      const std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Threads are started only as work needs them, never more than the most, and kept: more work
// later starts none.
TEST(ExecutorTest, StartsThreadsAsWorkNeedsThemUpToTheMost) {
  const Executor executor(3);
  EXPECT_EQ(executor.Started(), 0u);
  for (int round = 0; round < 2; ++round) {
    Gate gate;
    std::atomic<int> ran{0};
    std::vector<bool> taken;
    for (int i = 0; i < 4; ++i) {
      taken.push_back(executor.TryRun([&](std::stop_token) {
        gate.Wait();
        ++ran;
      }));
    }
    if (round == 0) {
      // Every thread busy: the fourth is the caller's to do.
      EXPECT_EQ(taken, (std::vector<bool>{true, true, true, false}));
    }
    gate.Open();
    TaskGroup group(executor);
    group.Run([&] { ++ran; });  // done by an idle thread, or here
    group.Wait();
    const int expected = static_cast<int>(std::count(taken.begin(), taken.end(), true)) + 1;
    for (int tries = 0; tries < 5000 && ran.load() < expected; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(ran.load(), expected) << round;
    EXPECT_EQ(executor.Started(), 3u) << round;
  }
}

// A task queued behind busy threads runs once one is free; its source stops it, and the
// executor's end stops what still runs and waits for it.
TEST(ExecutorTest, QueuedTasksRunWhenAThreadIsFreeAndStopWhenAsked) {
  std::atomic<bool> stopped_by_source{false};
  std::atomic<bool> stopped_at_end{false};
  {
    const Executor executor(1);
    Gate gate;
    executor.Run([&](std::stop_token) { gate.Wait(); });
    std::stop_source queued =
        executor.Run([&](std::stop_token stop) { stopped_by_source = stop.stop_requested(); });
    queued.request_stop();
    gate.Open();
    executor.Run([&](std::stop_token stop) {
      while (!stop.stop_requested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      stopped_at_end = true;
    });
  }
  EXPECT_TRUE(stopped_by_source);
  EXPECT_TRUE(stopped_at_end);
}

}  // namespace
}  // namespace quorvane::platform
