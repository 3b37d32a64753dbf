#pragma once

#include <condition_variable>  // std::condition_variable
#include <cstddef>             // std::size_t
#include <functional>          // std::function
#include <memory>              // std::unique_ptr
#include <mutex>               // std::mutex
#include <string>              // std::string
#include <vector>              // std::vector

#include "platform/executor.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::tool {

// A page sealed, waiting to go in place.
struct SealedPage {
  std::unique_ptr<platform::PageOutput> output;
  std::string path;
  bool open = false;  // to be opened once in place
};

// Pages that wait for the disk together: once it holds `capacity` sealed pages (and at Flush()),
// it waits once for each file system they are on, then puts each in place. At most twice
// `capacity` pages are held at once. A page is never in
// place before it is on disk, so that a crash cannot leave an empty page; one that fails keeps
// the old page. Safe to use from several threads at once.
class PageBatch {
 public:
  // `placed` is told of each page in place, `failed` of each that is not, with its failure; the
  // old pages are released on threads of `executor`.
  PageBatch(std::size_t capacity, const platform::Executor& executor,
            std::function<void(const SealedPage&)> placed,
            std::function<void(const SealedPage&, const platform::Failure&)> failed)
      : capacity_(capacity < 1 ? 1 : capacity),
        executor_(executor),
        placed_(std::move(placed)),
        failed_(std::move(failed)) {}

  // Takes a sealed page.
  void Add(SealedPage page);
  // Puts every page taken in place.
  void Flush();

 private:
  void Place(std::vector<SealedPage>& pages);
  void ReleaseAll(std::vector<SealedPage>& pages);

  const std::size_t capacity_;
  const platform::Executor& executor_;
  const std::function<void(const SealedPage&)> placed_;
  const std::function<void(const SealedPage&, const platform::Failure&)> failed_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::vector<SealedPage> pages_;
  bool placing_ = false;  // a full batch is being placed
};

}  // namespace quorvane::tool
