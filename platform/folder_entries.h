#pragma once

#include <dirent.h>     // DIR, closedir, readdir
#include <cerrno>       // errno
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"

namespace quorvane::platform {

struct FolderCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// An open folder, closed when this goes.
using OpenFolder = std::unique_ptr<DIR, FolderCloser>;

// Calls `visit` with each entry of `dir` but "." and "..", in the order the system gives them.
// Throws Failure naming `folder` when the folder cannot be read to its end.
template <typename Visit>
void ForEachEntry(DIR* dir, const std::string& folder, Visit&& visit) {
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        throw Failure(Step::kReadFolder, folder, errno);
      }
      return;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      visit(*entry);
    }
  }
}

}  // namespace quorvane::platform
