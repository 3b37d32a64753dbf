#pragma once

#include <condition_variable>  // std::condition_variable
#include <cstdint>             // std::uint64_t
#include <functional>          // std::function
#include <map>                 // std::map
#include <memory>              // std::make_shared, std::shared_ptr
#include <mutex>               // std::mutex
#include <stop_token>          // std::stop_source, std::stop_token
#include <type_traits>         // std::invoke_result_t
#include <utility>             // std::move

#include "platform/executor.h"
#include "platform/failure.h"

namespace quorvane {

// Work done beside the window on the program's threads, each result handed back on the window's
// thread. The window stops and waits for all of it before its models go; a result that arrives
// after that is dropped.
class WindowWork {
 public:
  // Runs a closure later on the window's thread, from its event loop: each toolkit has its own.
  using Post = std::function<void(std::function<void()>)>;

  WindowWork(const platform::Executor& executor, Post post);
  WindowWork(const WindowWork&) = delete;
  WindowWork& operator=(const WindowWork&) = delete;
  ~WindowWork() { StopAndWait(); }

  // Runs `work(stop_token)` beside the window, then `done(result)` on the window's thread: later,
  // even when the work was stopped. `work` returns a platform::Result (or what a failure can
  // begin), which is the kOutOfMemory failure where it runs out of memory; it holds nothing of the
  // window's but what outlives this. The source returned stops it.
  template <typename Work, typename Done>
  std::stop_source Run(Work work, Done done);

  // Asks every piece of work still running to stop.
  void StopAll();
  // Stops every piece and waits for each to end; no result is handed back from then on.
  void StopAndWait();

 private:
  // What the window's thread and the work share, kept by both as long as either needs it.
  struct Shared {
    std::mutex mutex;
    std::condition_variable ended;
    std::map<std::uint64_t, std::stop_source> running;
    std::uint64_t last_id = 0;
    bool delivering = true;
  };

  // Notes a piece of work about to start, and then the source that stops it, unless it has
  // ended already.
  std::uint64_t Starting();
  void Started(std::uint64_t id, const std::stop_source& stop);
  // Hands `deliver` to the window's thread, where it runs unless the work has been waited for.
  void Ended(std::uint64_t id, std::function<void()> deliver);

  const platform::Executor& executor_;
  const Post post_;
  const std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

template <typename Work, typename Done>
std::stop_source WindowWork::Run(Work work, Done done) {
  using Result = std::invoke_result_t<Work&, std::stop_token>;
  const std::uint64_t id = Starting();
  auto shared_done = std::make_shared<Done>(std::move(done));
  // The executor's own stop for the task, which the program's end requests too: no callback
  // forwards one stop to another, whose ending on another thread is a wait of its own.
  std::stop_source stop =
      executor_.Run([this, id, work = std::move(work), shared_done](std::stop_token stop) mutable {
        auto result = std::make_shared<Result>(
            platform::CatchOutOfMemory([&] { return work(std::move(stop)); }));
        Ended(id, [shared_done, result] { (*shared_done)(std::move(*result)); });
      });
  Started(id, stop);
  return stop;
}

}  // namespace quorvane
