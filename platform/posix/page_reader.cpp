#include "platform/posix/page_reader.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>        // errno, E*
#include <system_error>  // std::errc, std::error_code

#include "platform/posix/descriptor.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

// Opened without following a symlink or waiting on a fifo.
constexpr int kPageFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

class SystemPageReader final : public PageReader {
 public:
  SystemPageReader(const SystemCalls& calls, int dir_fd, std::string path, std::string_view name,
                   Descriptor&& fd, const struct stat& st)
      : calls_(calls),
        dir_fd_(dir_fd),
        path_(std::move(path)),
        name_(name),
        fd_(std::move(fd)),
        st_(st) {}

  std::uint64_t Size() const override { return static_cast<std::uint64_t>(st_.st_size); }

  Result<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const override {
    for (;;) {
      const ssize_t got = calls_.ReadAt(fd_.Get(), buffer, size, static_cast<off_t>(offset));
      if (got >= 0) {
        return static_cast<std::size_t>(got);
      }
      if (errno != EINTR) {
        return Failure(Step::kReadPage, path_, errno);
      }
    }
  }

  Result<> Remove() const override {
    struct stat now {};
    if (calls_.StatAt(dir_fd_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
      return Failure(Step::kRemovePage, path_, errno);
    }
    if (now.st_dev != st_.st_dev || now.st_ino != st_.st_ino) {
      return Failure(Step::kPageChanged, path_);
    }
    // The system's own answer to whether the user may write the page, as replacing it asks.
    QUORVANE_TRY(Descriptor::Open(calls_, dir_fd_, name_.c_str(), O_WRONLY | kPageFlags,
                                  Step::kRemovePage, path_));
    if (calls_.UnlinkAt(dir_fd_, name_.c_str(), 0) != 0) {
      return Failure(Step::kRemovePage, path_, errno);
    }
    return {};
  }

 private:
  const SystemCalls& calls_;
  int dir_fd_;
  std::string path_;
  std::string name_;
  Descriptor fd_;
  struct stat st_;
};

}  // namespace

Result<std::unique_ptr<PageReader>> ReadSystemPage(const SystemCalls& calls, int dir_fd,
                                                   const std::string& folder_path,
                                                   std::string_view name) {
  std::string path = folder_path + std::string(name);
  // Only a regular file found here is read.
  Result<Descriptor> fd = Descriptor::Open(calls, dir_fd, std::string(name).c_str(),
                                           O_RDONLY | kPageFlags, Step::kReadPage, path);
  if (!fd) {
    const std::error_code error = fd.Error().error;
    if (error == std::errc::no_such_file_or_directory) {
      return nullptr;
    }
    // A symlink, or a socket, which cannot be opened at all.
    if (error == std::errc::too_many_symbolic_link_levels ||
        error == std::errc::no_such_device_or_address) {
      return Failure(Step::kPageNotAFile, path);
    }
    return std::move(fd).Error();
  }
  struct stat st {};
  if (calls.StatAt(fd->Get(), "", &st, AT_EMPTY_PATH) != 0) {
    return Failure(Step::kReadPage, path, errno);
  }
  if (!S_ISREG(st.st_mode)) {
    return Failure(Step::kPageNotAFile, path);
  }
  return std::make_unique<SystemPageReader>(calls, dir_fd, std::move(path), name, std::move(*fd),
                                            st);
}

}  // namespace quorvane::platform
