#include "index/facts_reader.h"

#include <algorithm>  // std::min
#include <chrono>     // std::chrono::steady_clock
#include <utility>    // std::move

namespace quorvane {
namespace {

constexpr std::size_t kBlock = 16;        // names a worker reads in one go
constexpr std::size_t kRing = 1024;       // blocks read ahead of the writer at most
constexpr std::size_t kMaxWorkers = 64;   // reads in flight on a slow file system
constexpr std::size_t kFirstWorkers = 2;  // enough for a local disk
// A read that takes longer than this waited for the file system. When most reads of a block do,
// the file system answers slowly; a thread merely paused by the scheduler delays only one.
constexpr auto kSlowRead = std::chrono::microseconds(50);

}  // namespace

FactsReader::FactsReader(const platform::FactsSource& facts, const NameList& names,
                         const platform::Executor& executor, std::stop_token stop)
    : facts_(facts),
      names_(names),
      blocks_((names.Size() + kBlock - 1) / kBlock),
      ring_(std::max<std::size_t>(std::min(blocks_, kRing), 1)),
      results_(std::make_unique<Facts[]>(ring_ * kBlock)),
      ready_(std::make_unique<std::atomic<std::size_t>[]>(ring_)),
      stopped_by_user_(std::move(stop)),
      reads_(executor) {
  // A short list is read by the writer itself: starting threads would cost more.
  if (blocks_ > 2) {
    AddWorkers(kFirstWorkers);
  }
}

FactsReader::~FactsReader() {
  StopWorkers();
  reads_.Wait();
}

void FactsReader::StopWorkers() {
  stop_.store(true);
  next_block_.store(blocks_);
  writer_block_.store(blocks_ + ring_);
  Notify(writer_moved_);
}

void FactsReader::AddWorkers(std::size_t count) {
  for (std::size_t i = 0; i < count && workers_ < kMaxWorkers; ++i) {
    if (!reads_.TryRun([this] { Work(); })) {
      return;  // the threads there are will do, or the writer reads for itself
    }
    ++workers_;
  }
}

// Where a thread of its own reads them, running out of memory ends no more than the one read.
FactsReader::Facts FactsReader::Read(std::size_t position) const {
  return platform::CatchOutOfMemory([&] { return facts_.ReadFacts(names_.CString(position)); });
}

void FactsReader::Work() {
  for (;;) {
    const std::size_t block = next_block_.fetch_add(1);
    if (block >= blocks_) {
      return;
    }
    // Wait for the ring slot: the writer must have moved past the block that held it.
    if (block >= writer_block_.load() + ring_) {
      std::unique_lock lock(mutex_);
      writer_moved_.wait(lock, [&] { return block < writer_block_.load() + ring_; });
    }
    ReadBlock(block);
  }
}

void FactsReader::ReadBlock(std::size_t block) {
  const std::size_t first = block * kBlock;
  const std::size_t end = std::min(first + kBlock, names_.Size());
  Facts* results = &results_[block % ring_ * kBlock];
  std::size_t slow_reads = 0;
  auto before = std::chrono::steady_clock::now();
  // Once stopped, the block is handed over unread, so that a writer waiting for it wakes.
  for (std::size_t i = first; i < end && !Stopped(); ++i) {
    results[i - first] = Read(i);
    const auto after = std::chrono::steady_clock::now();
    slow_reads += after - before > kSlowRead ? 1 : 0;
    before = after;
  }
  if (slow_reads * 2 > end - first) {
    slow_.store(true, std::memory_order_relaxed);
  }
  ready_[block % ring_].store(block + 1, std::memory_order_release);
  Notify(ready_changed_);
}

// The one who waits tests what it waits for under the lock, so a change made before the lock is
// taken here is either seen by it or woken to: no wake-up is lost.
void FactsReader::Notify(std::condition_variable& changed) {
  { const std::lock_guard lock(mutex_); }
  changed.notify_all();
}

bool FactsReader::Stopped() const {
  return stop_.load(std::memory_order_relaxed) || stopped_by_user_.stop_requested();
}

platform::Result<platform::FileFacts> FactsReader::Get(std::size_t position) {
  const std::size_t block = position / kBlock;
  if (workers_ == 0) {
    return facts_.ReadFacts(names_.CString(position));
  }
  if (block != writer_block_.load(std::memory_order_relaxed)) {
    writer_block_.store(block);
    Notify(writer_moved_);
  }
  const std::atomic<std::size_t>& ready = ready_[block % ring_];
  const auto is_ready = [&] { return ready.load(std::memory_order_acquire) == block + 1; };
  // Waiting on a slow file system: all the reads in flight it takes hide its delay.
  const auto may_grow = [&] { return may_grow_ && slow_.load(std::memory_order_relaxed); };
  while (!is_ready()) {
    if (may_grow()) {
      AddWorkers(kMaxWorkers);
      may_grow_ = false;
      continue;
    }
    std::unique_lock lock(mutex_);
    ready_changed_.wait(lock, [&] { return is_ready() || may_grow(); });
  }
  return std::move(results_[block % ring_ * kBlock + position % kBlock]);
}

}  // namespace quorvane
