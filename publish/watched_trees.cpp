#include "publish/watched_trees.h"

#include <algorithm>   // std::find, std::replace, std::sort, std::unique
#include <cerrno>      // ENOENT
#include <functional>  // std::greater
#include <utility>     // std::move

#include "platform/path_separator.h"
#include "publish/index_run.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Step;

// How far a page has got, known already.
std::shared_ptr<PageOutcome> Settled(bool made) {
  return std::make_shared<PageOutcome>(made ? PageState::kMade : PageState::kFailed);
}

}  // namespace

WatchedTrees::WatchedTrees(const ToolOptions& options, const platform::Services& services,
                           Console& console, platform::FolderWatch& watch,
                           const std::atomic<bool>& stop)
    : options_(options),
      services_(services),
      console_(console),
      watch_(watch),
      stop_(stop),
      maker_(options_, services, console,
             [this](const Failure& failure) { console_.Report(failure); }),
      rules_(RulesOf(options)) {}

bool WatchedTrees::AddTop(const std::string& folder) {
  if (const platform::Result<> added =
          platform::CatchOutOfMemory([&] { return tops_.Add(services_.files, folder); });
      !added) {
    console_.Report(added.Error());
    return false;
  }
  return true;
}

void WatchedTrees::ReadWhole(bool compare) {
  out_of_watches_ = false;
  folders_.StartSweep();
  whole_ = true;
  {
    const std::unique_ptr<PageRun> pages = Pages(compare);
    for (const auto& [path, top] : tops_.All()) {
      pages->Walk(top.folder, top.folder);
    }
  }
  whole_ = false;
  relink_.clear();  // every page above was written with the rest
  if (!std::exchange(warned_, true)) {
    WarnOfUnmatched(rules_, console_);
  }
  options_.open = false;
  if (!stop_) {
    for (const std::string& path : folders_.Swept()) {
      watch_.Forget(path);
    }
  }
}

void WatchedTrees::Refresh(std::vector<std::string> paths) {
  while (!paths.empty() && !stop_) {
    {
      const std::unique_ptr<PageRun> pages = Pages(false);
      // The deepest first, so that a page links to the pages read again with it once they are
      // made, as a walk has it.
      std::sort(paths.begin(), paths.end(), std::greater<>());
      for (const std::string& path : paths) {
        RefreshOne(*pages, path);
      }
    }
    written_.clear();
    paths = Relink(paths);
  }
}

void WatchedTrees::Gone(const std::string& path) {
  if (tops_.Remove(path)) {
    console_.Report(Failure(Step::kReadFolder, path, ENOENT));
  }
  Forget(path);
}

std::unique_ptr<PageRun> WatchedTrees::Pages(bool compare) {
  auto pages = std::make_unique<PageRun>(
      maker_, services_, console_, rules_, [this](const Failure& failure) { WalkFailed(failure); },
      compare);
  pages->Follow([this](const platform::Folder& folder) { Watch(folder); },
                [this](const Listing& listing) {
                  Touch(listing.folder->Path());
                  folders_.Listed(listing);
                },
                [this](const PageReport& report) { Ended(report); });
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
    return console_.Report(failure);
  }
  std::string path = failure.path;
  if (path.empty() || path.back() != platform::kPathSeparator) {
    path += platform::kPathSeparator;
  }
  Unreadable(path, failure);
}

void WatchedTrees::RefreshOne(PageRun& pages, const std::string& path) {
  WatchedFolders::Folder* known = folders_.Find(path);
  const TreeTops::Tree* tree = tops_.TreeOf(path);
  if (known == nullptr || tree == nullptr || stop_) {
    return;  // gone since it changed
  }
  platform::Result<std::shared_ptr<const platform::Folder>> folder = tops_.Open(path);
  if (!folder) {
    return Unreadable(path, folder.Error());
  }
  const std::string below = TreeTops::BelowOf(path, *tree);
  // Another folder in its place, or one not read before: a folder new to the tree.
  if (!known->read || (*folder)->Identity() != known->identity) {
    Forget(path);
    written_[path] = pages.Walk(tree->second.folder, std::move(*folder), below);
    return;
  }
  platform::Result<Listing> listing = ListFolder(*folder, rules_, services_.regional, true, below);
  if (!listing) {
    return Unreadable(path, listing.Error());
  }
  const std::vector<std::string> before = known->subfolders;
  Touch(path);
  folders_.Listed(*listing);
  std::vector<SubFolderPage> subfolders = FollowSubFolders(pages, *tree, **folder, before);
  written_[path] = pages.Write(tree->second.folder, std::move(*listing), std::move(subfolders));
}

