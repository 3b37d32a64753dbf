#include "window/qt/background_work.h"

namespace quorvane {

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) {}

BackgroundWork::~BackgroundWork() {
  // All are asked before any is waited for, so that they end together.
  StopAll();
  threads_.clear();
}

void BackgroundWork::StopAll() {
  for (auto& [id, thread] : threads_) {
    thread.request_stop();
  }
}

void BackgroundWork::Finished(std::uint64_t id) {
  // The thread has handed its result over; what is left of it ends at once.
  threads_.erase(id);
}

}  // namespace quorvane
