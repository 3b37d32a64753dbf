#pragma once

#include <condition_variable>  // std::condition_variable
#include <cstddef>             // std::size_t
#include <functional>          // std::function
#include <list>                // std::list
#include <memory>              // std::shared_ptr
#include <mutex>               // std::mutex
#include <stop_token>          // std::stop_source, std::stop_token
#include <thread>              // std::jthread

namespace quorvane::platform {

// The threads of a process, in one bounded pool: a thread is started only when work comes and
// none is idle, up to the most given, and kept until the executor goes, so that a run starts its
// threads once whatever its size. Each task is given a stop token of its own, requested when its
// source is or when the executor goes; the executor waits for every task before it goes. Safe to
// use from several threads at once. Declared after what its tasks work on, so that it ends first.
class Executor {
 public:
  using Task = std::function<void(std::stop_token)>;

  explicit Executor(std::size_t most_threads);
  Executor(const Executor&) = delete;
  Executor& operator=(const Executor&) = delete;
  ~Executor();

  // Runs `task` now on an idle thread, or on a new one while fewer than the most run. False,
  // with nothing run, when every thread is busy or the system gives no more: the caller then
  // does the work itself. For work that others wait on, which must never wait in a queue.
  bool TryRun(Task task) const;

  // Runs `task` on a thread as soon as one is free; the source returned stops it. Where no
  // thread can be had at all, the task runs here and now.
  std::stop_source Run(Task task) const;

  // Asks every task queued or running to stop; new tasks still run.
  void StopAll() const;

  // How many threads have been started.
  std::size_t Started() const;

 private:
  struct Job {
    Task task;
    std::stop_source stop;
  };

  using Jobs = std::list<std::shared_ptr<Job>>;

  bool StartThread() const;  // under the lock
  // Queues `task` with a stop source of its own, under the lock.
  std::stop_source Queue(Task task) const;
  void Work() const;

  const std::size_t most_threads_;
  mutable std::mutex mutex_;
  mutable std::condition_variable work_;
  mutable Jobs queued_;  // moved to running_ as they start, without allocating on the way
  mutable Jobs running_;
  mutable std::size_t idle_ = 0;
  mutable bool ending_ = false;
  mutable std::list<std::jthread> threads_;  // last, so that they end first
};

// Tasks run on an executor that one owner waits for: each is run on a thread of the executor
// where one can be had at once, else by the owner itself; Wait() returns once all have ended.
class TaskGroup {
 public:
  explicit TaskGroup(const Executor& executor) : executor_(executor) {}
  TaskGroup(const TaskGroup&) = delete;
  TaskGroup& operator=(const TaskGroup&) = delete;
  ~TaskGroup() { Wait(); }

  // Runs `task` on a thread of the executor, or here and now where none can be had at once.
  void Run(std::function<void()> task);
  // Runs `task` on a thread of the executor; false, with nothing run, where none can be had.
  bool TryRun(std::function<void()> task);
  void Wait();

 private:
  const Executor& executor_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::size_t running_ = 0;
};

}  // namespace quorvane::platform
