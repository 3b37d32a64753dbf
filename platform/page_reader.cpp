#include "platform/page_reader.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>  // errno, E*

#include "platform/failure.h"
#include "platform/system_calls.h"

namespace quorvane::platform {
namespace {

class SystemPageReader final : public PageReader {
 public:
  SystemPageReader(const SystemCalls& calls, int dir_fd, std::string path, std::string_view name)
      : calls_(calls), dir_fd_(dir_fd), path_(std::move(path)), name_(name) {}
  SystemPageReader(const SystemPageReader&) = delete;
  SystemPageReader& operator=(const SystemPageReader&) = delete;
  ~SystemPageReader() override {
    if (fd_ >= 0) {
      calls_.Close(fd_);
    }
  }

  // False when nothing has the page's name.
  bool Open() {
    // No symlink is followed and no fifo waited on: only a regular file found here is read.
    fd_ = calls_.OpenAt(dir_fd_, name_.c_str(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd_ < 0) {
      if (errno == ENOENT) {
        return false;
      }
      // A symlink, or a socket, which cannot be opened at all.
      if (errno == ELOOP || errno == ENXIO) {
        throw Failure(Step::kPageNotAFile, path_);
      }
      throw Failure(Step::kReadPage, path_, errno);
    }
    if (calls_.StatAt(fd_, "", &st_, AT_EMPTY_PATH) != 0) {
      throw Failure(Step::kReadPage, path_, errno);
    }
    if (!S_ISREG(st_.st_mode)) {
      throw Failure(Step::kPageNotAFile, path_);
    }
    return true;
  }

  std::uint64_t Size() const override { return static_cast<std::uint64_t>(st_.st_size); }

  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const override {
    for (;;) {
      const ssize_t got = calls_.ReadAt(fd_, buffer, size, static_cast<off_t>(offset));
      if (got >= 0) {
        return static_cast<std::size_t>(got);
      }
      if (errno != EINTR) {
        throw Failure(Step::kReadPage, path_, errno);
      }
    }
  }

  void Remove() const override {
    struct stat now {};
    if (calls_.StatAt(dir_fd_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
      throw Failure(Step::kRemovePage, path_, errno);
    }
    if (now.st_dev != st_.st_dev || now.st_ino != st_.st_ino) {
      throw Failure(Step::kPageChanged, path_);
    }
    // The system's own answer to whether the user may write the page, as replacing it asks.
    const int writable = calls_.OpenAt(
        dir_fd_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (writable < 0) {
      throw Failure(Step::kRemovePage, path_, errno);
    }
    calls_.Close(writable);
    if (calls_.UnlinkAt(dir_fd_, name_.c_str(), 0) != 0) {
      throw Failure(Step::kRemovePage, path_, errno);
    }
  }

 private:
  const SystemCalls& calls_;
  int dir_fd_;
  std::string path_;
  std::string name_;
  int fd_ = -1;
  struct stat st_ {};
};

}  // namespace

std::unique_ptr<PageReader> ReadSystemPage(const SystemCalls& calls, int dir_fd,
                                           const std::string& folder_path, std::string_view name) {
  auto reader =
      std::make_unique<SystemPageReader>(calls, dir_fd, folder_path + std::string(name), name);
  if (!reader->Open()) {
    return nullptr;
  }
  return reader;
}

}  // namespace quorvane::platform
