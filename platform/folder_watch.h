#pragma once

#include <chrono>       // std::chrono::milliseconds
#include <memory>       // std::unique_ptr
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "platform/failure.h"
#include "platform/file_system.h"

namespace quorvane::platform {

class SystemCalls;

// What one wait on a watch found. Nothing at all: the time given ran out first.
struct WatchReport {
  bool stopped = false;  // Stop() was called; nothing else is told
  bool rescan = false;  // the system lost changes (its queue overflowed): read the whole tree again
  // The folders whose listing changed (an entry added, removed, renamed, written, its attributes
  // or times changed) or whose own attributes did, each once, in the order of their paths.
  std::vector<std::string> changed;
  // The watched folders removed or moved away, which are no longer watched at their paths.
  std::vector<std::string> gone;

  bool Empty() const { return !stopped && !rescan && changed.empty() && gone.empty(); }
  static WatchReport Stopped() {
    WatchReport report;
    report.stopped = true;
    return report;
  }
};

// Watches the listings of folders, to tell which changed, at no cost while none does. Changes
// of the program's own pages (the page's name and the hidden names it is written under) are not
// told, or a watch would make each page it writes be written again. Paths are the folders'
// Path(), ending in the separator.
class FolderWatch {
 public:
  enum class Added { kWatched, kOutOfWatches };

  virtual ~FolderWatch() = default;

  // Watches the listing of `folder` through the open folder itself, not its path. On Linux one
  // folder alone, each added as a walk opens it: kOutOfWatches when the system allows the user no
  // more. On Windows a folder with everything below it: one below a folder watched already adds
  // nothing.
  virtual Result<Added> Add(const Folder& folder) = 0;

  // Stops watching the folder at `path` and every folder below it.
  virtual void Forget(std::string_view path) = 0;

  // Waits until a watched folder changes, Stop() is called or `timeout` runs out (none: no end),
  // and tells what happened meanwhile. Fails (kWatch) where the system stops telling.
  virtual Result<WatchReport> Wait(std::optional<std::chrono::milliseconds> timeout) = 0;

  // Makes the wait under way and every one after it end at once, telling `stopped`. Safe to
  // call from any thread, and on Linux from a signal handler.
  virtual void Stop() = 0;
};

// A watch of the system's, every call made through `calls`, which must outlive it. The page
// named `page_name` (and its hidden names) is the program's own and not told of.
Result<std::unique_ptr<FolderWatch>> WatchFolders(std::string_view page_name,
                                                  const SystemCalls& calls);
Result<std::unique_ptr<FolderWatch>> WatchFolders(std::string_view page_name);

}  // namespace quorvane::platform
