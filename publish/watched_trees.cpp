#include "publish/watched_trees.h"

#include <algorithm>   // std::find, std::sort, std::unique
#include <cerrno>      // ENOENT
#include <functional>  // std::greater
#include <utility>     // std::move

#include "index/index_page_writer.h"
#include "platform/path_separator.h"
#include "publish/index_run.h"

namespace quorvane::tool {

using platform::Failure;
using platform::Step;

WatchedTrees::WatchedTrees(const ToolOptions& options, const platform::Services& services,
                           Console& console, platform::FolderWatch& watch,
                           const std::atomic<bool>& stop)
    : options_(options),
      services_(services),
      console_(console),
      watch_(watch),
      stop_(stop),
      maker_(options_, services, console) {
  rules_.all = options.all;
  rules_.excludes = options.excludes;
}

bool WatchedTrees::AddTop(const std::string& folder) {
  platform::Result<std::unique_ptr<platform::Folder>> top =
      platform::CatchOutOfMemory([&] { return OpenNamed(services_.files, folder); });
  if (!top) {
    console_.Report(top.Error());
    return false;
  }
  const std::string path = (*top)->Path();
  const std::uint64_t mount = (*top)->Mount();
  tops_.insert_or_assign(path, Top{std::move(*top), mount});
  return true;
}

void WatchedTrees::ReadWhole(bool compare) {
  out_of_watches_ = false;
  folders_.StartSweep();
  {
    reading_whole_ = true;
    const std::unique_ptr<TreePages> pages = Pages(compare);
    for (const auto& [path, top] : tops_) {
      pages->Walk(top.folder, true);
    }
    pages->Finish();
    reading_whole_ = false;
  }
  options_.open = false;
  if (stop_) {
    return;
  }
  for (const std::string& path : folders_.Swept()) {
    watch_.Forget(path);
  }
  check_.clear();
  Refresh(options_.subfolders ? folders_.AllLinksWrong() : std::vector<std::string>());
}

void WatchedTrees::Refresh(std::vector<std::string> paths) {
  // Pages whose links went wrong meanwhile (a sub-folder's page failed, or is back) are written
  // again at once, linking only to the pages in place.
  while (!paths.empty() && !stop_) {
    {
      const std::unique_ptr<TreePages> pages = Pages(false);
      // The deepest first, so that a page links to the pages of sub-folders read again with it.
      std::sort(paths.begin(), paths.end(), std::greater<>());
      for (const std::string& path : paths) {
        RefreshOne(*pages, path);
      }
      pages->Finish();
    }
    paths.clear();
    for (const std::string& path : std::exchange(check_, {})) {
      if (options_.subfolders && folders_.LinksWrong(path)) {
        paths.push_back(path);
      }
    }
  }
}

void WatchedTrees::Gone(const std::string& path) {
  if (tops_.erase(path) != 0) {
    console_.Report(Failure(Step::kReadFolder, path, ENOENT));
  }
  Forget(path);
}

std::unique_ptr<TreePages> WatchedTrees::Pages(bool compare) {
  auto pages = std::make_unique<TreePages>(
      maker_, services_, console_, rules_, [this](const Failure& failure) { WalkFailed(failure); },
      compare);
  pages->Follow([this](const platform::Folder& folder) { Watch(folder); },
                [this](const Listing& listing) { folders_.Listed(listing); },
                [this](const PageOutcome& outcome) { Ended(outcome); });
  pages->StopWhen(stop_);
  return pages;
}

void WatchedTrees::Watch(const platform::Folder& folder) {
  const platform::Result<platform::FolderWatch::Added> added = watch_.Add(folder);
  if (!added) {
    console_.Report(added.Error());
  } else if (*added == platform::FolderWatch::Added::kOutOfWatches) {
    out_of_watches_ = true;
  }
}

// A folder a walk could not read is told once, however often it is tried again.
void WatchedTrees::WalkFailed(const Failure& failure) {
  if (failure.step != Step::kReadFolder) {
    console_.Report(failure);
    return;
  }
  std::string path = failure.path;
  if (path.empty() || path.back() != platform::kPathSeparator) {
    path += platform::kPathSeparator;
  }
  if (folders_.Failed(path, failure)) {
    console_.Report(failure);
  }
}

void WatchedTrees::RefreshOne(TreePages& pages, const std::string& path) {
  WatchedFolders::Folder* known = folders_.Find(path);
  if (known == nullptr || stop_) {
    return;  // gone since it changed
  }
  platform::Result<std::shared_ptr<const platform::Folder>> folder = Open(path);
  if (!folder) {
    return Unreadable(path, folder.Error());
  }
  const bool top = tops_.contains(path);
  // Another folder in its place, or one not read before: a folder new to the tree.
  if (!known->read || (*folder)->Identity() != known->identity) {
    Forget(path);
    return pages.Walk(std::move(*folder), top);
  }
  platform::Result<Listing> listing = ListFolder(*folder, rules_, services_.regional, true);
  if (!listing) {
    return Unreadable(path, listing.Error());
  }
  const std::vector<std::string> before = known->subfolders;
  folders_.Listed(*listing);
  FollowSubFolders(pages, **folder, before);
  FolderLinks links = TreeLinks(options_, **folder, top, folders_.LinksOf(path));
  folders_.Linked(path, links.down);
  pages.Write(std::move(*listing), std::move(links), false);
}

// Forgets the sub-folders of `folder` that are gone since `before`, and walks down those that
// are new or were not read before.
void WatchedTrees::FollowSubFolders(TreePages& pages, const platform::Folder& folder,
                                    const std::vector<std::string>& before) {
  const std::vector<std::string>& now = folders_.Find(folder.Path())->subfolders;
  for (const std::string& name : before) {
    if (std::find(now.begin(), now.end(), name) == now.end()) {
      Forget(folder.Path() + name + platform::kPathSeparator);
    }
  }
  // A copy: walks below may add folders, never change this one's.
  for (const std::string& name : std::vector<std::string>(now)) {
    Enter(pages, folder, name);
  }
}

// Walks down the sub-folder `name` of `folder` where it is new to the tree: not known, not read
// before, or another folder now.
void WatchedTrees::Enter(TreePages& pages, const platform::Folder& parent,
                         const std::string& name) {
  const std::string path = parent.Path() + name + platform::kPathSeparator;
  platform::Result<std::unique_ptr<platform::Folder>> folder = parent.OpenSubFolder(name);
  if (!folder) {
    return Unreadable(path, folder.Error());
  }
  const WatchedFolders::Folder* known = folders_.Find(path);
  if (known != nullptr && known->read && known->identity == (*folder)->Identity()) {
    return;
  }
  Forget(path);
  // A file system mounted there is another's, as a walk has it.
  if ((*folder)->Mount() == TopOf(path)->second.mount) {
    pages.Walk(std::move(*folder), false);
  }
}

// Tells once that the folder at `path` could not be read or its page made.
void WatchedTrees::Unreadable(const std::string& path, const Failure& failure) {
  // Removed or moved away since: no failure, and the listing of the folder above tells of it.
  if (Vanished(path)) {
    return Forget(path);
  }
  if (folders_.Failed(path, failure)) {
    console_.Report(failure);
  }
}

// Whether the folder at `path` is no longer a sub-folder of the folder above it, as a walk sees
// it.
bool WatchedTrees::Vanished(const std::string& path) const {
  if (tops_.contains(path)) {
    return false;
  }
  const std::string above = WatchedFolders::ParentOf(path);
  const platform::Result<std::shared_ptr<const platform::Folder>> parent = Open(above);
  if (!parent) {
    return true;
  }
  const platform::Result<std::vector<std::string>> names =
      SubFoldersOf(**parent, rules_, services_.regional);
  const std::string name = path.substr(above.size(), path.size() - above.size() - 1);
  return names && std::find(names->begin(), names->end(), name) == names->end();
}

void WatchedTrees::Forget(const std::string& path) {
  folders_.Remove(path);
  watch_.Forget(path);
}

// Notes what became of a page; the pages that may link to it are checked once all are done.
void WatchedTrees::Ended(const PageOutcome& outcome) {
  if (folders_.Find(outcome.folder) == nullptr) {
    return;  // forgotten meanwhile
  }
  if (outcome.failure) {
    Unreadable(outcome.folder, *outcome.failure);
  } else {
    folders_.Published(outcome.folder);
  }
  // Checked for the whole tree at once after a reading of all of it.
  if (!reading_whole_) {
    check_.insert(outcome.folder);
    check_.insert(WatchedFolders::ParentOf(outcome.folder));
  }
}

platform::Result<std::shared_ptr<const platform::Folder>> WatchedTrees::Open(
    const std::string& path) const {
  const auto* top = TopOf(path);
  if (top == nullptr) {
    return Failure(Step::kReadFolder, path, ENOENT);
  }
  std::shared_ptr<const platform::Folder> folder = top->second.folder;
  // Name by name from the top, as a walk goes: never through a symlink, never onto another mount.
  for (std::size_t at = top->first.size(); at < path.size();) {
    const std::size_t end = path.find(platform::kPathSeparator, at);
    QUORVANE_TRY_ASSIGN(std::unique_ptr<platform::Folder> below,
                        folder->OpenSubFolder(std::string_view(path).substr(at, end - at)));
    if (below->Mount() != top->second.mount) {
      return Failure(Step::kReadFolder, path, ENOENT);
    }
    folder = std::move(below);
    at = end + 1;
  }
  return folder;
}

// The tree `path` is in: the one of the longest top that holds it.
const std::pair<const std::string, WatchedTrees::Top>* WatchedTrees::TopOf(
    std::string_view path) const {
  const std::pair<const std::string, Top>* found = nullptr;
  for (const auto& top : tops_) {
    if (path.starts_with(top.first) &&
        (found == nullptr || top.first.size() > found->first.size())) {
      found = &top;
    }
  }
  return found;
}

}  // namespace quorvane::tool
