#pragma once

#include <atomic>              // std::atomic
#include <condition_variable>  // std::condition_variable
#include <cstddef>             // std::size_t
#include <memory>              // std::unique_ptr
#include <mutex>               // std::mutex
#include <stop_token>          // std::stop_token

#include "index/name_list.h"
#include "platform/executor.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane {

// Reads the facts of the files of a list ahead of the one who writes them, on threads of its
// own, and hands them over in list order. Where the file system answers slowly (over a network)
// it keeps many reads in flight at once; a local disk needs only a couple.
class FactsReader {
 public:
  // `facts` and `names` must outlive the reader and stay as they are; the reads run on threads of
  // `executor`. Once `stop` is requested no new read starts: what Get() hands over from then on
  // is not to be used.
  FactsReader(const platform::FactsSource& facts, const NameList& names,
              const platform::Executor& executor, std::stop_token stop = {});
  FactsReader(const FactsReader&) = delete;
  FactsReader& operator=(const FactsReader&) = delete;
  // Stops the reads still to come and waits for those under way.
  ~FactsReader();

  // The facts of the name at `position`, asked for in ascending order, or why they cannot be
  // read (running out of memory on the way too).
  platform::Result<platform::FileFacts> Get(std::size_t position);

 private:
  using Facts = platform::Result<platform::FileFacts>;

  Facts Read(std::size_t position) const;
  void Work();
  void ReadBlock(std::size_t block);
  bool Stopped() const;
  void StopWorkers();
  void AddWorkers(std::size_t count);
  // Wakes those who wait on `changed` for what was just stored.
  void Notify(std::condition_variable& changed);

  const platform::FactsSource& facts_;
  const NameList& names_;
  std::size_t blocks_;
  std::size_t ring_;  // blocks read ahead of the writer at most
  // A ring of blocks: a block's results stay until the writer has moved past the block.
  std::unique_ptr<Facts[]> results_;
  std::unique_ptr<std::atomic<std::size_t>[]> ready_;  // per ring slot: its block number + 1
  std::atomic<std::size_t> next_block_{0};             // the next block for a worker to take
  std::atomic<std::size_t> writer_block_{0};           // the block the writer is in
  std::atomic<bool> slow_{false};
  std::atomic<bool> stop_{false};
  const std::stop_token stopped_by_user_;
  bool may_grow_ = true;     // the writer's: whether more workers can still be added
  std::size_t workers_ = 0;  // the writer's: how many were started
  // Waits go through a lock rather than std::atomic::wait, which can miss a wake-up where the
  // C++ library has no system call for it (mingw-w64's, for one).
  std::mutex mutex_;
  std::condition_variable ready_changed_;  // a block is ready
  std::condition_variable writer_moved_;   // the writer is in another block
  platform::TaskGroup reads_;              // last, so that they end first
};

}  // namespace quorvane
