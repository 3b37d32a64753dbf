#include "window/win32/window_post.h"

#include <utility>  // std::move

namespace quorvane::win32 {

WindowWork::Post WindowPost::Post() const {
  return [queue = queue_](std::function<void()> closure) {
    const std::lock_guard lock(queue->mutex);
    queue->closures.push_back(std::move(closure));
    if (queue->window != nullptr) {
      PostMessageW(queue->window, kMessage, 0, 0);
    }
  };
}

void WindowPost::WakeWindow(HWND window) {
  const std::lock_guard lock(queue_->mutex);
  queue_->window = window;
  if (window != nullptr && !queue_->closures.empty()) {
    PostMessageW(window, kMessage, 0, 0);
  }
}

void WindowPost::RunQueued() const {
  for (;;) {
    std::function<void()> closure;
    {
      const std::lock_guard lock(queue_->mutex);
      if (queue_->closures.empty()) {
        return;
      }
      closure = std::move(queue_->closures.front());
      queue_->closures.pop_front();
    }
    closure();  // outside the lock: it may post more
  }
}

}  // namespace quorvane::win32
