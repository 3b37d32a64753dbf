#pragma once

#include <cstdint>      // std::uint64_t
#include <functional>   // std::less
#include <map>          // std::map
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/failure.h"
#include "platform/file_system.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {

// What a watch knows of the folders of the trees it keeps current, by their paths: which
// sub-folders of each a walk enters, what its page links to, and whether the page could be made.
class WatchedFolders {
 public:
  struct Folder {
    platform::FolderIdentity identity;
    std::vector<std::string> subfolders;  // those a walk enters, in name order
    bool read = false;                    // it was read, and is watched
    bool failed = false;                  // its page could not be made, and is linked nowhere
    std::string told;                     // the words of its failure, told once
    std::uint64_t seen = 0;               // the last reading of the whole tree that found it
  };

  // Notes the folder `listing` read, as found by the reading of the whole tree under way; its
  // page is taken to be on its way.
  void Listed(const Listing& listing);
  // Notes that the folder at `path` could not be read or its page made; true when `failure` is
  // news, to be told.
  bool Failed(const std::string& path, const platform::Failure& failure);
  // Notes that the page of the folder at `path` is in place.
  void Published(const std::string& path);

  Folder* Find(std::string_view path);
  const Folder* Find(std::string_view path) const;
  // Forgets the folder at `path` and every folder below it.
  void Remove(std::string_view path);

  // Starts a reading of the whole tree: a folder it does not find is forgotten at Swept().
  void StartSweep() { ++sweep_; }
  // Forgets the folders the last reading of the whole tree did not find; gives their paths.
  std::vector<std::string> Swept();

  // The path of the folder that holds the one at `path`; empty for a top, which has none.
  static std::string ParentOf(std::string_view path);

 private:
  std::map<std::string, Folder, std::less<>> folders_;
  std::uint64_t sweep_ = 0;
};

}  // namespace quorvane::tool
