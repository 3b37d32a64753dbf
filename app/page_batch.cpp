#include "app/page_batch.h"

#include <algorithm>     // std::min
#include <map>           // std::map
#include <optional>      // std::optional
#include <system_error>  // std::system_error
#include <thread>        // std::thread
#include <utility>       // std::move

#include "platform/failure.h"

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
  std::map<std::uint64_t, std::optional<std::error_code>> sync_failed;
  for (SealedPage& page : pages) {
    const auto [volume, first] = sync_failed.try_emplace(page.output->Volume());
    try {
      if (first) {
        try {
          page.output->SyncVolume();
        } catch (const platform::Failure& failure) {
          volume->second = failure.Error();
          throw;
        }
      } else if (volume->second) {
        throw platform::Failure(platform::Step::kWritePage, page.path, *volume->second);
      }
      page.output->Place();
      placed_(page);
    } catch (const platform::Failure& failure) {
      failed_(failure.what());
    }
  }
  ReleaseAll(pages);
}

void PageBatch::ReleaseAll(std::vector<SealedPage>& pages) {
  // An old page's space goes back with its last descriptor, and where the file system tells the
  // disk of every block freed that waits for the disk each time: many at once wait far less.
  const std::size_t count = std::min(kReleasers, pages.size());
  std::vector<std::thread> releasers;
  for (std::size_t first = 0; first < count; ++first) {
    const auto release = [&pages, first, count] {
      for (std::size_t i = first; i < pages.size(); i += count) {
        pages[i].output.reset();
      }
    };
    try {
      releasers.emplace_back(release);
    } catch (const std::system_error&) {
      release();
    }
  }
  for (std::thread& releaser : releasers) {
    releaser.join();
  }
  pages.clear();
}

}  // namespace quorvane::tool
