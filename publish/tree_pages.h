#pragma once

#include <functional>  // std::function
#include <memory>      // std::shared_ptr
#include <mutex>       // std::mutex
#include <optional>    // std::optional
#include <set>         // std::set
#include <string>      // std::string
#include <utility>     // std::pair
#include <vector>      // std::vector

#include "index/index_page_writer.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/regional.h"
#include "publish/page_batch.h"
#include "publish/page_writers.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// The pages of a tree, so that with links each links only to pages that are there once the run
// is done. A folder's page is handed on as the walk leaves the folder, once the pages of all its
// sub-folders are handed on, and waits for theirs to be made: a sub-folder that could not be
// entered, or whose page failed, is not linked. The walk keeps no more folders open for it, and
// the pages are sealed into batches as before. Where a page fails only as it is put in place, or
// fails while the pages below link up to it, and no old page is there instead, the pages that
// link to it are written again once the run is done.
class TreePages {
 public:
  // Writes the page of a listing with its links, sealed into a batch when one is given.
  using Make =
      std::function<platform::Result<>(Listing&, const FolderLinks&, bool top, PageBatch* batch)>;
  // Given the failure of the page of the folder at `below`.
  using Fail = std::function<void(const platform::Failure&, const std::string& below)>;

  // The pages of the tree at `top`, walked by `rules`, linked where `links`.
  TreePages(std::shared_ptr<const platform::Folder> top, const NameRules& rules,
            const platform::Regional& regional, bool links, Make make, Fail fail);

  // For the walk: a folder listed, before those below it; gives how far its page has got.
  std::shared_ptr<PageOutcome> Arrive(Listing& listing);
  // For the walk: the folder last arrived at and not left, with all below it done; gives the job
  // of its page, none where it could not be opened again.
  std::optional<PageJob> Leave(std::shared_ptr<const platform::Folder> folder);
  // Writes the page of `job` into `batch` once its sub-folders' pages are made or have failed.
  // On the page writers' threads.
  void Write(PageJob& job, PageBatch& batch);
  // Gives up the page of `job`, unwritten, for a run that stops.
  void Skip(PageJob& job);
  // The page at `path` failed as it was put in place.
  void PlaceFailed(const std::string& path);
  // Once all is placed, writes again each page that links to a page that failed and is not there.
  void Mend();

 private:
  struct Arrived {
    Listing listing;  // without its folder, which is not kept open meanwhile
    std::vector<SubFolderPage> below;
    std::shared_ptr<PageOutcome> outcome;
  };

  void Failed(const std::string& below, bool late);
  bool FailedAt(const std::string& below) const;
  void LinkedTo(const std::string& below, bool late, std::set<std::string>& again) const;
  platform::Result<std::shared_ptr<const platform::Folder>> OpenBelow(
      const std::string& below) const;
  platform::Result<> WriteAgain(const std::string& below);

  const std::shared_ptr<const platform::Folder> top_;
  const NameRules& rules_;
  const platform::Regional& regional_;
  const bool links_;
  const Make make_;
  const Fail fail_;
  std::vector<Arrived> arrived_;  // the folders on the walk's way down, the top first
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, bool>> failed_;  // where, and whether as it was placed
};

}  // namespace quorvane::tool
