#include "platform/standard_streams.h"

#include <fcntl.h>  // fcntl, AT_FDCWD
#include <cerrno>   // errno, EBADF

#include "platform/posix/descriptor.h"

namespace quorvane::platform {

bool OpenClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
      continue;
    }
    // The lowest free number is this one, as those below it are open by now.
    const SystemCalls& calls = SystemCalls::Real();
    Descriptor opened(calls, calls.OpenAt(AT_FDCWD, "/dev/null", fd == 0 ? O_WRONLY : O_RDONLY, 0));
    if (opened.Get() != fd) {
      return false;
    }
    opened.Release();
  }
  return true;
}

}  // namespace quorvane::platform
