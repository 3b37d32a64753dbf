#include "platform/text_file.h"

#include <fcntl.h>     // open
#include <sys/stat.h>  // lstat, fchmod
#include <unistd.h>    // write, close, fsync, unlink
#include <cerrno>      // errno
#include <cstdio>      // std::rename
#include <random>      // std::random_device
#include <utility>     // std::move

#include "platform/failure.h"

namespace quorvane::platform {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

// Whether the file at `path` must be written through its own name: renaming over a symlink would
// replace the link rather than its target, renaming over a file with other hard links would cut
// them off, and a folder must fail as the open of a folder does.
bool MustWriteInPlace(const struct stat& existing) {
  return S_ISLNK(existing.st_mode) || S_ISDIR(existing.st_mode) || existing.st_nlink > 1;
}

// Creates a new, empty file beside `path` under a hidden name. The mode 0666 lets the umask take
// off what it takes from any newly created file. Returns -1 when the folder refuses.
int CreateSibling(const std::string& path, std::string& temp_path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = folder + "." + base + ".";
    for (int i = 0; i < 8; ++i) {
      candidate += kLetters[random() % (sizeof kLetters - 1)];
    }
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      temp_path = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) {
      return -1;
    }
  }
  return -1;
}

}  // namespace

TextFile::TextFile(std::string path) : path_(std::move(path)) {
  struct stat existing {};
  const bool exists = lstat(path_.c_str(), &existing) == 0;
  if (!exists || !MustWriteInPlace(existing)) {
    fd_ = CreateSibling(path_, temp_path_);
  }
  if (fd_ >= 0) {
    if (exists && S_ISREG(existing.st_mode)) {
      // The new page takes the place of the old one, so it takes its mode and, where we may,
      // its owner. Falling short of either still leaves a good page.
      [[maybe_unused]] const int mode_kept = fchmod(fd_, existing.st_mode & 07777);
      [[maybe_unused]] const int owner_kept = fchown(fd_, existing.st_uid, existing.st_gid);
    }
  } else {
    // O_NONBLOCK: a fifo of this name with no reader fails at once instead of hanging the run.
    fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd_ < 0) {
      ThrowSystemFailure(errno, path_);
    }
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  }
  buffer_.reserve(kFlushSize + 4096);
}

TextFile::~TextFile() {
  if (fd_ >= 0) {
    close(fd_);
  }
  if (!closed_ && !temp_path_.empty()) {
    unlink(temp_path_.c_str());
  }
}

void TextFile::WriteLine(std::string_view line) {
  buffer_.append(line).append("\r\n");
  if (buffer_.size() >= kFlushSize) {
    Flush();
  }
}

void TextFile::Flush() {
  const char* data = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0) {
    const ssize_t written = write(fd_, data, left);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowSystemFailure(errno, path_);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  buffer_.clear();
}

void TextFile::Close() {
  Flush();
  // The page must be on disk before its name moves to it, or a crash could leave an empty page
  // where the old one was.
  if (!temp_path_.empty() && fsync(fd_) != 0) {
    ThrowSystemFailure(errno, path_);
  }
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    ThrowSystemFailure(errno, path_);
  }
  if (!temp_path_.empty() && std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    ThrowSystemFailure(errno, path_);
  }
  closed_ = true;
}

}  // namespace quorvane::platform
