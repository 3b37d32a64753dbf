#pragma once

#include <sys/types.h>  // mode_t
#include <cerrno>       // errno
#include <string_view>  // std::string_view
#include <utility>      // std::exchange

#include "platform/failure.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {

// An open descriptor, closed through its seam when this goes, whatever way the scope ends.
// Moved, the new owner closes it.
class Descriptor {
 public:
  Descriptor() = default;
  // Takes `fd`; -1 for none.
  Descriptor(const SystemCalls& calls, int fd) : calls_(&calls), fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept
      : calls_(other.calls_), fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Drop();
      calls_ = other.calls_;
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Descriptor() { Drop(); }

  // openat(): the descriptor, or the failure of `step` naming `shown`, with the system's error.
  static Result<Descriptor> Open(const SystemCalls& calls, int dir, const char* path, int flags,
                                 Step step, std::string_view shown, mode_t mode = 0) {
    Descriptor fd(calls, calls.OpenAt(dir, path, flags, mode));
    if (!fd.IsOpen()) {
      return Failure(step, shown, errno);
    }
    return fd;
  }

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Gives it up, to be kept open.
  int Release() { return std::exchange(fd_, -1); }
  // Closes it now: 0, or -1 with errno where the close fails (a write-back error, on some file
  // systems), which only a caller that asks can report.
  int Close() { return fd_ < 0 ? 0 : calls_->Close(std::exchange(fd_, -1)); }

 private:
  // Closes it, leaving errno as it was for the caller that reads it after the scope ends.
  void Drop() {
    const int error = errno;
    Close();
    errno = error;
  }

  const SystemCalls* calls_ = nullptr;
  int fd_ = -1;
};

}  // namespace quorvane::platform
