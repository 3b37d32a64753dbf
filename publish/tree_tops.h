#pragma once

#include <cstdint>      // std::uint64_t
#include <functional>   // std::less
#include <map>          // std::map
#include <memory>       // std::shared_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <utility>      // std::pair

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::tool {

// The trees a run keeps, by the paths of their tops: each top kept open, and the folders below
// opened from it name by name, as a walk opens them.
class TreeTops {
 public:
  struct Top {
    std::shared_ptr<const platform::Folder> folder;
    std::uint64_t mount;
  };
  using Tree = std::pair<const std::string, Top>;
  using Trees = std::map<std::string, Top, std::less<>>;

  // Opens the FOLDER named `folder` as the top of a tree.
  platform::Result<> Add(const platform::FileSystem& files, const std::string& folder);
  // Gives up the tree whose top is at `path`; false where none is.
  bool Remove(std::string_view path);

  bool Empty() const { return trees_.empty(); }
  const Trees& All() const { return trees_; }
  bool IsTop(std::string_view path) const { return trees_.contains(path); }

  // The tree `path` is in: the one of the longest top that holds it; none where none does.
  const Tree* TreeOf(std::string_view path) const;
  // The folder at `path`, opened from the top of its tree: never through a symlink, never onto
  // another file system.
  platform::Result<std::shared_ptr<const platform::Folder>> Open(const std::string& path) const;

  // The path of the folder at `path` below the top of `tree`, as a listing has it: "a/b/".
  static std::string BelowOf(const std::string& path, const Tree& tree);

 private:
  Trees trees_;
};

}  // namespace quorvane::tool
