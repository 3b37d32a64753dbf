#include "platform/posix/leftover_pages.h"

#include <fcntl.h>     // O_*, AT_*
#include <sys/file.h>  // LOCK_*
#include <sys/stat.h>
#include <cerrno>  // errno, EWOULDBLOCK

#include "platform/posix/descriptor.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

// Whether `name` in the folder `dir_fd` is the file open as `fd`.
bool NamesTheFile(const SystemCalls& calls, int dir_fd, const char* name, int fd) {
  struct stat open {};
  struct stat named {};
  return calls.StatAt(fd, "", &open, AT_EMPTY_PATH) == 0 &&
         calls.StatAt(dir_fd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(named.st_mode) &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

bool LockAsLive(const SystemCalls& calls, int fd, int dir_fd, const char* name) {
  if (calls.Lock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    return false;  // a run removing leftovers holds it, and is about to remove it
  }
  return name == nullptr || NamesTheFile(calls, dir_fd, name, fd);
}

// Only a run that holds the lock itself removes the file, and only while the name still leads to
// the file it locked.
void RemoveLeftOverPage(const SystemCalls& calls, int dir_fd, const std::string& name) {
  const Result<Descriptor> fd = Descriptor::Open(
      calls, dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
      Step::kWritePage, name);
  if (fd && calls.Lock(fd->Get(), LOCK_EX | LOCK_NB) == 0 &&
      NamesTheFile(calls, dir_fd, name.c_str(), fd->Get())) {
    calls.UnlinkAt(dir_fd, name.c_str(), 0);
  }
}

}  // namespace quorvane::platform
