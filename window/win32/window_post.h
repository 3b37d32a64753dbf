#pragma once

#include <windows.h>

#include <deque>       // std::deque
#include <functional>  // std::function
#include <memory>      // std::shared_ptr
#include <mutex>       // std::mutex

#include "window/model/window_work.h"

namespace quorvane::win32 {

// Closures handed to the window's thread from any other: each is queued here and the window is
// woken by kMessage to run what is queued. What is queued once the window has gone is dropped
// with the queue, never run.
class WindowPost {
 public:
  static constexpr UINT kMessage = WM_APP + 1;

  // The function WindowWork hands its results with.
  WindowWork::Post Post() const;

  // The window to wake from now on; null once it is going, after which nothing wakes it.
  void WakeWindow(HWND window);

  // Runs what is queued, on the window's thread, when kMessage comes.
  void RunQueued() const;

 private:
  struct Queue {
    std::mutex mutex;
    std::deque<std::function<void()>> closures;
    HWND window = nullptr;
  };
  // Shared with every Post() handed out, which may outlive the window.
  std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();
};

}  // namespace quorvane::win32
