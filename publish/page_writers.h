#pragma once

#include <condition_variable>  // std::condition_variable
#include <cstddef>             // std::size_t
#include <deque>               // std::deque
#include <functional>          // std::function
#include <mutex>               // std::mutex

#include "index/index_page_writer.h"
#include "platform/executor.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// The page of one folder a walk reached.
struct PageJob {
  Listing listing;
  FolderLinks links;
  bool top = false;  // the page of a FOLDER named on the command line
};

// Threads that write the pages a walk finds while it goes on, from `executor`. At most so many
// pages wait, each holding its folder open, so that the walk cannot open folders without bound
// ahead of them. Where no thread can be had, the pages are written as they come.
class PageWriters {
 public:
  PageWriters(const platform::Executor& executor, int threads, std::size_t waiting_at_most,
              std::function<void(PageJob&)> write);
  PageWriters(const PageWriters&) = delete;
  PageWriters& operator=(const PageWriters&) = delete;
  // Writes what is still waiting.
  ~PageWriters();

  // Hands over a page, waiting while too many wait.
  void Add(PageJob job);

 private:
  void Work();
  void Finish();

  const std::size_t waiting_at_most_;
  const std::function<void(PageJob&)> write_;
  std::mutex mutex_;
  std::condition_variable work_;  // a page waits, or all are in
  std::condition_variable room_;  // fewer pages wait than may
  std::deque<PageJob> waiting_;
  bool done_ = false;
  int threads_ = 0;
  platform::TaskGroup writers_;  // last, so that they end first
};

}  // namespace quorvane::tool
