#pragma once

#include <atomic>      // std::atomic
#include <functional>  // std::function
#include <map>         // std::map
#include <memory>      // std::shared_ptr, std::unique_ptr
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
#include "publish/tree_pages.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// What became of the page of one folder.
struct PageReport {
  std::string folder;                        // the folder's path
  std::optional<platform::Failure> failure;  // none: the page is in place, written or kept
};

// The pages of a run down trees, or of some of their folders: written by threads beside the
// walk, sealed, and put in place in batches that wait for the disk once, each linking only to the
// pages there are (see TreePages).
class PageRun {
 public:
  // `fail` is given each failure, but those of the pages followed (see Follow()); with
  // `compare`, a page is kept where only its date and seconds would change, as with -u.
  PageRun(PageMaker& maker, const platform::Services& services, Console& console,
          const NameRules& rules, TreeWalk::Fail fail, bool compare = false);
  PageRun(const PageRun&) = delete;
  PageRun& operator=(const PageRun&) = delete;
  ~PageRun() { Finish(); }

  using Listed = std::function<void(const Listing&)>;
  using Ended = std::function<void(const PageReport&)>;
  // Tells of each folder a walk comes to, `opened` once it is open and before it is read,
  // `listed` once it is read; and `ended` of what became of each page (its failure goes there
  // rather than to `fail`), on the thread that walks, writes and finishes, as it goes.
  void Follow(TreeWalk::Opened opened, Listed listed, Ended ended);
  // Writes no page more, and ends a walk, once `stop` is set; the pages begun are finished.
  void StopWhen(const std::atomic<bool>& stop) { stop_ = &stop; }

  // Writes the page of `folder`, at `below` in the tree whose top is `top`, and of every folder
  // below it; gives how far the page of `folder` has got, none where it could not be read.
  std::shared_ptr<PageOutcome> Walk(const std::shared_ptr<const platform::Folder>& top,
                                    std::shared_ptr<const platform::Folder> folder,
                                    std::string below = {});
  // Writes the page of a folder read already, in the tree whose top is `top`, linking to the
  // pages of `subfolders` that are made; gives how far it has got.
  std::shared_ptr<PageOutcome> Write(const std::shared_ptr<const platform::Folder>& top,
                                     Listing listing, std::vector<SubFolderPage> subfolders);
  // Puts every page in place, then writes again those that link to a page that failed.
  void Finish();

 private:
  TreePages& TreeOf(const std::shared_ptr<const platform::Folder>& top);
  void WritePage(PageJob& job);
  platform::Result<> Make(Listing& listing, const FolderLinks& links, bool top, PageBatch* batch);
  void Placed(const SealedPage& page);
  void Unplaced(const SealedPage& page, const platform::Failure& failure);
  void Keep(PageReport report);
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
  std::map<std::string, std::unique_ptr<TreePages>> trees_;  // by their tops' paths
  std::vector<PageReport> reports_;                          // of pages followed, until told
  PageBatch batch_;
  std::optional<PageWriters> writers_;  // last, so that they end first
};

}  // namespace quorvane::tool
