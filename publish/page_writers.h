#pragma once

#include <condition_variable>  // std::condition_variable
#include <cstddef>             // std::size_t
#include <deque>               // std::deque
#include <functional>          // std::function
#include <memory>              // std::shared_ptr
#include <mutex>               // std::mutex
#include <string>              // std::string
#include <vector>              // std::vector

#include "platform/executor.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// How far the page of a folder has got: a page made is sealed into a batch, left as it was, or
// only checked in a dry run.
enum class PageState { kPending, kMade, kFailed };

// What became of a page, settled once by its writer and awaited by the writers of the pages that
// link to it. A mutex and a condition rather than std::atomic::wait, whose wake-ups are lost now
// and then where the standard library has no futex to build it on (mingw-w64's GCC 12).
class PageOutcome {
 public:
  explicit PageOutcome(PageState state = PageState::kPending) : state_(state) {}
  void Settle(PageState state);
  PageState Wait() const;  // until settled

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable settled_;
  PageState state_;
};

// A sub-folder's page, which the page of its folder links to once made.
struct SubFolderPage {
  std::string name;
  std::shared_ptr<PageOutcome> outcome;
};

// Threads that write pages while a walk goes on, and pages that may wait for them.
inline constexpr int kPageWriters = 3;
inline constexpr std::size_t kPagesWaiting = 8;

// How many folders a walk keeps open and how many sealed pages wait for the disk together, so
// that the run stays within the descriptors it may have open however the tree is shaped.
struct Budget {
  std::size_t open_folders;
  std::size_t sealed_pages;  // each holds three: the new page, its folder, the old page
};

Budget DescriptorBudget();

class TreePages;

// The page of one folder a walk reached.
struct PageJob {
  Listing listing;
  std::vector<SubFolderPage> below;  // with links: the pages of the sub-folders walked
  std::shared_ptr<PageOutcome> outcome;
  bool top = false;           // the page of a FOLDER named on the command line
  TreePages* tree = nullptr;  // the pages of its tree, where a run writes more than one
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
