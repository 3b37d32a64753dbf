#pragma once

#include <atomic>      // std::atomic
#include <cstddef>     // std::size_t
#include <functional>  // std::function
#include <memory>      // std::shared_ptr
#include <mutex>       // std::mutex
#include <optional>    // std::optional
#include <string>      // std::string
#include <vector>      // std::vector

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/services.h"
#include "publish/console.h"
#include "publish/page_batch.h"
#include "publish/page_maker.h"
#include "publish/page_writers.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// How many folders a walk keeps open and how many sealed pages wait for the disk together, so
// that a run stays within the descriptors it may have open however the tree is shaped.
struct Budget {
  std::size_t open_folders;
  std::size_t sealed_pages;  // each holds three: the new page, its folder, the old page
};
Budget DescriptorBudget();

// The links of the page of `folder` in a tree, with -s: up, but from a FOLDER named (`top`) only
// to a page there is, and down to the sub-folders `down`. None without -s.
FolderLinks TreeLinks(const ToolOptions& options, const platform::Folder& folder, bool top,
                      std::vector<std::string> down);

// What became of the page of one folder.
struct PageOutcome {
  std::string folder;                        // the folder's path
  std::optional<platform::Failure> failure;  // none: the page is in place, written or kept
};

// The pages of a tree, or of some of its folders, written as a run down a tree writes them: by
// threads beside the walk, sealed, and put in place in batches that wait for the disk once.
class TreePages {
 public:
  // `fail` is given each failure, but those of pages followed (see Follow()).
  TreePages(PageMaker& maker, const platform::Services& services, Console& console,
            const NameRules& rules, TreeWalk::Fail fail, bool compare = false);
  TreePages(const TreePages&) = delete;
  TreePages& operator=(const TreePages&) = delete;
  ~TreePages() { Finish(); }

  using Listed = std::function<void(const Listing&)>;
  using Ended = std::function<void(const PageOutcome&)>;
  // Tells of each folder a walk comes to, `opened` once it is open and before it is read,
  // `listed` once it is read; and `ended` of what became of each page (its failure goes there
  // rather than to `fail`), on the thread that walks, writes and finishes, as it goes.
  void Follow(TreeWalk::Opened opened, Listed listed, Ended ended);
  // Writes no page more, and ends a walk, once `stop` is set; the pages begun are finished.
  void StopWhen(const std::atomic<bool>& stop) { stop_ = &stop; }

  // Writes the page of `folder` and of every folder below it; `top`: a FOLDER named.
  void Walk(std::shared_ptr<const platform::Folder> folder, bool top);
  // Writes the page of a folder read already.
  void Write(Listing listing, FolderLinks links, bool top);
  // Puts every page in place.
  void Finish();

 private:
  void WritePage(PageJob& job);
  void Placed(const SealedPage& page);
  void Unplaced(const SealedPage& page, const platform::Failure& failure);
  void Keep(PageOutcome outcome);
  void TellEnded();
  bool Stopped() const { return stop_ != nullptr && stop_->load(); }

  PageMaker& maker_;
  const platform::Services& services_;
  Console& console_;
  const NameRules& rules_;
  const TreeWalk::Fail fail_;
  const bool compare_;
  const Budget budget_;
  const std::atomic<bool>* stop_ = nullptr;
  TreeWalk::Opened opened_;
  Listed listed_;
  Ended ended_;
  std::mutex mutex_;
  std::vector<PageOutcome> outcomes_;  // of pages followed, until told
  PageBatch batch_;
  std::optional<PageWriters> writers_;  // last, so that they end first
};

}  // namespace quorvane::tool
