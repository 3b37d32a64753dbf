#include "platform/posix/page_output.h"

#include <fcntl.h>  // O_*, AT_*
#include <sys/stat.h>
#include <unistd.h>      // unlinkat
#include <cerrno>        // errno, E*
#include <cstdio>        // std::snprintf
#include <string>        // std::string
#include <system_error>  // std::errc, std::error_code
#include <utility>       // std::move

#include "platform/page_replacement.h"
#include "platform/posix/carry_over.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/leftover_pages.h"
#include "platform/posix/page_target.h"
#include "platform/posix/system_calls.h"

namespace quorvane::platform {
namespace {

// A page's bytes are sent on to the disk every so many written.
constexpr off_t kWritebackEvery = 8 << 20;

// False where `failure` is another file's having the name asked for.
Result<bool> NameTaken(Failure failure) {
  if (failure.error == std::errc::file_exists) {
    return false;
  }
  return failure;
}

class PosixReplaceSteps final : public ReplaceSteps {
 public:
  // `dir_fd` is used by CheckOld() only, which opens a descriptor of its own for the rest.
  PosixReplaceSteps(const SystemCalls& calls, int dir_fd, std::string page_path,
                    std::string_view name)
      : calls_(calls), dir_fd_(dir_fd), page_path_(std::move(page_path)), name_(name) {
    temporary_.reserve(64);  // so that taking a name allocates nothing (see TakeHiddenName)
  }

  Result<bool> CheckOld() override {
    QUORVANE_TRY_ASSIGN(target_, FindPageTarget(calls_, dir_fd_, page_path_, name_));
    return target_.old.IsOpen();
  }

  // An unnamed file needs the right to link a descriptor in, which root has and others have
  // through /proc.
  Result<bool> CreateUnnamed() override {
    struct stat st {};
    if (calls_.EffectiveUser() != 0 && calls_.StatAt(AT_FDCWD, "/proc/self/fd", &st, 0) != 0) {
      return false;
    }
    // 0666: the umask and the folder's default ACL shape it as they shape any new file.
    Result<Descriptor> fd =
        Descriptor::Open(calls_, target_.dir.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC,
                         Step::kWritePage, page_path_, 0666);
    if (!fd) {
      // Old kernels take O_TMPFILE for a plain folder open; some file systems have no such files.
      const std::error_code error = fd.Error().error;
      if (error == std::errc::operation_not_supported || error == std::errc::is_a_directory ||
          error == std::errc::invalid_argument) {
        return false;
      }
      return std::move(fd).Error();
    }
    fd_ = std::move(*fd);
    unnamed_ = true;
    LockAsLive(calls_, fd_.Get(), -1, nullptr);  // locked before any name shows it
    return true;
  }

  Result<bool> TakeName(const std::string& name) override {
    QUORVANE_TRY_ASSIGN(const bool taken, unnamed_ ? LinkAs(name) : CreateAs(name));
    if (taken) {
      temporary_ = name;
    }
    return taken;
  }

  void DropName() override {
    fd_.Close();
    calls_.UnlinkAt(target_.dir.Get(), temporary_.c_str(), 0);
  }

  void RemoveNow() const noexcept override { unlinkat(target_.dir.Get(), temporary_.c_str(), 0); }

  Result<> Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t written = calls_.Write(fd_.Get(), bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        return Fail(errno);
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
      written_ += written;
    }
    // A large page goes to the disk while the rest is made, so that the wait for it at the end
    // is short; a failure here shows in that wait.
    if (written_ - written_back_ >= kWritebackEvery) {
      calls_.StartWriteback(fd_.Get(), written_back_, written_ - written_back_);
      written_back_ = written_;
    }
    return {};
  }

  Result<> Carry() override {
    return CarryOver(calls_, target_.old.Get(), target_.old_status, fd_.Get(), page_path_);
  }

  Result<> End(bool wait) override {
    if (wait) {
      return calls_.Sync(fd_.Get()) == 0 ? Result<>() : Fail(errno);
    }
    struct stat st = target_.old_status;
    if (!target_.old.IsOpen() && calls_.StatAt(fd_.Get(), "", &st, AT_EMPTY_PATH) != 0) {
      return Fail(errno);
    }
    volume_ = static_cast<std::uint64_t>(st.st_dev);
    return {};
  }

  std::uint64_t Volume() const override { return volume_; }

  Result<> SyncVolume() override {
    return calls_.SyncFileSystem(fd_.Get()) == 0 ? Result<>() : Fail(errno);
  }

  // The rename takes the place of whatever has the page's name by then. The close may report a
  // write that failed, which must come before the page is placed; a second descriptor keeps the
  // lock held meanwhile.
  Result<bool> PutInPlace(bool /*over_old*/, bool /*last*/) override {
    const Descriptor holds_lock(calls_, calls_.Duplicate(fd_.Get()));
    if (fd_.Close() != 0) {
      return Fail(errno);
    }
    const int dir = target_.dir.Get();
    if (calls_.RenameAt(dir, temporary_.c_str(), dir, target_.name.c_str()) != 0) {
      return Fail(errno);
    }
    return true;
  }

 private:
  Failure Fail(int error) const { return Failure(Step::kWritePage, page_path_, error); }

  Result<bool> CreateAs(const std::string& name) {
    Result<Descriptor> fd = Descriptor::Open(calls_, target_.dir.Get(), name.c_str(),
                                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                             Step::kWritePage, page_path_, 0666);
    if (!fd) {
      return NameTaken(std::move(fd).Error());
    }
    if (!LockAsLive(calls_, fd->Get(), target_.dir.Get(), name.c_str())) {
      return false;  // taken for a leftover in the instant between: another name, then
    }
    fd_ = std::move(*fd);
    return true;
  }

  Result<bool> LinkAs(const std::string& name) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_.Get());
    const int dir = target_.dir.Get();
    if (calls_.LinkAt(fd_.Get(), "", dir, name.c_str(), AT_EMPTY_PATH) == 0 ||
        ((errno == ENOENT || errno == EPERM) &&
         calls_.LinkAt(AT_FDCWD, self, dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0)) {
      return true;
    }
    return NameTaken(Fail(errno));
  }

  const SystemCalls& calls_;
  const int dir_fd_;
  const std::string page_path_;  // as the user named it, for the messages
  const std::string name_;
  PageTarget target_;
  Descriptor fd_;
  bool unnamed_ = false;   // whether the new page was made without a name
  std::string temporary_;  // the hidden name the new page has, once it has one
  std::uint64_t volume_ = 0;
  off_t written_ = 0;       // bytes of the new page written so far
  off_t written_back_ = 0;  // of those, the ones already on their way to the disk
};

}  // namespace

Result<> CheckSystemPage(const SystemCalls& calls, int dir_fd, const std::string& folder_path,
                         std::string_view name) {
  const std::string page_path = folder_path + std::string(name);
  QUORVANE_TRY_ASSIGN(const PageTarget target, FindPageTarget(calls, dir_fd, page_path, name));
  return CheckFolderTakes(calls, target.dir.Get(),
                          target.old.IsOpen() ? &target.old_status : nullptr, Step::kWritePage,
                          page_path);
}

Result<std::unique_ptr<PageOutput>> CreateSystemPage(const SystemCalls& calls, int dir_fd,
                                                     const std::string& folder_path,
                                                     std::string_view name) {
  return StartReplacing(
      std::make_unique<PosixReplaceSteps>(calls, dir_fd, folder_path + std::string(name), name));
}

}  // namespace quorvane::platform
