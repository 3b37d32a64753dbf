#include "publish/page_writers.h"

#include <algorithm>  // std::clamp
#include <utility>    // std::move

#include "platform/file_system.h"

namespace quorvane::tool {
namespace {

// Descriptors kept for all else: the standard ones, each writer's page, a listing, the opener.
constexpr std::size_t kDescriptorsKept = 32 + kPageWriters * 6 + kPagesWaiting;

}  // namespace

Budget DescriptorBudget() {
  const std::size_t total = platform::OpenFilesAllowed();
  const std::size_t left = total > kDescriptorsKept + 4 ? total - kDescriptorsKept : 4;
  const std::size_t open_folders = std::clamp<std::size_t>(left / 4, 1, 64);
  // Two batches at most, one filling while the other is placed.
  return {open_folders, std::clamp<std::size_t>((left - open_folders) / 6, 1, 1024)};
}

void PageOutcome::Settle(PageState state) {
  {
    const std::lock_guard lock(mutex_);
    state_ = state;
  }
  settled_.notify_all();
}

PageState PageOutcome::Wait() const {
  std::unique_lock lock(mutex_);
  settled_.wait(lock, [this] { return state_ != PageState::kPending; });
  return state_;
}

PageWriters::PageWriters(const platform::Executor& executor, int threads,
                         std::size_t waiting_at_most, std::function<void(PageJob&)> write)
    : waiting_at_most_(waiting_at_most < 1 ? 1 : waiting_at_most),
      write_(std::move(write)),
      writers_(executor) {
  for (; threads_ < threads; ++threads_) {
    if (!writers_.TryRun([this] { Work(); })) {
      break;  // the threads there are will do; with none, Add() writes each page itself
    }
  }
}

PageWriters::~PageWriters() {
  Finish();
  writers_.Wait();
}

void PageWriters::Finish() {
  {
    const std::lock_guard lock(mutex_);
    done_ = true;
  }
  work_.notify_all();
}

void PageWriters::Add(PageJob job) {
  if (threads_ == 0) {
    write_(job);
    return;
  }
  std::unique_lock lock(mutex_);
  room_.wait(lock, [this] { return waiting_.size() < waiting_at_most_; });
  waiting_.push_back(std::move(job));
  lock.unlock();
  work_.notify_one();
}

void PageWriters::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return !waiting_.empty() || done_; });
    if (waiting_.empty()) {
      return;
    }
    PageJob job = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    room_.notify_one();
    write_(job);
    job = PageJob();  // its folder closed before the next is taken
    lock.lock();
  }
}

}  // namespace quorvane::tool
