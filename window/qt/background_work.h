#pragma once

#include <QObject>

#include <cstdint>       // std::uint64_t
#include <map>           // std::map
#include <memory>        // std::make_shared, std::shared_ptr
#include <new>           // std::bad_alloc
#include <stop_token>    // std::stop_source, std::stop_token
#include <system_error>  // std::system_error
#include <thread>        // std::jthread
#include <type_traits>   // std::invoke_result_t
#include <utility>       // std::move

#include "platform/failure.h"

namespace quorvane {

// Work done beside the window, each piece on a thread of its own, its result handed back on the
// window's thread. Whatever is still running when this goes is asked to stop and waited for, so
// no thread outlives the window.
class BackgroundWork final : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundWork(QObject* parent = nullptr);
  ~BackgroundWork() override;

  // Runs `work(stop_token)` on a thread of its own, then `done(result)` on this object's thread,
  // from its event loop: later, even when the work was stopped. `work` returns a
  // platform::Result, which is the kOutOfMemory failure where it runs out of memory; it must
  // throw nothing else, and hold nothing of the window's but what outlives it (the services,
  // its own copies). The source returned is the way to ask the work to stop.
  template <typename Work, typename Done>
  std::stop_source Run(Work work, Done done);

  // Asks every piece of work still running to stop.
  void StopAll();

 private:
  // Hands `result` to `done` on this object's thread, once the thread `id` is over.
  template <typename Result, typename Done>
  void Deliver(std::uint64_t id, std::shared_ptr<Done> done, std::shared_ptr<Result> result);
  void Finished(std::uint64_t id);

  std::uint64_t last_id_ = 0;
  std::map<std::uint64_t, std::jthread> threads_;
};

template <typename Work, typename Done>
std::stop_source BackgroundWork::Run(Work work, Done done) {
  using Result = std::invoke_result_t<Work&, std::stop_token>;
  const std::uint64_t id = ++last_id_;
  auto shared_work = std::make_shared<Work>(std::move(work));
  auto shared_done = std::make_shared<Done>(std::move(done));
  const auto run = [shared_work](std::stop_token stop) {
    return std::make_shared<Result>(
        platform::CatchOutOfMemory([&] { return (*shared_work)(std::move(stop)); }));
  };
  try {
    std::jthread& thread = threads_[id];
    thread = std::jthread([this, id, run, shared_done](std::stop_token stop) {
      Deliver(id, shared_done, run(std::move(stop)));
    });
    return thread.get_stop_source();
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  // No thread to be had: the work is done here and now, and its result still comes later.
  threads_.erase(id);
  std::stop_source stop;
  Deliver(id, shared_done, run(stop.get_token()));
  return stop;
}

template <typename Result, typename Done>
void BackgroundWork::Deliver(std::uint64_t id, std::shared_ptr<Done> done,
                             std::shared_ptr<Result> result) {
  QMetaObject::invokeMethod(
      this,
      [this, id, done, result] {
        Finished(id);
        (*done)(std::move(*result));
      },
      Qt::QueuedConnection);
}

}  // namespace quorvane