// Forgets the sub-folders of `folder` gone since `before`, walks down those new to the tree, and
// gives how far the page of each is.
std::vector<SubFolderPage> WatchedTrees::FollowSubFolders(PageRun& pages,
                                                          const TreeTops::Tree& tree,
                                                          const platform::Folder& folder,
                                                          const std::vector<std::string>& before) {
  // A copy: walks below may add folders, never change this one's.
  const std::vector<std::string> now = folders_.Find(folder.Path())->subfolders;
  for (const std::string& name : before) {
    if (std::find(now.begin(), now.end(), name) == now.end()) {
      Forget(folder.Path() + name + platform::kPathSeparator);
    }
  }
  std::vector<SubFolderPage> below;
  for (const std::string& name : now) {
    below.push_back({name, Enter(pages, tree, folder, name)});
  }
  return below;
}

// How far the page of the sub-folder `name` of `parent` is: the one read again with it, the one
// there is of a folder known, or the one of a folder new to the tree (not known, not read before
// or another folder now), whose walk starts here.
std::shared_ptr<PageOutcome> WatchedTrees::Enter(PageRun& pages, const TreeTops::Tree& tree,
                                                 const platform::Folder& parent,
                                                 const std::string& name) {
  const std::string path = parent.Path() + name + platform::kPathSeparator;
  if (const auto written = written_.find(path); written != written_.end()) {
    return written->second != nullptr ? written->second : Settled(false);
  }
  platform::Result<std::unique_ptr<platform::Folder>> folder = parent.OpenSubFolder(name);
  if (!folder) {
    Unreadable(path, folder.Error());
    return Settled(false);
  }
  const WatchedFolders::Folder* known = folders_.Find(path);
  if (known != nullptr && known->read && known->identity == (*folder)->Identity()) {
    return Settled(!known->failed);
  }
  Forget(path);
  // A file system mounted there is another's, as a walk has it.
  if ((*folder)->Mount() != tree.second.mount) {
    return Settled(false);
  }
  std::shared_ptr<PageOutcome> walked =
      pages.Walk(tree.second.folder, std::move(*folder), TreeTops::BelowOf(path, tree));
  return walked != nullptr ? walked : Settled(false);
}

void WatchedTrees::Ended(const PageReport& report) {
  if (folders_.Find(report.folder) == nullptr) {
    return;  // forgotten meanwhile
  }
  if (report.failure) {
    return Unreadable(report.folder, *report.failure);
  }
  Touch(report.folder);
  folders_.Published(report.folder);
}

// Tells once that the folder at `path` could not be read or its page made.
void WatchedTrees::Unreadable(const std::string& path, const Failure& failure) {
  // Removed or moved away since: no failure, and the page above is written again, where the
  // watch did not tell of it.
  if (Vanished(path)) {
    relink_.insert(WatchedFolders::ParentOf(path));
    return Forget(path);
  }
  Touch(path);
  if (folders_.Failed(path, failure)) {
    console_.Report(failure);
  }
}

// Whether the folder at `path` is no longer a sub-folder of the folder above it, as a walk sees
// it.
bool WatchedTrees::Vanished(const std::string& path) const {
  const TreeTops::Tree* tree = tops_.TreeOf(path);
  if (tree == nullptr || tree->first == path) {
    return tree == nullptr;
  }
  const std::string above = WatchedFolders::ParentOf(path);
  const platform::Result<std::shared_ptr<const platform::Folder>> parent = tops_.Open(above);
  if (!parent) {
    return true;
  }
  const platform::Result<std::vector<std::string>> names =
      SubFoldersOf(**parent, rules_, services_.regional, TreeTops::BelowOf(above, *tree));
  const std::string name = path.substr(above.size(), path.size() - above.size() - 1);
  return names && std::find(names->begin(), names->end(), name) == names->end();
}

void WatchedTrees::Forget(const std::string& path) {
  folders_.Remove(path);
  watch_.Forget(path);
}

// Notes whether the folder at `path` had failed before it is read again.
void WatchedTrees::Touch(const std::string& path) {
  if (const WatchedFolders::Folder* folder = folders_.Find(path); folder != nullptr && !whole_) {
    failed_before_.try_emplace(path, folder->failed);
  }
}

// The folders, not among those `refreshed`, whose pages link to a sub-folder whose page came or
// went meanwhile.
std::vector<std::string> WatchedTrees::Relink(const std::vector<std::string>& refreshed) {
  std::set<std::string> above = std::exchange(relink_, {});
  for (const auto& [path, failed] : std::exchange(failed_before_, {})) {
    if (const WatchedFolders::Folder* folder = folders_.Find(path);
        folder != nullptr && folder->failed != failed) {
      above.insert(WatchedFolders::ParentOf(path));
    }
  }
  std::vector<std::string> again;
  for (const std::string& path : above) {
    if (options_.subfolders && folders_.Find(path) != nullptr &&
        std::find(refreshed.begin(), refreshed.end(), path) == refreshed.end()) {
      again.push_back(path);
    }
  }
  return again;
}

}  // namespace quorvane::tool
