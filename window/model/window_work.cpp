#include "window/model/window_work.h"

namespace quorvane {

WindowWork::WindowWork(const platform::Executor& executor, Post post)
    : executor_(executor), post_(std::move(post)) {}

std::uint64_t WindowWork::Starting() {
  const std::lock_guard lock(shared_->mutex);
  const std::uint64_t id = ++shared_->last_id;
  shared_->running.emplace(id, std::stop_source(std::nostopstate));
  return id;
}

void WindowWork::Started(std::uint64_t id, const std::stop_source& stop) {
  const std::lock_guard lock(shared_->mutex);
  if (const auto running = shared_->running.find(id); running != shared_->running.end()) {
    running->second = stop;
  }
}

void WindowWork::Ended(std::uint64_t id, std::function<void()> deliver) {
  // The window's side runs it only while results are still wanted; the work's side says it has
  // ended only once its result is on its way, so that waiting for it means it touches nothing more.
  post_([shared = shared_, deliver = std::move(deliver)] {
    bool wanted = false;
    {
      const std::lock_guard lock(shared->mutex);
      wanted = shared->delivering;
    }
    if (wanted) {
      deliver();
    }
  });
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->running.erase(id);
  }
  shared_->ended.notify_all();
}

void WindowWork::StopAll() {
  const std::lock_guard lock(shared_->mutex);
  for (auto& [id, stop] : shared_->running) {
    stop.request_stop();
  }
}

void WindowWork::StopAndWait() {
  StopAll();
  std::unique_lock lock(shared_->mutex);
  shared_->ended.wait(lock, [this] { return shared_->running.empty(); });
  shared_->delivering = false;
}

}  // namespace quorvane
