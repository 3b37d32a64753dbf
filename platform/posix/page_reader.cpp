#include "platform/posix/page_reader.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <cerrno>        // errno, E*
#include <system_error>  // std::errc, std::error_code

#include "platform/page_names.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/name_case.h"
#include "platform/posix/page_target.h"
#include "platform/posix/system_calls.h"
#include "platform/temporary_names.h"

namespace quorvane::platform {
namespace {

// Opened without following a symlink or waiting on a fifo.
constexpr int kPageFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Whether `now` is the file `then` was, of the same length.
bool SameFile(const struct stat& now, const struct stat& then) {
  return now.st_dev == then.st_dev && now.st_ino == then.st_ino && now.st_size == then.st_size;
}

// Whether `now` is the file `then` was, neither written to nor cut since.
bool Unchanged(const struct stat& now, const struct stat& then) {
  return SameFile(now, then) && now.st_mtim.tv_sec == then.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
}

// Renames `from` to `to` in the folder `dir`, never over a file of that name: where the file
// system cannot promise that (FUSE), by a look just before. 0, or the error.
int MoveWithoutReplacing(const SystemCalls& calls, int dir, const char* from, const char* to) {
  if (calls.RenameNoReplace(dir, from, dir, to) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return errno;
  }
  struct stat st {};
  if (calls.StatAt(dir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    return EEXIST;
  }
  return calls.RenameAt(dir, from, dir, to) == 0 ? 0 : errno;
}

class SystemPageReader final : public PageReader {
 public:
  SystemPageReader(const SystemCalls& calls, int dir_fd, const std::string& folder_path,
                   std::string_view name, Descriptor&& fd, const struct stat& st)
      : calls_(calls),
        dir_fd_(dir_fd),
        folder_path_(folder_path),
        name_(name),
        path_(folder_path + name_),
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

  Result<bool> InPlace() const override {
    struct stat now {};
    if (calls_.StatAt(dir_fd_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT ? Result<bool>(false) : Failure(Step::kReadPage, path_, errno);
    }
    return now.st_dev == st_.st_dev && now.st_ino == st_.st_ino;
  }

  Result<> CheckRemoval() const override {
    // The system's own answer to whether the user may write the page, as replacing it asks.
    QUORVANE_TRY(Descriptor::Open(calls_, dir_fd_, name_.c_str(), O_WRONLY | kPageFlags,
                                  Step::kRemovePage, path_));
    return CheckFolderTakes(calls_, dir_fd_, &st_, Step::kRemovePage, path_);
  }

  // The page is taken aside under a hidden name before it goes, so that what goes is the very
  // file that was read, unchanged since, whatever takes its name meanwhile; anything else is put
  // back. Its time is told before it moves: the move itself sets it anew on some file systems
  // (exFAT through FUSE, while another run has the page open).
  Result<> Remove() const override {
    QUORVANE_TRY(CheckRemoval());
    struct stat now {};
    if (calls_.StatAt(fd_.Get(), "", &now, AT_EMPTY_PATH) != 0) {
      return Failure(Step::kRemovePage, path_, errno);
    }
    if (!Unchanged(now, st_)) {
      return Failure(Step::kPageChanged, path_);
    }
    const std::string aside = TemporaryPageName();
    const MakingName making;  // no signal between taking it aside and its end
    if (const int error = MoveWithoutReplacing(calls_, dir_fd_, name_.c_str(), aside.c_str())) {
      return Failure(Step::kRemovePage, path_, error);
    }
    if (calls_.StatAt(dir_fd_, aside.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(now, st_)) {
      QUORVANE_TRY(PutBack(aside));
      return Failure(Step::kPageChanged, path_);
    }
    if (calls_.UnlinkAt(dir_fd_, aside.c_str(), 0) != 0) {
      const int error = errno;
      QUORVANE_TRY(PutBack(aside));
      return Failure(Step::kRemovePage, path_, error);
    }
    return {};
  }

 private:
  // Puts what was taken aside back under the page's name; where a file has taken that name since,
  // beside it under a name of its own that no page hides, and says where.
  Result<> PutBack(const std::string& aside) const {
    const int error = MoveWithoutReplacing(calls_, dir_fd_, aside.c_str(), name_.c_str());
    if (error == 0) {
      return {};
    }
    const std::string kept = aside + ".kept";
    const bool moved =
        error == EEXIST && MoveWithoutReplacing(calls_, dir_fd_, aside.c_str(), kept.c_str()) == 0;
    return Failure(Step::kOldPageLeft, folder_path_ + (moved ? kept : aside), error);
  }

  const SystemCalls& calls_;
  int dir_fd_;
  std::string folder_path_;
  std::string name_;
  std::string path_;
  Descriptor fd_;
  struct stat st_;
};

// Nothing, where the page could not be opened because no file has its name; else why not.
Result<> Unopened(const Failure& failure) {
  const std::error_code error = failure.error;
  if (error == std::errc::no_such_file_or_directory) {
    return {};
  }
  if (error == std::errc::too_many_symbolic_link_levels) {
    return Failure(Step::kPageIsALink, failure.path);
  }
  // A socket, which cannot be opened at all.
  if (error == std::errc::no_such_device_or_address) {
    return Failure(Step::kPageNotAFile, failure.path);
  }
  return failure;
}

}  // namespace

Result<std::unique_ptr<PageReader>> ReadSystemPage(const SystemCalls& calls, int dir_fd,
                                                   const std::string& folder_path,
                                                   std::string_view name) {
  const std::string path = folder_path + std::string(name);
  // Only a regular file found here is read.
  Result<Descriptor> fd = Descriptor::Open(calls, dir_fd, std::string(name).c_str(),
                                           O_RDONLY | kPageFlags, Step::kReadPage, path);
  if (!fd) {
    QUORVANE_TRY(Unopened(fd.Error()));
    return nullptr;
  }
  struct stat st {};
  if (calls.StatAt(fd->Get(), "", &st, AT_EMPTY_PATH) != 0) {
    return Failure(Step::kReadPage, path, errno);
  }
  if (!S_ISREG(st.st_mode)) {
    return Failure(Step::kPageNotAFile, path);
  }
  // Where letter case is not told apart, the name may find the user's file of another name.
  QUORVANE_TRY_ASSIGN(const std::string other,
                      FindOtherCase(calls, dir_fd, std::string(name), Step::kReadPage, path));
  if (!other.empty()) {
    return Failure(Step::kNotAPage, folder_path + other);
  }
  return std::make_unique<SystemPageReader>(calls, dir_fd, folder_path, name, std::move(*fd), st);
}

}  // namespace quorvane::platform
