#include "publish/watched_folders.h"

#include <utility>  // std::move

#include "platform/path_separator.h"

namespace quorvane::tool {

void WatchedFolders::Listed(const Listing& listing) {
  Folder& folder = folders_[listing.folder->Path()];
  const platform::FolderIdentity identity = listing.folder->Identity();
  // Another folder at the path is another page: nothing of the one before holds for it.
  if (folder.identity != identity) {
    folder = Folder();
    folder.identity = identity;
  }
  folder.subfolders = listing.subfolders;
  folder.read = true;
  // Read, its page is on its way: linked until it fails.
  folder.failed = false;
  folder.seen = sweep_;
}

bool WatchedFolders::Failed(const std::string& path, const platform::Failure& failure) {
  Folder& folder = folders_[path];
  folder.failed = true;
  folder.seen = sweep_;
  std::string words = platform::Describe(failure);
  if (folder.told == words) {
    return false;
  }
  folder.told = std::move(words);
  return true;
}

void WatchedFolders::Published(const std::string& path) {
  if (Folder* folder = Find(path)) {
    folder->failed = false;
    folder->told.clear();
  }
}

WatchedFolders::Folder* WatchedFolders::Find(std::string_view path) {
  const auto found = folders_.find(path);
  return found == folders_.end() ? nullptr : &found->second;
}

const WatchedFolders::Folder* WatchedFolders::Find(std::string_view path) const {
  const auto found = folders_.find(path);
  return found == folders_.end() ? nullptr : &found->second;
}

void WatchedFolders::Remove(std::string_view path) {
  auto at = folders_.lower_bound(path);
  while (at != folders_.end() && std::string_view(at->first).starts_with(path)) {
    at = folders_.erase(at);
  }
}

std::vector<std::string> WatchedFolders::Swept() {
  std::vector<std::string> gone;
  std::erase_if(folders_, [&](const auto& folder) {
    if (folder.second.seen == sweep_) {
      return false;
    }
    gone.push_back(folder.first);
    return true;
  });
  return gone;
}

std::string WatchedFolders::ParentOf(std::string_view path) {
  if (path.size() < 2) {
    return {};
  }
  const std::size_t separator = path.find_last_of(platform::kPathSeparator, path.size() - 2);
  return separator == std::string_view::npos ? std::string()
                                             : std::string(path.substr(0, separator + 1));
}

}  // namespace quorvane::tool
