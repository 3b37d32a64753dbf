#include "platform/standard_streams.h"

#include <fcntl.h>   // open, fcntl
#include <unistd.h>  // close
#include <cerrno>    // errno, EBADF

namespace quorvane::platform {

bool OpenClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) {
      continue;
    }
    // The lowest free number is this one, as those below it are open by now.
    const int opened = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (opened != fd) {
      if (opened >= 0) {
        close(opened);
      }
      return false;
    }
  }
  return true;
}

}  // namespace quorvane::platform
