#pragma once

#include <cstddef>       // std::size_t
#include <functional>    // std::function
#include <new>           // std::bad_alloc
#include <system_error>  // std::system_error
#include <thread>        // std::jthread
#include <utility>       // std::forward, std::move
#include <vector>        // std::vector

namespace quorvane::platform {

// Threads of one owner, told to stop and joined when this goes, whatever ends the owner's life:
// a failure part of the way through starting them leaves none running and none to end the
// program. Declared as the owner's last member, so that they end before what they work on.
class Threads {
 public:
  // `stop` tells the threads to end their work; called once, before they are joined.
  explicit Threads(std::function<void()> stop = {}) : stop_(std::move(stop)) {}
  Threads(const Threads&) = delete;
  Threads& operator=(const Threads&) = delete;
  ~Threads() { Join(); }

  // Runs `run` on a thread of its own. False when the system gives no more threads or there is
  // no memory for one: the owner then does the work with the threads it has, or by itself.
  template <typename Run>
  bool Start(Run&& run) noexcept {
    try {
      // Where this throws, no thread was started.
      threads_.emplace_back(std::forward<Run>(run));
      return true;
    } catch (const std::system_error&) {
      return false;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  std::size_t Size() const { return threads_.size(); }

  // Tells them to stop and waits for them to end.
  void Join() {
    if (!threads_.empty() && stop_) {
      stop_();
    }
    threads_.clear();
  }

 private:
  std::function<void()> stop_;
  std::vector<std::jthread> threads_;
};

}  // namespace quorvane::platform
