#pragma once

#include <atomic>      // std::atomic
#include <functional>  // std::less
#include <map>         // std::map
#include <memory>      // std::shared_ptr, std::unique_ptr
#include <set>         // std::set
#include <string>      // std::string
#include <vector>      // std::vector

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/folder_watch.h"
#include "platform/services.h"
#include "publish/command_line.h"
#include "publish/console.h"
#include "publish/page_maker.h"
#include "publish/page_run.h"
#include "publish/page_writers.h"
#include "publish/tree_tops.h"
#include "publish/tree_walk.h"
#include "publish/watched_folders.h"

namespace quorvane::tool {

// The trees a watch keeps current: each folder as it was last read, watched, and its page written
// again as the folder changes, the way a run down the tree writes it. Every call is made from one
// thread; `stop`, once set, ends what is under way after the pages begun.
class WatchedTrees {
 public:
  WatchedTrees(const ToolOptions& options, const platform::Services& services, Console& console,
               platform::FolderWatch& watch, const std::atomic<bool>& stop);

  // Opens the FOLDER named `folder` as the top of a tree; false, told, where it cannot.
  bool AddTop(const std::string& folder);
  bool Empty() const { return tops_.Empty(); }

  // Reads every tree whole, watching each folder, and writes every page; with `compare`, only
  // those that changed but for their date and seconds.
  void ReadWhole(bool compare);
  // Reads the folders at `paths` again and writes their pages, and those of the folders that
  // came below them; forgets the folders gone from below them.
  void Refresh(std::vector<std::string> paths);
  // The folder at `path` was removed or moved away, with all below it; a tree whose top it is
  // ends, told.
  void Gone(const std::string& path);

  // Whether the system could watch no more of the folders, which then wait for a reading of
  // the whole tree to be seen.
  bool OutOfWatches() const { return out_of_watches_; }

 private:
  std::unique_ptr<PageRun> Pages(bool compare);
  void Watch(const platform::Folder& folder);
  void WalkFailed(const platform::Failure& failure);
  void RefreshOne(PageRun& pages, const std::string& path);
  std::vector<SubFolderPage> FollowSubFolders(PageRun& pages, const TreeTops::Tree& tree,
                                              const platform::Folder& folder,
                                              const std::vector<std::string>& before);
  std::shared_ptr<PageOutcome> Enter(PageRun& pages, const TreeTops::Tree& tree,
                                     const platform::Folder& parent, const std::string& name);
  void Ended(const PageReport& report);
  void Unreadable(const std::string& path, const platform::Failure& failure);
  bool Vanished(const std::string& path) const;
  void Forget(const std::string& path);
  void Touch(const std::string& path);
  std::vector<std::string> Relink(const std::vector<std::string>& refreshed);

  ToolOptions options_;  // its own: pages are opened (-o) after the first reading only
  const platform::Services& services_;
  Console& console_;
  platform::FolderWatch& watch_;
  const std::atomic<bool>& stop_;
  PageMaker maker_;
  const NameRules rules_;
  TreeTops tops_;
  WatchedFolders folders_;
  // While folders are read again: how far the page of each has got, and whether it had failed
  // before, so that the pages above that link to it are written again where that changed.
  std::map<std::string, std::shared_ptr<PageOutcome>, std::less<>> written_;
  std::map<std::string, bool> failed_before_;
  std::set<std::string> relink_;  // folders above one gone
  bool whole_ = false;            // every tree is being read whole
  bool warned_ = false;           // of the patterns that left nothing out
  bool out_of_watches_ = false;
};

}  // namespace quorvane::tool
