#include "platform/folder_watch.h"

#include <fcntl.h>        // AT_FDCWD, AT_SYMLINK_NOFOLLOW
#include <poll.h>         // struct pollfd, POLLIN
#include <sys/eventfd.h>  // EFD_CLOEXEC, EFD_NONBLOCK
#include <sys/inotify.h>  // struct inotify_event, IN_*
#include <sys/stat.h>     // struct stat, S_ISDIR
#include <algorithm>      // std::clamp, std::set_difference, std::sort, std::unique
#include <cerrno>         // errno, EAGAIN, EINTR, ENOSPC
#include <climits>        // INT_MAX
#include <cstdint>        // std::uint32_t, std::uint64_t
#include <cstring>        // std::memcpy
#include <functional>     // std::less
#include <iterator>       // std::back_inserter
#include <map>            // std::map
#include <memory>         // std::make_unique
#include <string>         // std::string, std::to_string
#include <unordered_map>  // std::unordered_map
#include <utility>        // std::move
#include <vector>         // std::vector

#include "platform/posix/descriptor.h"
#include "platform/posix/descriptor_folder.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// What changes a folder's listing. IN_MODIFY too, though it comes with every write: the system
// tells a file's time set alone (touch -m, rsync -t) only so, and a file kept open and written
// (a log) shows its new size without ever being closed.
constexpr std::uint32_t kListingEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB | IN_MODIFY;
constexpr std::uint32_t kGoneEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;
constexpr std::uint32_t kMask =
    kListingEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
constexpr std::size_t kEventBufferSize = 64 * 1024;

// poll()'s timeout for what is left until `deadline`, rounded up so that a wait never ends
// before it; -1 for none.
int PollTimeout(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) {
    return -1;
  }
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

// Sorts `paths` and keeps each once.
void Gather(std::vector<std::string>& paths) {
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
}

class InotifyWatch final : public FolderWatch {
 public:
  InotifyWatch(const SystemCalls& calls, std::string_view page_name, Descriptor inotify,
               Descriptor wake)
      : calls_(calls),
        page_name_(page_name),
        inotify_(std::move(inotify)),
        wake_(std::move(wake)),
        buffer_(kEventBufferSize) {}

  Result<Added> Add(const Folder& folder) override;
  void Forget(std::string_view path) override;
  Result<WatchReport> Wait(std::optional<std::chrono::milliseconds> timeout) override;

  void Stop() override {
    const std::uint64_t one = 1;
    // The counter is never read, so a write that fails finds it woken already.
    static_cast<void>(calls_.Write(wake_.Get(), &one, sizeof one));
  }

 private:
  // A folder watched: where, and which.
  struct Watched {
    std::string path;
    FolderIdentity identity;
  };

  void Keep(int watch, const std::string& path, FolderIdentity identity);
  bool StillAt(const Watched& watched) const;
  Result<> ReadEvents(WatchReport& report);
  void Take(std::uint32_t mask, int watch, std::string_view name, WatchReport& report);

  bool IsOwnPage(std::string_view name) const {
    return name == page_name_ || IsTemporaryPageName(name);
  }

  const SystemCalls& calls_;
  const std::string page_name_;
  Descriptor inotify_;
  Descriptor wake_;  // an eventfd, readable from the first Stop() on
  std::vector<char> buffer_;
  std::unordered_map<int, Watched> paths_;           // of each watch
  std::map<std::string, int, std::less<>> watches_;  // by path, so that a sub-tree is one run
};

Result<FolderWatch::Added> InotifyWatch::Add(const Folder& folder) {
  const auto* open = dynamic_cast<const DescriptorFolder*>(&folder);
  // The "." after the descriptor's link reaches the folder opened, not whatever its path leads to
  // now, while IN_DONT_FOLLOW still refuses a symlink at the end of a path.
  const std::string name =
      open != nullptr ? "/proc/self/fd/" + std::to_string(open->Fd()) + "/." : folder.Path();
  const int watch = calls_.AddWatch(inotify_.Get(), name.c_str(), kMask);
  if (watch < 0) {
    if (errno == ENOSPC) {
      return Added::kOutOfWatches;
    }
    return Failure(Step::kWatchFolder, folder.Path(), errno);
  }
  Keep(watch, folder.Path(), folder.Identity());
  return Added::kWatched;
}

// Files `watch` under `path`. The system gives a folder watched already its watch again, which
// then moves to the folder's new path; a folder that took another's place takes its path.
void InotifyWatch::Keep(int watch, const std::string& path, FolderIdentity identity) {
  if (const auto old = paths_.find(watch); old != paths_.end()) {
    watches_.erase(old->second.path);
  }
  if (const auto other = watches_.find(path); other != watches_.end() && other->second != watch) {
    calls_.RemoveWatch(inotify_.Get(), other->second);
    paths_.erase(other->second);
  }
  paths_[watch] = Watched{path, identity};
  watches_[path] = watch;
}

