#include "platform/executor.h"

#include <new>           // std::bad_alloc
#include <system_error>  // std::system_error
#include <utility>       // std::move

#include "platform/temporary_names.h"

namespace quorvane::platform {

Executor::Executor(std::size_t most_threads) : most_threads_(most_threads < 1 ? 1 : most_threads) {}

Executor::~Executor() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  StopAll();
  work_.notify_all();
  // What is still queued runs, told to stop, so that whoever waits for it is answered.
  std::list<std::jthread> threads;
  {
    const std::lock_guard lock(mutex_);
    threads.swap(threads_);
  }
  threads.clear();
}

bool Executor::StartThread() const {
  if (threads_.size() >= most_threads_) {
    return false;
  }
  try {
    threads_.emplace_back([this] { Work(); });
    return true;
  } catch (const std::system_error&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool Executor::TryRun(Task task) const {
  const std::lock_guard lock(mutex_);
  if (idle_ <= queued_.size() && !StartThread()) {
    return false;
  }
  Queue(std::move(task));
  return true;
}

std::stop_source Executor::Run(Task task) const {
  std::unique_lock lock(mutex_);
  if (idle_ <= queued_.size() && !StartThread() && threads_.empty()) {
    lock.unlock();
    std::stop_source stop;
    task(stop.get_token());
    return stop;
  }
  return Queue(std::move(task));
}

std::stop_source Executor::Queue(Task task) const {
  queued_.push_back(std::make_shared<Job>(Job{std::move(task), {}}));
  work_.notify_one();
  return queued_.back()->stop;
}

void Executor::StopAll() const {
  const std::lock_guard lock(mutex_);
  for (const Jobs* jobs : {&queued_, &running_}) {
    for (const std::shared_ptr<Job>& job : *jobs) {
      job->stop.request_stop();
    }
  }
}

std::size_t Executor::Started() const {
  const std::lock_guard lock(mutex_);
  return threads_.size();
}

void Executor::Work() const {
  KeepCleanUpSignalsAway();
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    work_.wait(lock, [this] { return !queued_.empty() || ending_; });
    --idle_;
    if (queued_.empty()) {
      return;
    }
    running_.splice(running_.begin(), queued_, queued_.begin());
    const Jobs::iterator job = running_.begin();
    if (ending_) {
      (*job)->stop.request_stop();
    }
    lock.unlock();
    (*job)->task((*job)->stop.get_token());
    lock.lock();
    running_.erase(job);
  }
}

void TaskGroup::Run(std::function<void()> task) {
  auto shared = std::make_shared<std::function<void()>>(std::move(task));
  if (!TryRun([shared] { (*shared)(); })) {
    (*shared)();
  }
}

bool TaskGroup::TryRun(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    ++running_;
  }
  const bool started = executor_.TryRun([this, task = std::move(task)](std::stop_token) {
    task();
    {
      const std::lock_guard lock(mutex_);
      --running_;
    }
    done_.notify_all();
  });
  if (!started) {
    const std::lock_guard lock(mutex_);
    --running_;
  }
  return started;
}

void TaskGroup::Wait() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return running_ == 0; });
}

}  // namespace quorvane::platform
