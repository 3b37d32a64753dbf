#include "publish/page_batch.h"

#include <algorithm>  // std::min
#include <map>        // std::map
#include <utility>    // std::move

namespace quorvane::tool {
namespace {

// Threads that release the pages replaced, at most.
constexpr std::size_t kReleasers = 16;

}  // namespace

void PageBatch::Add(SealedPage page) {
  std::unique_lock lock(mutex_);
  // One batch fills while another is placed, and no more: each page holds files open.
  room_.wait(lock, [this] { return pages_.size() < capacity_; });
  pages_.push_back(std::move(page));
  while (pages_.size() >= capacity_ && !placing_) {
    placing_ = true;
    std::vector<SealedPage> full;
    full.swap(pages_);
    room_.notify_all();
    // Outside the lock, so that the other threads go on sealing pages meanwhile.
    lock.unlock();
    Place(full);
    lock.lock();
    placing_ = false;
  }
}

void PageBatch::Flush() {
  std::vector<SealedPage> rest;
  {
    const std::lock_guard lock(mutex_);
    rest.swap(pages_);
  }
  Place(rest);
}

void PageBatch::Place(std::vector<SealedPage>& pages) {
  // One wait for each file system; when it fails, every page there fails with its words.
  std::map<std::uint64_t, platform::Result<>> synced;
  for (SealedPage& page : pages) {
    auto [volume, first] = synced.try_emplace(page.output->Volume());
    if (first) {
      volume->second = page.output->SyncVolume();
    }
    platform::Result<> placed = volume->second;
    if (placed) {
      placed = page.output->Place();
    } else if (!first) {
      placed = platform::Failure(platform::Step::kWritePage, page.path, placed.Error().error);
    }
    if (placed) {
      placed_(page);
    } else {
      failed_(page, placed.Error());
    }
  }
  ReleaseAll(pages);
}

void PageBatch::ReleaseAll(std::vector<SealedPage>& pages) {
  // An old page's space goes back with its last descriptor, and where the file system tells the
  // disk of every block freed that waits for the disk each time: many at once wait far less.
  const std::size_t count = std::min(kReleasers, pages.size());
  {
    platform::TaskGroup releasers(executor_);
    for (std::size_t first = 0; first < count; ++first) {
      releasers.Run([&pages, first, count] {
        for (std::size_t i = first; i < pages.size(); i += count) {
          pages[i].output.reset();
        }
      });
    }
  }
  pages.clear();
}

}  // namespace quorvane::tool