void InotifyWatch::Forget(std::string_view path) {
  auto at = watches_.lower_bound(path);
  while (at != watches_.end() && std::string_view(at->first).starts_with(path)) {
    calls_.RemoveWatch(inotify_.Get(), at->second);
    paths_.erase(at->second);
    at = watches_.erase(at);
  }
}

Result<WatchReport> InotifyWatch::Wait(std::optional<std::chrono::milliseconds> timeout) {
  std::optional<Clock::time_point> deadline;
  if (timeout) {
    deadline = Clock::now() + *timeout;
  }
  WatchReport report;
  // Events of the program's own pages alone tell nothing, and the wait goes on.
  while (report.Empty()) {
    pollfd ready[] = {{wake_.Get(), POLLIN, 0}, {inotify_.Get(), POLLIN, 0}};
    const int count = calls_.Poll(ready, 2, PollTimeout(deadline));
    if (count < 0 && errno != EINTR) {
      return Failure(Step::kWatch, {}, errno);
    }
    if (ready[0].revents != 0) {
      return WatchReport::Stopped();
    }
    if (count == 0) {
      break;
    }
    if (ready[1].revents != 0) {
      QUORVANE_TRY(ReadEvents(report));
    }
  }
  return report;
}

// Reads every event queued into `report`.
Result<> InotifyWatch::ReadEvents(WatchReport& report) {
  for (;;) {
    const ssize_t got = calls_.Read(inotify_.Get(), buffer_.data(), buffer_.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0 && errno != EAGAIN) {
      return Failure(Step::kWatch, {}, errno);
    }
    if (got <= 0) {
      break;
    }
    for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(got);) {
      inotify_event event;
      std::memcpy(&event, buffer_.data() + at, sizeof event);
      // The name is padded with NULs to the event's length.
      const char* name = buffer_.data() + at + sizeof event;
      Take(event.mask, event.wd, event.len > 0 ? std::string_view(name) : std::string_view(),
           report);
      at += sizeof event + event.len;
    }
  }
  Gather(report.changed);
  Gather(report.gone);
  std::vector<std::string> watched;
  std::set_difference(report.changed.begin(), report.changed.end(), report.gone.begin(),
                      report.gone.end(), std::back_inserter(watched));
  report.changed = std::move(watched);
  return {};
}

void InotifyWatch::Take(std::uint32_t mask, int watch, std::string_view name, WatchReport& report) {
  if ((mask & IN_Q_OVERFLOW) != 0) {
    report.rescan = true;
    return;
  }
  const auto found = paths_.find(watch);
  if (found == paths_.end()) {
    return;  // forgotten since, or IN_IGNORED of a watch gone already
  }
  const std::string path = found->second.path;
  // A folder moved and added again under its new name is still where it is watched.
  if ((mask & IN_MOVE_SELF) != 0 && StillAt(found->second)) {
    return;
  }
  if ((mask & (kGoneEvents | IN_IGNORED)) != 0) {
    // Moved away with all below it, or removed: none of it is at this path any more.
    if ((mask & kGoneEvents) != 0) {
      report.gone.push_back(path);
    }
    Forget(path);
  } else if (name.empty() ? (mask & IN_ATTRIB) != 0 : !IsOwnPage(name)) {
    report.changed.push_back(path);
  }
}

// Whether the path of `watched` leads to the folder watched, not following a symlink.
bool InotifyWatch::StillAt(const Watched& watched) const {
  struct stat st {};
  return calls_.StatAt(AT_FDCWD, watched.path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(st.st_mode) &&
         FolderIdentity{static_cast<std::uint64_t>(st.st_dev), st.st_ino} == watched.identity;
}

}  // namespace

Result<std::unique_ptr<FolderWatch>> WatchFolders(std::string_view page_name,
                                                  const SystemCalls& calls) {
  Descriptor inotify(calls, calls.WatchInit(IN_NONBLOCK | IN_CLOEXEC));
  if (!inotify.IsOpen()) {
    return Failure(Step::kWatch, {}, errno);
  }
  Descriptor wake(calls, calls.EventFd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!wake.IsOpen()) {
    return Failure(Step::kWatch, {}, errno);
  }
  return std::unique_ptr<FolderWatch>(
      std::make_unique<InotifyWatch>(calls, page_name, std::move(inotify), std::move(wake)));
}

Result<std::unique_ptr<FolderWatch>> WatchFolders(std::string_view page_name) {
  return WatchFolders(page_name, SystemCalls::Real());
}

}  // namespace quorvane::platform
