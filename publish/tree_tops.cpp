#include "publish/tree_tops.h"

#include <algorithm>  // std::replace
#include <cerrno>     // ENOENT
#include <utility>    // std::move

#include "platform/path_separator.h"
#include "publish/index_run.h"

namespace quorvane::tool {

using platform::Failure;
using platform::Step;

platform::Result<> TreeTops::Add(const platform::FileSystem& files, const std::string& folder) {
  QUORVANE_TRY_ASSIGN(std::unique_ptr<platform::Folder> top, OpenNamed(files, folder));
  const std::string path = top->Path();
  const std::uint64_t mount = top->Mount();
  trees_.insert_or_assign(path, Top{std::move(top), mount});
  return {};
}

bool TreeTops::Remove(std::string_view path) {
  const auto found = trees_.find(path);
  if (found == trees_.end()) {
    return false;
  }
  trees_.erase(found);
  return true;
}

const TreeTops::Tree* TreeTops::TreeOf(std::string_view path) const {
  const Tree* found = nullptr;
  for (const Tree& tree : trees_) {
    if (path.starts_with(tree.first) &&
        (found == nullptr || tree.first.size() > found->first.size())) {
      found = &tree;
    }
  }
  return found;
}

platform::Result<std::shared_ptr<const platform::Folder>> TreeTops::Open(
    const std::string& path) const {
  const Tree* tree = TreeOf(path);
  if (tree == nullptr) {
    return Failure(Step::kReadFolder, path, ENOENT);
  }
  std::shared_ptr<const platform::Folder> folder = tree->second.folder;
  for (std::size_t at = tree->first.size(); at < path.size();) {
    const std::size_t end = path.find(platform::kPathSeparator, at);
    QUORVANE_TRY_ASSIGN(std::unique_ptr<platform::Folder> below,
                        folder->OpenSubFolder(std::string_view(path).substr(at, end - at)));
    if (below->Mount() != tree->second.mount) {
      return Failure(Step::kReadFolder, path, ENOENT);
    }
    folder = std::move(below);
    at = end + 1;
  }
  return folder;
}

std::string TreeTops::BelowOf(const std::string& path, const Tree& tree) {
  std::string below = path.substr(tree.first.size());
  std::replace(below.begin(), below.end(), platform::kPathSeparator, '/');
  return below;
}

}  // namespace quorvane::tool
